// SPDX-License-Identifier: GPL-3.0-or-later
// The 30 ms sampler: ages every history by one tick and, when the link has
// finished a new pass, shifts each charted parameter's sample in; then asks
// for the panels to be repainted. Runs on the timer's thread; the repaint is
// handed to the user-interface thread through the callback.
#pragma once

#include <functional>

#include "ecu/LiveData.h"
#include "link/LinkData.h"
#include "painting/HistoryStore.h"

namespace display {

class Sampler {
public:
    // panels: chart panels 1..5 and the passport panel 7 (all), or the flag
    // strip 6 alone (stripOnly).
    enum class Repaint { All, StripOnly };

    Sampler(klink::LinkData& link, const ecu::LiveDataStore& live, HistoryStore& histories,
            std::function<void(Repaint)> requestRepaint, std::function<void()> killTimer);

    // One tick (sampleHistory).
    void tick();

private:
    klink::LinkData& link_;
    const ecu::LiveDataStore& live_;
    HistoryStore& histories_;
    std::function<void(Repaint)> requestRepaint_;
    std::function<void()> killTimer_;
    std::uint32_t reconnectionsSeen_ = 0;
};

}  // namespace display
