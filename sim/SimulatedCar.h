// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated adapter and a living car behind it, as "--simulate" uses
// them: bytes take their 10400-baud time and the ECU answers after 25 ms.
#pragma once

#include "sim/LivingCar.h"
#include "sim/SimulatedLine.h"

namespace sim {

class SimulatedCar : public SimulatedLine {
public:
    explicit SimulatedCar(CarFaults faults = {});

private:
    LivingCar car_;
};

}  // namespace sim
