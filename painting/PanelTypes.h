// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing panel's published property types and the pixel-format
// request derived from them. Plain C++: tested without a display.
#pragma once

#include <cstdint>
#include <string>

namespace glpanel {

enum class PixelType { Rgba, ColorIndex };  // f_PFD_TYPE_RGBA, f_PFD_TYPE_COLORINDEX
enum class SwapBuffersMode { Auto, Manual };
enum class Font3DFormat { Lines, Polygons };  // f_WGL_FONT_LINES, f_WGL_FONT_POLYGONS

// The requested format flags, one bit each in the published order.
enum PFDFlag : std::uint32_t {
    f_PFD_DRAW_TO_WINDOW = 1u << 0,
    f_PFD_DRAW_TO_BITMAP = 1u << 1,
    f_PFD_SUPPORT_GDI = 1u << 2,
    f_PFD_SUPPORT_OPENGL = 1u << 3,
    f_PFD_GENERIC_ACCELERATED = 1u << 4,
    f_PFD_GENERIC_FORMAT = 1u << 5,
    f_PFD_NEED_PALETTE = 1u << 6,
    f_PFD_NEED_SYSTEM_PALETTE = 1u << 7,
    f_PFD_DOUBLEBUFFER = 1u << 8,
    f_PFD_STEREO = 1u << 9,
    f_PFD_SWAP_LAYER_BUFFERS = 1u << 10,
};
using PFDFlags = std::uint32_t;

constexpr PFDFlags kDefaultPFDFlags = f_PFD_DRAW_TO_WINDOW | f_PFD_SUPPORT_OPENGL | f_PFD_DOUBLEBUFFER;

// Exactly one of SUPPORT_GDI and DOUBLEBUFFER stays set: a set with both
// keeps the one the old set lacked; a set with neither adds the one the old
// set lacked.
PFDFlags assignPFDFlags(PFDFlags oldFlags, PFDFlags newFlags);

// The descriptor flags of the request: the values of the Windows PFD_*
// flags, under names of their own (<wingdi.h> defines those as macros).
enum RequestFlag : std::uint32_t {
    kPfdDoubleBuffer = 0x1,
    kPfdStereo = 0x2,
    kPfdDrawToWindow = 0x4,
    kPfdDrawToBitmap = 0x8,
    kPfdSupportGdi = 0x10,
    kPfdSupportOpenGl = 0x20,
    kPfdGenericFormat = 0x40,
    kPfdNeedPalette = 0x80,
    kPfdNeedSystemPalette = 0x100,
    kPfdSwapLayerBuffers = 0x800,
    kPfdGenericAccelerated = 0x1000,
};

struct PixelFormatRequest {
    std::uint8_t pixelType = 0;  // 0 RGBA, 1 colour index
    std::uint8_t colorBits = 0;
    std::uint8_t depthBits = 0;
    std::uint32_t flags = 0;
    bool doubleBuffered() const { return flags & kPfdDoubleBuffer; }
};

// Double buffering follows from the absence of SUPPORT_GDI; the
// DOUBLEBUFFER property itself is not consulted.
PixelFormatRequest pixelFormatRequest(PixelType type, PFDFlags flags, std::uint8_t colorBits, std::uint8_t depthBits);

// A font named as the properties name it: face, height in pixels (negative:
// character height), style and character set (204: Russian).
struct FontSpec {
    std::string name = "Arial";
    int height = -9;
    bool bold = true;
    bool italic = false;
    int charset = 0;  // 0 ANSI, 204 Russian
    bool operator==(const FontSpec&) const = default;
};

// The panel's published properties, read when its window is created: the
// same on every face's panel.
struct PublishedProperties {
    PixelType PixelType_ = PixelType::Rgba;
    std::uint8_t cColorBits = 32;
    std::uint8_t cDepthBits = 32;
    SwapBuffersMode GLSwapBuffers = SwapBuffersMode::Auto;
    int PixelsPerInch = 96;  // printing only; kept for completeness
    bool Font3D_Enabled = false;
    FontSpec Font3D_Type{};
    int Font3D_FirstGylph = 32;
    int Font3D_NumGylph = 96;
    float Font3D_MaxDeviation = 0;
    float Font3D_Extrustion = 0.1f;
    Font3DFormat Font3D_Format = Font3DFormat::Polygons;
    bool Font2D_Enabled = false;
    FontSpec Font2D_Type{};
    int Font2D_FirstGylph = 32;
    int Font2D_NumGylph = 96;

    PFDFlags pfdFlags() const { return pfdFlags_; }
    void setPFDFlags(PFDFlags flags) { pfdFlags_ = assignPFDFlags(pfdFlags_, flags); }
    PixelFormatRequest request() const { return pixelFormatRequest(PixelType_, pfdFlags_, cColorBits, cDepthBits); }

private:
    PFDFlags pfdFlags_ = kDefaultPFDFlags;
};

}  // namespace glpanel
