// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/LivingCar.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {
namespace {

std::uint8_t byteOf(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }
void putWord(EcuModel& e, bool block01, std::size_t pos, double v) {
    const long w = std::clamp(std::lround(v), 0L, 65535L);
    if (block01) {
        e.setLive01(pos, static_cast<std::uint8_t>(w >> 8));
        e.setLive01(pos + 1, static_cast<std::uint8_t>(w & 0xFF));
    } else {
        e.setLive03(pos, static_cast<std::uint8_t>(w >> 8));
        e.setLive03(pos + 1, static_cast<std::uint8_t>(w & 0xFF));
    }
}
void setBit(std::uint8_t& byte, int bit, bool on) {
    byte = static_cast<std::uint8_t>(on ? (byte | (1 << bit)) : (byte & ~(1 << bit)));
}

constexpr double kStartTemp = 18.0;

struct CarFaultName {
    const char* name;
    bool CarFaults::*flag;
};
constexpr CarFaultName kCarFaultNames[] = {
    {"weak-charging", &CarFaults::weakCharging},
    {"lazy-lambda", &CarFaults::lazyLambda},
    {"dead-lambda", &CarFaults::deadLambda},
    {"worn-catalyst", &CarFaults::wornCatalyst},
    {"stuck-thermostat", &CarFaults::stuckThermostat},
    {"air-leak", &CarFaults::airLeak},
    {"misfire", &CarFaults::misfire},
    {"knock", &CarFaults::knock},
    {"worn-throttle", &CarFaults::wornThrottle},
};

}  // namespace

std::optional<CarFaults> parseCarFaults(std::string_view names, std::string& error) {
    CarFaults faults;
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        const std::string_view name = names.substr(0, comma);
        bool known = false;
        for (const CarFaultName& f : kCarFaultNames)
            if (name == f.name) known = (faults.*f.flag = true);
        if (!known) {
            error = "no such fault of the simulated car: " + std::string(name) + " (" + carFaultNames() + ")";
            return std::nullopt;
        }
        names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    }
    return faults;
}

std::string carFaultNames() {
    std::string s;
    for (const CarFaultName& f : kCarFaultNames) s += (s.empty() ? "" : ", ") + std::string(f.name);
    return s;
}

