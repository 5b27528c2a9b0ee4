// SPDX-License-Identifier: GPL-3.0-or-later
// What the seven panels of the main window draw: the five trend charts, the
// flag strip and the passport panel. Each paint copies what it needs from the
// shared data under the owners' locks and draws it in OpenGL 1.1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ecu/LiveData.h"
#include "ecu/SessionHistory.h"
#include "link/LinkData.h"
#include "painting/ColourScheme.h"
#include "platform/WallClock.h"

namespace display {
class Panel;
}

namespace display {

// chartParameter[k-1] is the catalogue number of chart k; 0 selects nothing.
using ChartParameters = std::array<std::int32_t, 5>;

// The data the paints read, all owned by the main window.
struct DisplaySources {
    const ecu::LiveDataStore* live = nullptr;
    const klink::LinkData* link = nullptr;
    const ChartParameters* chartParameter = nullptr;
    const ColourScheme* colours = nullptr;
    std::string portName;  // 1251, shown in the strip's last frame
    // The drive's one history (the live charts draw its newest samples),
    // how the charts look back at it (none: live only), the drive's
    // wall-clock start and the readouts' decimal point.
    const ecu::SessionHistory* session = nullptr;
    const class ChartReview* review = nullptr;
    platform::WallTime started;
    char decimalSeparator = '.';
    // The same car's previous drive drawn beside this one, dimmer, aligned
    // by the time since each drive's first pass (none: not shown), and
    // what the charts call it (1251: "прошлая поездка 09.12.2026").
    const ecu::SessionHistory* previous = nullptr;
    std::string previousLabel;
    // The cursor lines, their readouts and the paused charts' frame: a
    // colour no trace or text of the scheme has (stored; magenta unless
    // changed).
    Colour cursorColour = kCursorColour;
};

// The name the strip shows for a port (1251): "Com1".."ComN" for the built-in
// ports, "USB0" or "ACM0" for USB adapters (by-id links followed), otherwise
// the device's name without its folder, cut with an ellipsis to fit the
// strip's last frame (kPortNameRoom pixels of bold 11-pixel Arial, measured
// by the face's width: pixels of a 1251 text in that font).
constexpr int kPortNameRoom = 38;
using TextWidth = std::function<int(const std::string& text1251)>;
std::string portLabel(const std::string& device, const TextWidth& width);

// OnInit of all seven panels: viewport, the 20° perspective, fixed state.
void initChartView(Panel* panel);
// OnPaint of chart slot k (1..5).
void paintTrendChart(Panel* panel, int slot, const DisplaySources& src);
// The same chart drawn from the kept drive, when the view is not the
// ordinary live one.
void paintReviewChart(Panel* panel, int slot, const DisplaySources& src);
void paintFlagStrip(Panel* panel, const DisplaySources& src);
void paintPassportPanel(Panel* panel, const DisplaySources& src);

}  // namespace display
