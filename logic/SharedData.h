// SPDX-License-Identifier: GPL-3.0-or-later
// The data area the main window owns and every thread shares: the link's
// texts and command area, the decoded live data, the chart selection and
// the colours, the sampler's timer. The drive's history is the window's.
#pragma once

#include <atomic>

#include "ecu/LiveData.h"
#include "link/LinkData.h"
#include "logic/StoredSettings.h"
#include "painting/ColourScheme.h"
#include "platform/TimerService.h"

namespace logic {

struct SharedData {
    klink::LinkData linkData;
    ecu::LiveDataStore liveData;
    stored::ChartParameters chartParameter{};
    display::ColourScheme colourScheme = display::ColourScheme::builtIn();
    std::atomic<platform::TimerService::Id> timerId{0};
    unsigned timerPeriod = 0;
};

}  // namespace logic
