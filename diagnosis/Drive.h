// SPDX-License-Identifier: GPL-3.0-or-later
// A drive as the checks read it: the values they judge, one row for each
// measured pass of the drive's one history (a pass that did not measure was
// never kept), with the pass's time and whether the link had reconnected
// before it. Engineering units as the ECU gives them.
#pragma once

#include <array>
#include <vector>

#include "ecu/SessionHistory.h"

namespace diagnosis {

// A pass stands for the time to the next one, up to this: a longer step is a
// gap in the data (a reconnection, passes that measured nothing, a port that
// went away), not time seen.
constexpr double kLongestStep = 2.0;

struct Row {
    double t = 0;                   // seconds since the drive's first pass
    bool afterGap = false;          // the link reconnected before this pass
    float ub = 0;                   // on-board voltage, V
    float tmot = 0;                 // coolant, °C
    float tmst = 0;                 // coolant when the engine started, °C
    float tans = 0;                 // intake air, °C
    float nmot = 0;                 // engine speed, rpm
    float nsol = 0;                 // idle speed wanted, rpm
    float mompos = 0;               // idle air valve, steps
    float ml = 0;                   // air mass, kg/h
    float vfzg = 0;                 // road speed, km/h
    float adcThr = 0;               // throttle position sensor, V
    float fra = 1;                  // the mixture adaptation's multiplicative part (1: none)
    float rkat = 0;                 // its additive part, %
    float usvk = 0;                 // the lambda sensor before the catalyst, mV
    float rear = 0;                 // the lambda sensor after the catalyst (ADC_2O2), mV
    float wkr = 0;                  // ignition retarded by knock control, ° crank
    bool idle = false;              // B_LL
    bool fan1 = false;              // B_LF1
    bool lambdaReady = false;       // B_LR: the sensor before the catalyst is ready (hot)
    bool fuelCut = false;           // B_SA
    std::array<int, 4> misfires{};  // FZABG_1..4: the misfire counter of each cylinder
    int catalystMisfires = 0;       // FZAKATS: misfires that harm the catalyst
};

struct Drive {
    std::vector<Row> rows;
    double seconds() const { return rows.empty() ? 0 : rows.back().t - rows.front().t; }
};

// Whether nothing was seen between row i and the one before it: the link
// reconnected, or the step is longer than a pass stands for.
inline bool gapBefore(const Drive& d, std::size_t i) {
    return d.rows[i].afterGap || (i > 0 && d.rows[i].t - d.rows[i - 1].t > kLongestStep);
}

// Every pass the history still keeps, in order.
Drive readDrive(const ecu::SessionHistory& history);

// The engine turns on its own (not cranking, not stopped).
inline bool running(const Row& r) { return r.nmot >= 500; }

}  // namespace diagnosis