void LivingCar::advance(EcuModel& e, std::chrono::steady_clock::time_point now) {
    const double t = std::chrono::duration<double>(now - start_).count();
    std::normal_distribution<double> noise(0.0, 1.0);

    // Throttle blip: two seconds in every twelve, rising and falling smoothly.
    const double cycle = std::fmod(t, 12.0);
    const double blip = (cycle > 8.0 && cycle < 10.0) ? std::sin((cycle - 8.0) / 2.0 * std::numbers::pi) : 0.0;
    const double throttle = 35.0 * blip;  // percent
    // A thermostat stuck open lets the radiator cool the engine from the start.
    const double settled = faults_.stuckThermostat ? 65.0 : 90.0;
    const double coolant = settled - (settled - kStartTemp) * std::exp(-t / (faults_.stuckThermostat ? 240.0 : 90.0));
    const double intake = 28.0 - 10.0 * std::exp(-t / 120.0);
    const bool warm = coolant > 45.0;

    const auto it41 = e.adjustValue.find(0x41);
    const auto it42 = e.adjustValue.find(0x42);
    const double idleTarget =
        (it42 != e.adjustValue.end() && it42->second) ? it42->second * 10.0 : (warm ? 850.0 : 1100.0);
    const double rpm = idleTarget + 2600.0 * blip + 15.0 * noise(rng_);

    e.setLive01(19, byteOf(rpm / 40.0));                // NMOT
    e.setLive01(30, byteOf(idleTarget / 10.0));         // NSOL
    e.setLive01(18, byteOf(throttle * 255.0 / 100.0));  // WDKBA
    // A worn track reads high at its closed end and drops out part-way open.
    const double track =
        faults_.wornThrottle ? (blip > 0.35 && blip < 0.65 ? 0.3 : 0.85 + throttle * 0.036) : 0.5 + throttle * 0.04;
    e.setLive03(16, byteOf(track / 5.0 * 256.0));  // ADC_THR
    e.setLive03(17, static_cast<std::uint8_t>((static_cast<int>(t * 4) % 4) * 0x40));
    e.setLive01(14, byteOf((coolant + 48.0) / 0.75));                // TMOT
    e.setLive01(13, byteOf((kStartTemp + 48.0) / 0.75));             // TMST
    e.setLive01(15, byteOf((intake + 48.0) / 0.75));                 // TANS
    e.setLive03(13, byteOf((4.6 - coolant * 0.035) / 5.0 * 256.0));  // ADC_TMOT falls as it warms
    e.setLive03(20, byteOf((3.6 - intake * 0.04) / 5.0 * 256.0));    // ADC_TANS

    // Unmetered air at idle: the meter sees less of what the engine draws.
    const double airKgH = 9.5 * (faults_.airLeak ? 0.8 : 1.0) + 60.0 * blip + 0.3 * noise(rng_);
    putWord(e, true, 20, airKgH * 10.0);                          // ML
    putWord(e, false, 14, (1.0 + airKgH * 0.05) / 5.0 * 1024.0);  // ADC_MAF
    putWord(e, true, 28, (3.0 + 4.0 * blip) / 0.024);             // TI
    // Knock control takes the ignition back two steps under load and gives
    // it back a degree a second.
    const double dt = std::max(0.0, t - lastT_);
    lastT_ = t;
    retard_ = faults_.knock && blip > 0.5 ? 6.0 : std::max(0.0, retard_ - dt);
    const double retard = retard_;
    e.setLive01(22, byteOf((12.0 + 14.0 * blip - retard + 96.0) / 0.75 - 128.0));  // ZWOUT (offset binary)
    e.setLive01(23, byteOf(retard / 0.75));                                        // WKR
    const double load = 22.0 + 60.0 * blip;                                        // RL: hi x 6 + lo x 0.02345
    e.setLive01(24, byteOf(std::floor(load / 6.0)));
    e.setLive01(25, byteOf(std::fmod(load, 6.0) / 0.02345));
    e.setLive01(26, byteOf((20.0 + 50.0 * blip) / 0.75));  // RLP
    const double mompos = it41 != e.adjustValue.end() && it41->second ? it41->second : 38.0 + 3.0 * noise(rng_);
    e.setLive01(31, byteOf(mompos));  // MOMPOS

    // The lambda sensor switches rich and lean about once a second once warm.
    const bool lambdaActive = t > 25.0 && warm;
    // A lazy one swings little and slowly; a dead one hardly moves.
    double lambdaMv = lambdaActive ? (std::sin(t * 2.0 * std::numbers::pi) > 0 ? 780.0 : 120.0) : 450.0;
    if (lambdaActive && faults_.lazyLambda) lambdaMv = 470.0 + 140.0 * std::sin(t * 0.5 * std::numbers::pi);
    if (faults_.deadLambda) lambdaMv = 450.0 + 8.0 * noise(rng_);
    e.setLive01(36, byteOf((lambdaMv + 200.0) / 5.215));      // USVK
    putWord(e, false, 18, lambdaMv / 1000.0 / 5.0 * 1024.0);  // ADC_O2
    // Behind a worn catalyst the rear sensor follows the front one.
    const double rearMv = !lambdaActive ? 450.0 : faults_.wornCatalyst ? 100.0 + lambdaMv * 0.85 : 650.0;
    putWord(e, false, 21, rearMv / 1000.0 / 5.0 * 1024.0);  // ADC_2O2

    // The mixture adaptation: unmetered air at idle makes it add fuel.
    const double adapted = faults_.airLeak ? std::min(1.0, t / 300.0) : 0.0;
    e.setLive01(69, byteOf(128.0 + 23.0 * adapted));  // FRA 1.0 .. 1.18
    e.setLive01(72, byteOf(64.0 * adapted));          // RKAT 0 .. 3 %

    const double battery = (faults_.weakCharging ? 12.5 - t / 3600.0 : 14.1) + 0.05 * noise(rng_);
    e.setLive01(16, byteOf(battery / 0.0736865374696043));  // UB
    putWord(e, false, 11, battery / 0.0176);                // ADC_BAT
    e.setLive03(25, byteOf(128 + 2.0 * noise(rng_)));       // ADC_BS

    // Flags: idle, full load, air conditioning request, fuel pump, fans,
    // lambda ready, purge, Russian start characteristics.
    std::uint8_t byte1 = e.live01(74), byte2 = e.live01(75), byte3 = e.live01(76);
    setBit(byte1, 0, blip < 0.05);                        // B_LL
    setBit(byte1, 1, blip > 0.95);                        // B_VL
    setBit(byte1, 2, std::fmod(t, 40.0) < 20.0);          // S_AS
    setBit(byte1, 3, std::fmod(t, 40.0) < 20.0);          // B_KOE
    setBit(byte1, 4, true);                               // B_EKP
    setBit(byte1, 5, coolant > 88.0);                     // B_LF1
    setBit(byte1, 6, false);                              // B_LF2
    setBit(byte1, 7, !e.dtcs.empty());                    // B_MIL
    setBit(byte2, 0, blip > 0.3);                         // B_KR
    setBit(byte2, 2, true);                               // B_KSTUMS
    setBit(byte2, 3, lambdaActive);                       // B_LR
    setBit(byte2, 4, cycle > 10.0 && cycle < 10.6);       // B_SA: overrun after the blip
    setBit(byte2, 5, lambdaActive);                       // B_SBBVK
    setBit(byte2, 6, t > 60.0);                           // B_LRA
    setBit(byte2, 7, warm && std::fmod(t, 30.0) > 15.0);  // B_TE
    setBit(byte3, 1, t > 90.0);                           // B_LRHK
    setBit(byte3, 3, t > 40.0);                           // B_SBBHK
    e.setLive01(74, byte1);
    e.setLive01(75, byte2);
    e.setLive01(76, byte3);
    e.setLive01(41, byteOf((byte2 & 0x80) ? 40.0 / 0.390625 : 0));  // TATEOUT

    // Counters: minutes since the ECU's last reset; the misfires counted
    // before this drive; cylinder 3's under load when it misfires, each
    // eighth of them harming the catalyst.
    putWord(e, true, 58, 1234.0 + t / 60.0);
    if (faults_.misfire && blip > 0.6 && noise(rng_) > 0.5) ++misfires_;
    putWord(e, true, 48, 3.0);
    putWord(e, true, 52, misfires_);
    putWord(e, true, 56, 7.0 + misfires_ / 8);
    e.setLive01(12, static_cast<std::uint8_t>(e.dtcs.size()));  // N_ERR
}

}  // namespace sim
