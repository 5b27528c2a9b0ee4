// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedCar.h"

namespace sim {
namespace {
SimOptions carOptions() {
    SimOptions o;
    o.bytePacing = true;
    o.answerDelay = std::chrono::milliseconds(25);
    o.record = false;  // a car that runs for hours keeps no log of its wire
    return o;
}
}  // namespace

SimulatedCar::SimulatedCar(CarFaults faults)
    : SimulatedLine(carOptions()), car_(std::chrono::steady_clock::now(), 7, faults) {
    withCore([this](AdapterCore& core) {
        core.beforeAnswer = [this, &core](const std::vector<std::uint8_t>& frame, Clock::time_point t) {
            // The live blocks move on when they are asked for.
            if (frame.size() > 4 && frame[3] == 0x21 && (frame[4] == 0x01 || frame[4] == 0x03))
                car_.advance(core.ecu(), t);
        };
        return 0;
    });
}

}  // namespace sim
