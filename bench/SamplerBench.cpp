// SPDX-License-Identifier: GPL-3.0-or-later
// One sampled tick: 64 histories aged, the samples read under the live
// data's lock and shifted in.
#include <benchmark/benchmark.h>

#include "painting/Sampler.h"

namespace {

void BM_SampledTick(benchmark::State& state) {
    klink::LinkData link;
    ecu::LiveDataStore live;
    display::HistoryStore histories;
    display::Sampler sampler(
        link, live, histories, [](display::Sampler::Repaint) {}, [] {});
    link.startEnabled = 0;
    link.dataValid = 1;
    for (auto _ : state) {
        link.sampleReady = 1;
        sampler.tick();
    }
}
BENCHMARK(BM_SampledTick)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
