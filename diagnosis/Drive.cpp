// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnosis/Drive.h"

namespace diagnosis {

namespace {

// The catalogue numbers of the values read.
enum Number : std::size_t {
    kAdc2o2 = 1,
    kAdcThr = 9,
    kBLf1 = 19,
    kBLl = 21,
    kBLr = 22,
    kBSa = 27,
    kFzabg1 = 46,
    kFra = 44,
    kFzakats = 50,
    kMl = 53,
    kMompos = 54,
    kNmot = 56,
    kNsol = 58,
    kRkat = 60,
    kTans = 65,
    kTmot = 69,
    kTmst = 70,
    kUb = 72,
    kUsvk = 74,
    kVfzg = 75,
    kWkr = 78,
};

}  // namespace

Drive readDrive(const ecu::SessionHistory& history) {
    Drive d;
    ecu::LiveData v;
    ecu::PassRecord pass;
    double first = 0;
    for (std::size_t i = history.first(); i < history.end(); ++i) {
        if (!history.decode(i, '.', v, &pass)) continue;  // no longer kept
        if (d.rows.empty()) first = static_cast<double>(pass.timeMs) / 1000;
        Row r;
        r.t = static_cast<double>(pass.timeMs) / 1000 - first;
        r.afterGap = pass.afterGap;
        const auto value = [&v](Number n) { return v.analogue[n].value; };
        r.ub = value(kUb);
        r.tmot = value(kTmot);
        r.tmst = value(kTmst);
        r.tans = value(kTans);
        r.nmot = value(kNmot);
        r.nsol = value(kNsol);
        r.mompos = value(kMompos);
        r.ml = value(kMl);
        r.vfzg = value(kVfzg);
        r.adcThr = value(kAdcThr);
        r.fra = value(kFra);
        r.rkat = value(kRkat);
        r.usvk = value(kUsvk);
        r.rear = value(kAdc2o2) * 1000;
        r.wkr = value(kWkr);
        r.lambdaReady = v.flag[kBLr].state != 0;
        r.fuelCut = v.flag[kBSa].state != 0;
        r.idle = v.flag[kBLl].state != 0;
        r.fan1 = v.flag[kBLf1].state != 0;
        for (std::size_t k = 0; k < r.misfires.size(); ++k) r.misfires[k] = v.counter[kFzabg1 + k].count;
        r.catalystMisfires = v.counter[kFzakats].count;
        d.rows.push_back(r);
    }
    return d;
}

}  // namespace diagnosis
