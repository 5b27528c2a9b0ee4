// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/PanelTypes.h"

namespace glpanel {

PFDFlags assignPFDFlags(PFDFlags oldFlags, PFDFlags newFlags) {
    const bool gdi = newFlags & f_PFD_SUPPORT_GDI;
    const bool dbl = newFlags & f_PFD_DOUBLEBUFFER;
    const bool oldGdi = oldFlags & f_PFD_SUPPORT_GDI;
    if (gdi && dbl) {
        // Keep the one that is new, drop the other.
        newFlags &= oldGdi ? ~static_cast<PFDFlags>(f_PFD_SUPPORT_GDI) : ~static_cast<PFDFlags>(f_PFD_DOUBLEBUFFER);
    } else if (!gdi && !dbl) {
        newFlags |= oldGdi ? f_PFD_DOUBLEBUFFER : f_PFD_SUPPORT_GDI;
    }
    return newFlags;
}

PixelFormatRequest pixelFormatRequest(PixelType type, PFDFlags f, std::uint8_t colorBits, std::uint8_t depthBits) {
    PixelFormatRequest r;
    r.pixelType = type == PixelType::Rgba ? 0 : 1;
    r.colorBits = colorBits;
    r.depthBits = depthBits;
    if (f & f_PFD_DRAW_TO_WINDOW) r.flags |= kPfdDrawToWindow;
    if (f & f_PFD_DRAW_TO_BITMAP) r.flags |= kPfdDrawToBitmap;
    if (f & f_PFD_SUPPORT_GDI)
        r.flags |= kPfdSupportGdi;
    else
        r.flags |= kPfdDoubleBuffer;
    if (f & f_PFD_SUPPORT_OPENGL) r.flags |= kPfdSupportOpenGl;
    if (f & f_PFD_GENERIC_ACCELERATED) r.flags |= kPfdGenericAccelerated;
    if (f & f_PFD_GENERIC_FORMAT) r.flags |= kPfdGenericFormat;
    if (f & f_PFD_NEED_PALETTE) r.flags |= kPfdNeedPalette;
    if (f & f_PFD_NEED_SYSTEM_PALETTE) r.flags |= kPfdNeedSystemPalette;
    if (f & f_PFD_STEREO) r.flags |= kPfdStereo;
    if (f & f_PFD_SWAP_LAYER_BUFFERS) r.flags |= kPfdSwapLayerBuffers;
    return r;
}

}  // namespace glpanel
