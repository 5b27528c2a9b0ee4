// SPDX-License-Identifier: GPL-3.0-or-later
// The report of an eight-hour drive: the simulated car's passes every
// 253 ms (its pace on the K-line) kept as the window keeps them, then read,
// judged and written as HTML and JSON. Against, in the same run, one decode
// of every kept pass (what the window's table export does), and the memory
// the report took beyond the history.
//   report_bench [hours]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "diagnosis/Checks.h"
#include "diagnosis/Report.h"
#include "diagnosis/ReportHtml.h"
#include "ecu/SessionHistory.h"
#include "sim/SimulatedDrive.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// A figure of /proc/self/status in MB ("VmRSS", "VmHWM").
double statusMb(const char* name) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name, 0) == 0) return std::atof(line.c_str() + line.find(':') + 1) / 1024;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const double hours = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 8;
    constexpr int kPassMs = 253;
    sim::SimulatedDrive car({}, std::chrono::milliseconds(kPassMs));
    auto history = std::make_unique<ecu::SessionHistory>();
    const auto passes = static_cast<std::size_t>(hours * 3600 * 1000 / kPassMs);
    ecu::PassRecord r;
    for (std::size_t i = 0; i < passes; ++i) {
        const sim::DrivePass& p = car.next();
        r.pass = i + 1;
        r.timeMs = p.timeMs;
        r.liveData01 = p.liveData01;
        r.liveData03 = p.liveData03;
        history->add(r);
    }
    const double before = statusMb("VmRSS");

    // The reference: every kept pass decoded once.
    auto t = Clock::now();
    ecu::LiveData v;
    std::size_t decoded = 0;
    for (std::size_t i = history->first(); i < history->end(); ++i) decoded += history->decode(i, '.', v);
    const double decodeMs = msSince(t);

    t = Clock::now();
    const diagnosis::Drive drive = diagnosis::readDrive(*history);
    const double readMs = msSince(t);
    t = Clock::now();
    diagnosis::ReportInput in;
    in.program = "report_bench";
    in.start = "2026-12-10T08:00:00.000+03:00";
    in.seconds = drive.seconds();
    in.passes = drive.rows.size();
    in.checks = diagnosis::judge(drive);
    const double judgeMs = msSince(t);
    t = Clock::now();
    const std::string html = diagnosis::reportHtml(in, drive);
    const double htmlMs = msSince(t);
    t = Clock::now();
    const std::string json = diagnosis::reportJson(in);
    const double jsonMs = msSince(t);
    const double total = readMs + judgeMs + htmlMs + jsonMs;
    const double peak = statusMb("VmHWM");

    std::printf("history: %zu passes (%.1f h), %.1f MB kept\n", passes, hours,
                static_cast<double>(history->bytes()) / 1e6);
    std::printf("reference, every pass decoded once: %.0f ms (%zu passes)\n", decodeMs, decoded);
    std::printf("read the drive:  %6.0f ms\n", readMs);
    std::printf("judge (%zu checks): %4.0f ms\n", in.checks.size(), judgeMs);
    std::printf("HTML (%zu KB):   %6.0f ms\n", html.size() / 1024, htmlMs);
    std::printf("JSON (%zu KB):   %6.0f ms\n", json.size() / 1024, jsonMs);
    std::printf("report in all:   %6.0f ms (%.2f of the reference)\n", total, total / decodeMs);
    std::printf("memory beyond the history: at most %.1f MB (peak %.1f MB, %.1f MB before)\n", peak - before, peak,
                before);
    return 0;
}
