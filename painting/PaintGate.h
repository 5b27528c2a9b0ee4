// SPDX-License-Identifier: GPL-3.0-or-later
// Which panels need painting on a sampler tick: a chart whose trace moves,
// and any panel whose picture would differ from the one it last drew (the
// flag strip when a flag, text or count changes, the passport when the
// identification changes, a chart without a trace when its texts change).
// Exposes and colour changes paint regardless; they do not come here.
#pragma once

#include <array>
#include <string>

#include "painting/ChartView.h"

namespace display {

class PaintGate {
public:
    // Panel k: 1..5 the charts, 6 the flag strip, 7 the passport. True when
    // it needs painting now; it is then taken as painted.
    bool needsPaint(int k, const DisplaySources& src);
    // Everything paints at the next check.
    void forget() { known_.fill(false); }

private:
    std::array<std::string, 8> last_;
    std::array<bool, 8> known_{};
};

// What decides a panel's picture besides time: equal texts, equal pictures.
// Empty for a chart whose trace moves with every tick.
std::string panelInputs(int k, const DisplaySources& src);

}  // namespace display
