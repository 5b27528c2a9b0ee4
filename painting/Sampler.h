// SPDX-License-Identifier: GPL-3.0-or-later
// The 30 ms sampler: ages the live charts by one tick and, when the link has
// kept a new measured pass in the drive's history, takes it for them; then
// asks for the panels to be repainted. Runs on the timer's thread; the
// repaint is handed to the user-interface thread through the callback.
#pragma once

#include <functional>

#include "ecu/SessionHistory.h"
#include "link/LinkData.h"

namespace display {

using ecu::HistoryBuffer;
using ecu::kHistorySlots;

class Sampler {
public:
    // panels: chart panels 1..5 and the passport panel 7 (all), or the flag
    // strip 6 alone (stripOnly).
    enum class Repaint { All, StripOnly };

    Sampler(klink::LinkData& link, ecu::SessionHistory& history, std::function<void(Repaint)> requestRepaint,
            std::function<void()> killTimer);

    // One tick (sampleHistory).
    void tick();

private:
    klink::LinkData& link_;
    ecu::SessionHistory& history_;
    std::function<void(Repaint)> requestRepaint_;
    std::function<void()> killTimer_;
};

}  // namespace display
