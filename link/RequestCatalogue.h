// SPDX-License-Identifier: GPL-3.0-or-later
// Every frame the tester sends (the adjustment frames excepted, which live in
// the command area), built once.
#pragma once

#include <array>

#include "link/LinkCommandBlock.h"
#include "link/RequestFrame.h"
#include "link/WireLayout.h"

namespace klink {

struct RequestCatalogue {
    RequestFrame startCommunication;
    RequestFrame stopCommunication;
    RequestFrame identA1, identA2, identA3, ecuIdentification;
    RequestFrame liveData01, liveData03;
    RequestFrame dtcRead, dtcClear;
    RequestFrame ecuReset, ecuInit;
    struct Control {
        RequestFrame report, release, on, off;  // off has length 0 where absent
    };
    std::array<Control, kActuatorCount> actuator;
    std::array<Control, kAdjustCount> adjust;  // report and release only

    RequestCatalogue();
};

}  // namespace klink
