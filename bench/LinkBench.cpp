// SPDX-License-Identifier: GPL-3.0-or-later
// Poll-pass timing against the simulated line: bytes take their 10400-baud
// time, the ECU answers after 25 ms, and every read ends 50 ms after the last
// byte. The floor of a pass is that wire time; what the link adds on top is
// its own overhead.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include "link/Com_Port.h"
#include "link/Elm327Line.h"
#include "sim/ElmPort.h"
#include "sim/SimulatedLine.h"

namespace {

double threadCpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Wire floor of one exchange: the request and its echo, the answer delay,
// the answer, and the 50 ms after the last byte that ends the read.
double exchangeFloorMs(std::size_t requestBytes, std::size_t answerBytes, double delayMs) {
    const double byteMs = 10.0 / 10400.0 * 1000.0;
    return static_cast<double>(requestBytes) * byteMs + delayMs + static_cast<double>(answerBytes) * byteMs + 50.0;
}

void BM_PollPassOnPacedLine(benchmark::State& state) {
    sim::SimOptions o;
    o.bytePacing = true;
    o.answerDelay = std::chrono::milliseconds(25);
    sim::SimulatedLine line(o);
    klink::LinkData data;
    klink::Com_Port port(line, data);
    port.loopTurn();  // connect
    const double cpu0 = threadCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) port.loopTurn();
    const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = threadCpuSeconds() - cpu0;
    const double passes = static_cast<double>(state.iterations());
    // 21 01: 6 request bytes, a 72-byte long-form answer; 21 03: 6 and 23.
    const double floorMs = exchangeFloorMs(6, 72, 25) + exchangeFloorMs(6, 23, 25);
    const double periodMs = wallMs / passes;
    state.counters["pass_ms"] = periodMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["overhead_per_exchange_ms"] = (periodMs - floorMs) / 2.0;
    state.counters["cpu_percent"] = 100.0 * cpu / (wallMs / 1000.0);
}
BENCHMARK(BM_PollPassOnPacedLine)->Iterations(40)->Unit(benchmark::kMillisecond);

// The same pass through an ELM327-type adapter: the adapter frames the
// requests and reads the K-line itself (the ECU answers after 25 ms, about a
// millisecond a byte), prints each answer as hex text at 38400 baud, and its
// prompt ends the read at once. Argument: the adapter's latency each way
// (0: a USB one; 40 ms: a Bluetooth one as modelled).
void BM_PollPassThroughElm327(benchmark::State& state) {
    sim::ElmOptions options = state.range(0) ? sim::ElmOptions::bluetooth() : sim::ElmOptions::genuine();
    options.latency = std::chrono::milliseconds(state.range(0));
    sim::ElmPort adapter(options);
    klink::Elm327Line line(adapter);
    klink::LinkData data;
    klink::Com_Port port(line, data);
    port.loopTurn();  // open and set up
    port.loopTurn();  // connect
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) port.loopTurn();
    const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    state.counters["pass_ms"] = wallMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PollPassThroughElm327)->Arg(0)->Arg(40)->Iterations(40)->Unit(benchmark::kMillisecond);

// The link's own work per pass with nothing to wait for.
void BM_PollPassInstant(benchmark::State& state) {
    sim::SimulatedLine line({}, true);
    klink::LinkData data;
    klink::Com_Port port(line, data);
    port.loopTurn();
    for (auto _ : state) port.loopTurn();
}
BENCHMARK(BM_PollPassInstant)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
