// SPDX-License-Identifier: GPL-3.0-or-later
// The glyph shapes of the panels' fonts, read from the system's fonts
// through Qt: device-pixel bitmaps, and outlines flattened at 96 units per
// em.
#pragma once

namespace glpanel {

// Makes the panels' display-list fonts take their glyphs from Qt.
void useQtGlyphs();

}  // namespace glpanel
