// SPDX-License-Identifier: GPL-3.0-or-later
// The error codes' ten status pictures as shapes on a 21 x 21 grid, drawn by
// both faces: the list's column and the legend show them. And the windows'
// drawings (Kind::Drawing), as shapes in pixels of their own place.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ecu/DtcTable.h"

namespace logic::ui {

constexpr int kStatusPictureGrid = 21;

struct Rgb {
    std::uint8_t r, g, b;
};
struct GridPoint {
    float x, y;
};

enum class ShapeKind {
    Box,       // points: the top-left and bottom-right corners
    RoundBox,  // the same, then the corners' radii across and down as a point
    Disc,      // the same, of the bounding box
    Polygon,   // closed
    Polyline,  // open
    Curve,     // open: a start, then three points for each cubic Bézier
};
// The ends of a line: as the toolkits' default (square), round (also the
// joins), or flat.
enum class Ends { Square, Round, Flat };

struct Shape {
    ShapeKind kind;
    std::optional<Rgb> pen;  // none: not outlined
    float penWidth;
    Ends ends;
    std::optional<Rgb> fill;  // none: not filled
    std::vector<GridPoint> points;
};

// Nothing for DtcPicture::None.
const std::vector<Shape>& statusPicture(ecu::DtcPicture picture);

enum DrawingId : int {
    kWarningSign = 1,  // the notice's: a yellow triangle with a black mark, on the picture's grey
};
// Nothing for an unknown one.
const std::vector<Shape>& drawing(int id);

}  // namespace logic::ui
