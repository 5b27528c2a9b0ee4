// SPDX-License-Identifier: GPL-3.0-or-later
// One sampled tick: a measured pass kept in the drive's history (as the
// link does between ticks), the live charts aged and the pass taken.
#include <benchmark/benchmark.h>

#include <memory>

#include "painting/Sampler.h"

namespace {

void BM_SampledTick(benchmark::State& state) {
    klink::LinkData link;
    auto kept = std::make_unique<ecu::SessionHistory>();
    display::Sampler sampler(
        link, *kept, [](display::Sampler::Repaint) {}, [] {});
    link.startEnabled = 0;
    link.dataValid = 1;
    ecu::PassRecord r;
    for (auto _ : state) {
        ++r.pass;
        kept->add(r);
        link.sampleReady = 1;
        sampler.tick();
    }
}
BENCHMARK(BM_SampledTick)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
