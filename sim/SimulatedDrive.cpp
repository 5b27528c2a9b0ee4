// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedDrive.h"

#include <algorithm>

namespace sim {

namespace {
// The requests of the two live-data blocks, as the tester sends them.
constexpr std::uint8_t kAsk01[] = {0x82, 0x10, 0xF1, 0x21, 0x01, 0xA5};
constexpr std::uint8_t kAsk03[] = {0x82, 0x10, 0xF1, 0x21, 0x03, 0xA7};

template <std::size_t N, std::size_t M>
void echoAndAnswer(EcuModel& ecu, const std::uint8_t (&ask)[M], std::array<std::uint8_t, N>& out) {
    out.fill(0);
    std::copy(ask, ask + M, out.begin());
    const std::vector<std::uint8_t> answer = ecu.respond(ask, M);
    std::copy_n(answer.begin(), std::min(answer.size(), N - M), out.begin() + M);
}
}  // namespace

SimulatedDrive::SimulatedDrive(CarFaults faults, std::chrono::milliseconds step, std::uint32_t seed)
    : start_(std::chrono::steady_clock::now()), car_(start_, seed, faults), step_(step) {
    ecu_.wakeUp();
    const std::uint8_t hello[] = {0x81, 0x10, 0xF1, 0x81, 0x03};
    ecu_.respond(hello, sizeof hello);
}

const DrivePass& SimulatedDrive::next() {
    pass_.timeMs = nextMs_;
    car_.advance(ecu_, start_ + std::chrono::milliseconds(nextMs_));
    echoAndAnswer(ecu_, kAsk01, pass_.liveData01);
    echoAndAnswer(ecu_, kAsk03, pass_.liveData03);
    nextMs_ += step_.count();
    return pass_;
}

}  // namespace sim
