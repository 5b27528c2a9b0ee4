// SPDX-License-Identifier: GPL-3.0-or-later
// One decode of both live-data blocks, all readout texts included, and the
// heap allocations it makes when the texts do or do not change.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ecu/LiveDecoder.h"

namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t n) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

void fill(std::array<std::uint8_t, 140>& l01, std::array<std::uint8_t, 40>& l03, unsigned seed) {
    for (std::size_t i = 0; i < l01.size(); ++i) l01[i] = static_cast<std::uint8_t>(i * 37 + seed * 11);
    for (std::size_t i = 0; i < l03.size(); ++i) l03[i] = static_cast<std::uint8_t>(i * 53 + seed * 7);
}

void BM_DecodeUnchanged(benchmark::State& state) {
    std::array<std::uint8_t, 140> l01{};
    std::array<std::uint8_t, 40> l03{};
    fill(l01, l03, 1);
    ecu::LiveData d;
    ecu::decodeLiveData({l01.data(), l01.size()}, {l03.data(), l03.size()}, d);
    const long before = gAllocations.load();
    for (auto _ : state) ecu::decodeLiveData({l01.data(), l01.size()}, {l03.data(), l03.size()}, d);
    state.counters["allocs_per_decode"] =
        static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DecodeUnchanged);

void BM_DecodeEveryByteChanging(benchmark::State& state) {
    std::array<std::uint8_t, 140> a01{}, b01{};
    std::array<std::uint8_t, 40> a03{}, b03{};
    fill(a01, a03, 1);
    fill(b01, b03, 2);
    ecu::LiveData d;
    bool flip = false;
    const long before = gAllocations.load();
    for (auto _ : state) {
        flip = !flip;
        ecu::decodeLiveData({(flip ? a01 : b01).data(), 140}, {(flip ? a03 : b03).data(), 40}, d);
    }
    state.counters["allocs_per_decode"] =
        static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DecodeEveryByteChanging);

}  // namespace
