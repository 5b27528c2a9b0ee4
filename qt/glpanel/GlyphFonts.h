// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmap and outline fonts as OpenGL display lists, one list per character
// code of code page 1251. Glyph shapes come from the system's fonts through
// Qt and are cached per font, so that every panel after the first only
// compiles lists. Building and freeing need the panel's context current.
#pragma once

#include <memory>
#include <vector>

#include "painting/PanelTypes.h"

namespace glpanel {

struct OpenGLFont2D {
    int first = 0;
    int count = 0;
    unsigned base = 0;  // first display list
    ~OpenGLFont2D();
};

// Per-glyph metrics in em units, as the platform's float glyph metrics.
struct GlyphMetrics {
    float blackBoxX = 0, blackBoxY = 0;
    float originX = 0, originY = 0;
    float cellIncX = 0, cellIncY = 0;
};

struct OpenGLFont3D {
    int first = 0;
    int count = 0;
    unsigned base = 0;
    float extrusion = 0;
    ~OpenGLFont3D();
};

// The same font for every context of one share group (the panels share their
// display lists when the application asks Qt to share contexts): built once,
// freed with its last user, which must have a context of the group current.
// A null group builds a font of the context's own.
std::shared_ptr<OpenGLFont2D> sharedBitmapFont(const void* shareGroup, const FontSpec& face, int first, int count);
std::shared_ptr<OpenGLFont3D> sharedOutlineFont(const void* shareGroup, const FontSpec& face, int first, int count,
                                                float extrusion, Font3DFormat format);

// Nothing when no display lists can be reserved.
std::unique_ptr<OpenGLFont2D> buildBitmapFont(const FontSpec& face, int first, int count);
std::unique_ptr<OpenGLFont3D> buildOutlineFont(const FontSpec& face, int first, int count, float extrusion,
                                               Font3DFormat format);

}  // namespace glpanel
