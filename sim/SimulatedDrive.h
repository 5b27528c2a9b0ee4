// SPDX-License-Identifier: GPL-3.0-or-later
// A drive of the living car on a clock of its own: every step, the two
// live-data answers as the link reads them (the request's echo, then the
// ECU's answer), made as fast as they can be. A 25-minute drive takes well
// under a second, for the tests and the benchmarks of what reads drives.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "link/WireLayout.h"
#include "sim/EcuModel.h"
#include "sim/LivingCar.h"

namespace sim {

struct DrivePass {
    std::int64_t timeMs = 0;  // since the drive started
    std::array<std::uint8_t, klink::kLiveData01ReplySize> liveData01{};
    std::array<std::uint8_t, klink::kLiveData03ReplySize> liveData03{};
};

class SimulatedDrive {
public:
    explicit SimulatedDrive(CarFaults faults = {}, std::chrono::milliseconds step = std::chrono::milliseconds(250),
                            std::uint32_t seed = 7);
    // The next pass, a step after the one before.
    const DrivePass& next();

private:
    EcuModel ecu_;
    std::chrono::steady_clock::time_point start_;
    LivingCar car_;
    std::chrono::milliseconds step_;
    DrivePass pass_;
    std::int64_t nextMs_ = 0;
};

}  // namespace sim
