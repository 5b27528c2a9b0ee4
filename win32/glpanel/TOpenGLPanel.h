// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing panel of the Windows face: a window of its own with a
// double-buffered RGBA OpenGL context made through WGL, bitmap and outline
// fonts made by wglUseFontBitmapsA/wglUseFontOutlinesA in code page 1251 as
// display lists, and handlers called with the context current. Between
// handler calls no context is current, so panels on one thread take turns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "painting/PanelCycle.h"

namespace wglpanel {

using glpanel::Font3DFormat;
using glpanel::SwapBuffersMode;

class TOpenGLPanel : public glpanel::PanelCycle<TOpenGLPanel> {
public:
    TOpenGLPanel() = default;
    ~TOpenGLPanel() override;
    TOpenGLPanel(const TOpenGLPanel&) = delete;
    TOpenGLPanel& operator=(const TOpenGLPanel&) = delete;
    // The panel's other window messages (the mouse), first: true when handled.
    std::function<bool(UINT msg, WPARAM wp, LPARAM lp)> OnMessage;

    // How the picture reaches the screen: drawn in a child window of the
    // owner; in an owned pop-up at the place; or drawn out of sight and
    // copied into a child window of the owner after each paint (where the
    // window system shows no OpenGL in child windows, as Wine on an X server
    // without compositing, and a pop-up would stand in front of the owner's
    // other windows).
    enum class Placement { Child, Popup, Copied };
    // Makes the panel's window at (x, y) of owner, w x h pixels. False, said
    // through the report, when no context could be made; the panel then
    // paints nothing.
    bool create(HWND owner, int x, int y, int w, int h, Placement placement = Placement::Child);
    bool create(HWND owner, int x, int y, int w, int h, bool popup) {
        return create(owner, x, y, w, h, popup ? Placement::Popup : Placement::Child);
    }
    // The window that shows the picture (and gets the mouse).
    HWND handle() const { return shown_ ? shown_ : window_; }

    int panelWidth() const override { return width_; }
    int panelHeight() const override { return height_; }
    int deviceWidth() const override { return width_; }
    int deviceHeight() const override { return height_; }

    // The last picture painted, bottom row first, RGBA: read from the back
    // buffer right after the paint, before it is presented.
    const std::string& lastPicture() const { return picture_; }
    // Keep lastPicture after every paint (tests; costs a read-back).
    bool keepPicture = false;

    bool contextReady() const { return context_ != nullptr; }
    // The palette an indexed (8-bit) display needs for a format: 2^bits
    // entries, each index's red, green and blue bits spread over 0..255.
    static std::vector<PALETTEENTRY> paletteEntries(const PIXELFORMATDESCRIPTOR& format);

private:
    static LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK copyProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    // Selects the palette in front and realizes it: the entries realized, or
    // -1 after a report.
    int realizePalette();
    bool makeContext();
    void restorePalette();

    bool hasContext() const override { return context_ != nullptr; }
    bool makeCurrent() override;
    void release() override;
    void present() override { SwapBuffers(dc_); }
    void showReport(const std::string& text) override;
    void buildFonts() override;
    void painted() override;
    void afterPaint() override;

    HWND window_ = nullptr;
    HWND shown_ = nullptr;            // the child window a copied picture shows in
    std::vector<std::uint8_t> copy_;  // the picture copied, bottom row first, BGRA
    HWND owner_ = nullptr;
    HDC dc_ = nullptr;
    HGLRC context_ = nullptr;
    HPALETTE palette_ = nullptr;          // only on an indexed display
    HPALETTE previousPalette_ = nullptr;  // the one selected before, while the context is current
    int width_ = 0, height_ = 0;
    std::string picture_;
};

}  // namespace wglpanel
