// SPDX-License-Identifier: GPL-3.0-or-later
// The charts' colours: red, green, blue and brightness, each 0..1. The
// brightness is passed to OpenGL as alpha and, with additive blending, acts
// as brightness on the black background.
#pragma once

#include <array>

namespace display {

struct Colour {
    float r = 0, g = 0, b = 0, t = 0;
    bool operator==(const Colour&) const = default;
};

// The cursors' colour when nothing else is stored.
inline constexpr Colour kCursorColour{1.0f, 0.3f, 1.0f, 1.0f};

struct ColourScheme {
    Colour gridColour;
    Colour nameTextColour;
    Colour valueTextColour;
    Colour graphColour;
    bool operator==(const ColourScheme&) const = default;

    // Used when nothing is stored.
    static ColourScheme builtIn() {
        return {
            {0.5f, 0.4f, 0.1f, 0.4f}, {0.1f, 0.99f, 0.7f, 0.7f}, {0.1f, 0.4f, 0.8f, 0.5f}, {0.45f, 0.99f, 0.1f, 0.99f}};
    }
    // The settings dialog's reset: the built-in scheme with a dimmer grid.
    static ColourScheme reset() {
        ColourScheme s = builtIn();
        s.gridColour.t = 0.3f;
        return s;
    }
};

}  // namespace display
