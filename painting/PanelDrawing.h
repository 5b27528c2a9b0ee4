// SPDX-License-Identifier: GPL-3.0-or-later
// Steps and helpers every panel's paint shares: the fixed state, the pixel
// overlay for texts, colours with a brightness of their own.
#pragma once

#include <cstdint>
#include <string>

#include "painting/ColourScheme.h"

namespace display {
class Panel;
}
namespace ecu {
class SessionHistory;
}

namespace display::drawing {

void setColour(const Colour& c);
Colour withBrightness(const Colour& c, float t);
// A 1251 text at a pixel position of the overlay.
void text2D(const Panel* panel, const std::string& text, int x, int y);
// Clear, line polygons, smooth lines, additive blending, no depth test.
void beginPaint();
// A pixel overlay: raster positions in pixels from the top-left corner.
void beginOverlay(const Panel* panel);
void endOverlay();
// A fixed text of the source, in 1251, made once.
const std::string& text1251(const char* utf8);
// A chart's grid, in the chart's first translation.
void drawChartGrid(const Colour& colour);
// A live chart's trace as it stood at `tick`, in the chart's second
// translation, in the colour set.
void drawLiveTrace(const ecu::SessionHistory& kept, int number, std::uint64_t tick);

}  // namespace display::drawing
