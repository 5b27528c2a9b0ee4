// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated car that lives: a warm-up from cold, an idle near 850 rpm with
// jitter, a throttle blip every twelve seconds, a switching lambda sensor,
// flags and counters that follow, and the idle actuator answering the
// adjustment commands. It rewrites the ECU model's live-data bytes from the
// time since it started; call advance() before each answer. It may carry
// faults, each moving the values as a real car with that fault shows them.
#pragma once

#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "sim/EcuModel.h"

namespace sim {

struct CarFaults {
    bool weakCharging = false;     // the alternator does not charge: the battery alone, falling
    bool lazyLambda = false;       // the front lambda sensor swings little and slowly
    bool deadLambda = false;       // the front lambda sensor stays near 450 mV
    bool wornCatalyst = false;     // the rear sensor follows the front one
    bool stuckThermostat = false;  // the coolant settles near 65 °C
    bool airLeak = false;          // unmetered air: the adaptation richens at idle
    bool misfire = false;          // cylinder 3 misfires under load
    bool knock = false;            // ignition retarded by knock control under load
    bool wornThrottle = false;     // the throttle sensor's track reads high when closed and drops while opening
};
// "lazy-lambda,air-leak": the faults named, separated by commas; none, with
// error set, for a name not known.
std::optional<CarFaults> parseCarFaults(std::string_view names, std::string& error);
// Every fault's name, separated by commas.
std::string carFaultNames();

class LivingCar {
public:
    explicit LivingCar(std::chrono::steady_clock::time_point start, std::uint32_t seed = 7, CarFaults faults = {})
        : start_(start), rng_(seed), faults_(faults) {}

    void advance(EcuModel& ecu, std::chrono::steady_clock::time_point now);

private:
    std::chrono::steady_clock::time_point start_;
    std::mt19937 rng_;
    CarFaults faults_;
    int misfires_ = 0;   // cylinder 3's, under the misfire fault
    double retard_ = 0;  // knock control's, degrees
    double lastT_ = 0;   // seconds, at the last advance
};

}  // namespace sim
