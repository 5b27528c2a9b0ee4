// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated car that lives: a warm-up from cold, an idle near 850 rpm with
// jitter, a throttle blip every twelve seconds, a switching lambda sensor,
// flags and counters that follow, and the idle actuator answering the
// adjustment commands. It rewrites the ECU model's live-data bytes from the
// time since it started; call advance() before each answer.
#pragma once

#include <chrono>
#include <random>

#include "sim/EcuModel.h"

namespace sim {

class LivingCar {
public:
    explicit LivingCar(std::chrono::steady_clock::time_point start, std::uint32_t seed = 7)
        : start_(start), rng_(seed) {}

    void advance(EcuModel& ecu, std::chrono::steady_clock::time_point now);

private:
    std::chrono::steady_clock::time_point start_;
    std::mt19937 rng_;
};

}  // namespace sim
