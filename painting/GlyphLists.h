// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmap and outline fonts as OpenGL display lists, one list per character
// code of code page 1251, made from glyph shapes a face supplies (from the
// system's fonts). Shapes are cached per font, so that every panel after the
// first only compiles lists. Building and freeing need the panel's context
// current.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "painting/PanelTypes.h"

namespace display {

// A glyph as a bitmap of device pixels: rows bottom first, most significant
// bit first, each row padded to whole bytes.
struct BitmapGlyph {
    int width = 0, height = 0;
    float xorig = 0, yorig = 0, advance = 0;
    std::vector<std::uint8_t> rows;
};

// Per-glyph metrics in em units, as the platform's float glyph metrics.
struct GlyphMetrics {
    float blackBoxX = 0, blackBoxY = 0;
    float originX = 0, originY = 0;
    float cellIncX = 0, cellIncY = 0;
};

// A glyph's outline: closed contours in em units, y up.
struct GlyphOutline {
    std::vector<std::vector<std::array<double, 2>>> contours;
    GlyphMetrics metrics;
};

// What the face reads from the system's fonts; an empty shape for a code
// with no glyph.
struct GlyphSource {
    BitmapGlyph (*bitmap)(const glpanel::FontSpec& face, int code) = nullptr;
    GlyphOutline (*outline)(const glpanel::FontSpec& face, int code) = nullptr;
};
void setGlyphSource(const GlyphSource& source);

// Control codes and the one undefined code of the page have no glyph.
constexpr bool hasGlyph(int code) { return code >= 32 && code <= 255 && code != 0x98 && code != 0x7F; }

struct OpenGLFont2D {
    int first = 0;
    int count = 0;
    unsigned base = 0;  // first display list
    ~OpenGLFont2D();
};

struct OpenGLFont3D {
    int first = 0;
    int count = 0;
    unsigned base = 0;
    float extrusion = 0;
    ~OpenGLFont3D();
};

// The same font for every context of one share group (the panels share their
// display lists when the face shares contexts): built once, freed with its
// last user, which must have a context of the group current. A null group
// builds a font of the context's own.
std::shared_ptr<OpenGLFont2D> sharedBitmapFont(const void* shareGroup, const glpanel::FontSpec& face, int first,
                                               int count);
std::shared_ptr<OpenGLFont3D> sharedOutlineFont(const void* shareGroup, const glpanel::FontSpec& face, int first,
                                                int count, float extrusion, glpanel::Font3DFormat format);

// Nothing when no display lists can be reserved.
std::unique_ptr<OpenGLFont2D> buildBitmapFont(const glpanel::FontSpec& face, int first, int count);
std::unique_ptr<OpenGLFont3D> buildOutlineFont(const glpanel::FontSpec& face, int first, int count, float extrusion,
                                               glpanel::Font3DFormat format);

}  // namespace display
