// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures through the system's own GDI+: the background JPEG, PNG files of
// what the screen shows; and through GDI the logic's shapes: the error
// codes' status pictures and the windows' drawings.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ecu/DtcTable.h"
#include "logic/StatusPictures.h"

namespace winface {

// Starts GDI+ for the program's life.
void startPictures();
// A bitmap of the JPEG bytes; none when they are no JPEG.
HBITMAP decodeJpeg(const std::uint8_t* data, std::size_t size);
// What the screen shows in a rectangle of screen pixels.
HBITMAP grabScreen(int x, int y, int width, int height);
// Writes a bitmap as a PNG file (UTF-8 path): false when it could not.
bool savePng(HBITMAP bitmap, const std::string& path);
// A status picture of the error codes' list and legend, size x size pixels.
HBITMAP statusPicture(ecu::DtcPicture picture, int size);
// Draws the shapes on dc, in its logical units.
void drawShapes(HDC dc, const std::vector<logic::ui::Shape>& shapes);

}  // namespace winface
