// SPDX-License-Identifier: GPL-3.0-or-later
// What the painting needs of a drawing panel, whichever window system's face
// provides it (the Qt panel here; a WGL one on Windows). The paints call it
// only inside the panel's handlers, with the panel's OpenGL context current.
#pragma once

#include <string_view>

namespace display {

class Panel {
public:
    virtual ~Panel() = default;
    // The panel's size in the window's pixels (the overlay's coordinates).
    virtual int panelWidth() const = 0;
    virtual int panelHeight() const = 0;
    // Its size in device pixels, for the viewport.
    virtual int deviceWidth() const = 0;
    virtual int deviceHeight() const = 0;
    // Code page 1251 texts in the panel's bitmap and outline fonts, at the
    // current raster position or model transform.
    virtual void Draw2DText(std::string_view text1251) const = 0;
    virtual void Draw3DText(std::string_view text1251) const = 0;
};

}  // namespace display
