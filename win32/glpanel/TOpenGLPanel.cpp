// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/glpanel/TOpenGLPanel.h"

#include <algorithm>
#include <vector>

#include "platform/OpenGl.h"

namespace wglpanel {

namespace {

const wchar_t* const kClassName = L"M797OpenGLPanel";
const wchar_t* const kCopyClassName = L"M797OpenGLCopy";
constexpr GLenum kBgra = 0x80E1;  // GL_BGRA_EXT: in Windows' OpenGL 1.1 as EXT_bgra

void registerClass() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        // Each panel keeps its own device context: the pixel format is set
        // once on it and the context made for it.
        wc.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = DefWindowProcW;  // replaced per window in create()
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kClassName;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

HFONT makeFont(const glpanel::FontSpec& font) {
    return CreateFontA(font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, FALSE, FALSE,
                       static_cast<DWORD>(font.charset), OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, font.name.c_str());
}

}  // namespace

void TOpenGLPanel::showReport(const std::string& text) { MessageBoxA(owner_, text.c_str(), "", MB_OK | MB_ICONERROR); }

TOpenGLPanel::~TOpenGLPanel() {
    if (context_) {
        if (wglMakeCurrent(dc_, context_)) {
            if (font2D_.base) glDeleteLists(font2D_.base, static_cast<GLsizei>(font2D_.count));
            if (font3D_.base) glDeleteLists(font3D_.base, static_cast<GLsizei>(font3D_.count));
        }
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context_);
    }
    if (palette_) {
        if (dc_) SelectPalette(dc_, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
        if (!DeleteObject(palette_)) report("DeleteObject: Failed");
    }
    if (shown_) {
        SetWindowLongPtrW(shown_, GWLP_USERDATA, 0);
        DestroyWindow(shown_);
    }
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        if (dc_) ReleaseDC(window_, dc_);
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK TOpenGLPanel::windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* panel = reinterpret_cast<TOpenGLPanel*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (panel) {
        switch (msg) {
            case WM_ERASEBKGND:
                return 1;  // OpenGL covers the whole window
            case WM_PAINT: {
                PAINTSTRUCT ps;
                BeginPaint(w, &ps);
                panel->paintCycle();
                EndPaint(w, &ps);
                return 0;
            }
            case WM_SIZE:
                panel->width_ = LOWORD(lp);
                panel->height_ = HIWORD(lp);
                panel->resized();
                return 0;
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;  // a click on a panel leaves the keyboard where it was
            case WM_QUERYNEWPALETTE:
                if (panel->palette_) {
                    const int realized = panel->realizePalette();
                    if (realized > 0) InvalidateRect(w, nullptr, FALSE);
                    return realized > 0 ? realized : 0;
                }
                break;
            case WM_PALETTECHANGED:
                if (panel->palette_ && reinterpret_cast<HWND>(wp) != w && panel->realizePalette() > 0)
                    InvalidateRect(w, nullptr, FALSE);
                if (panel->palette_) return 0;
                break;
            default:
                if (panel->OnMessage && panel->OnMessage(msg, wp, lp)) return 0;
                break;
        }
    }
    return DefWindowProcW(w, msg, wp, lp);
}

LRESULT CALLBACK TOpenGLPanel::copyProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* panel = reinterpret_cast<TOpenGLPanel*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (panel) {
        switch (msg) {
            case WM_ERASEBKGND:
                return 1;
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(w, &ps);
                if (panel->copy_.size() == static_cast<std::size_t>(panel->width_) * panel->height_ * 4) {
                    BITMAPINFO info{};
                    info.bmiHeader.biSize = sizeof info.bmiHeader;
                    info.bmiHeader.biWidth = panel->width_;
                    info.bmiHeader.biHeight = panel->height_;  // bottom row first, as read back
                    info.bmiHeader.biPlanes = 1;
                    info.bmiHeader.biBitCount = 32;
                    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(panel->width_), static_cast<DWORD>(panel->height_),
                                      0, 0, 0, static_cast<UINT>(panel->height_), panel->copy_.data(), &info,
                                      DIB_RGB_COLORS);
                } else {
                    FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
                }
                EndPaint(w, &ps);
                return 0;
            }
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;
            default:
                if (panel->OnMessage && panel->OnMessage(msg, wp, lp)) return 0;
                break;
        }
    }
    return DefWindowProcW(w, msg, wp, lp);
}

bool TOpenGLPanel::create(HWND owner, int x, int y, int w, int h, Placement placement) {
    registerClass();
    owner_ = owner;
    width_ = w;
    height_ = h;
    if (OnPreInit) OnPreInit(this);
    const bool popup = placement != Placement::Child;
    POINT at{x, y};
    if (placement == Placement::Popup && owner) ClientToScreen(owner, &at);
    if (placement == Placement::Copied) {
        // Drawn out of sight; a child window of the owner shows the copy.
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            wc.lpszClassName = kCopyClassName;
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        shown_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, x, y, w, h, owner, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        if (!shown_) {
            report("CreateWindow:" + std::to_string(GetLastError()));
            return false;
        }
        SetWindowLongPtrW(shown_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(shown_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TOpenGLPanel::copyProc));
        at = {-4 * w, -4 * h};
    }
    const DWORD style = (popup ? WS_POPUP : WS_CHILD) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    window_ = CreateWindowExW(popup ? WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE : 0, kClassName, L"", style, at.x, at.y, w, h,
                              owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) {
        report("CreateWindow:" + std::to_string(GetLastError()));
        return false;
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TOpenGLPanel::windowProc));
    dc_ = GetDC(window_);
    if (placement == Placement::Copied) ShowWindow(window_, SW_SHOWNOACTIVATE);  // a drawable, out of sight
    if (!makeContext()) return false;
    initialise();
    return true;
}

bool TOpenGLPanel::makeContext() {
    const glpanel::PixelFormatRequest req = request();
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = req.flags;  // the request's flags are the descriptor's
    pfd.iPixelType = req.pixelType == 0 ? PFD_TYPE_RGBA : PFD_TYPE_COLORINDEX;
    pfd.cColorBits = req.colorBits;
    pfd.cDepthBits = req.depthBits;
    pfd.iLayerType = PFD_MAIN_PLANE;
    doubleBuffered_ = req.doubleBuffered();
    const int format = ChoosePixelFormat(dc_, &pfd);
    if (format == 0 || !SetPixelFormat(dc_, format, &pfd)) {
        report("SetPixelFormat:" + std::to_string(GetLastError()));
        report("Open GL Context Create Failed");
        return false;
    }
    // An indexed (8-bit) display needs a palette of the format's colours.
    PIXELFORMATDESCRIPTOR chosen{};
    DescribePixelFormat(dc_, format, sizeof chosen, &chosen);
    if (chosen.dwFlags & PFD_NEED_PALETTE) {
        const std::vector<PALETTEENTRY> entries = paletteEntries(chosen);
        std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
        auto* logical = reinterpret_cast<LOGPALETTE*>(buffer.data());
        logical->palVersion = 0x300;
        logical->palNumEntries = static_cast<WORD>(entries.size());
        std::copy(entries.begin(), entries.end(), logical->palPalEntry);
        palette_ = CreatePalette(logical);
        if (!palette_) {
            report("CreatePalette:" + std::to_string(GetLastError()));
            report("Open GL Context Create Failed");
            return false;
        }
    }
    context_ = wglCreateContext(dc_);
    if (!context_) {
        report("wglRenderingContext:" + std::to_string(GetLastError()));
        if (palette_) {
            SelectPalette(dc_, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
            if (!DeleteObject(palette_)) report("DeleteObject: Failed");
            palette_ = nullptr;
        }
        report("Open GL Context Create Failed");
        return false;
    }
    return true;
}

std::vector<PALETTEENTRY> TOpenGLPanel::paletteEntries(const PIXELFORMATDESCRIPTOR& f) {
    const int n = 1 << std::min<int>(f.cColorBits, 16);
    const auto spread = [](int i, int bits, int shift) {
        const int mask = (1 << bits) - 1;
        return static_cast<BYTE>(mask ? ((i >> shift) & mask) * 255 / mask : 0);
    };
    std::vector<PALETTEENTRY> entries(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        entries[static_cast<std::size_t>(i)] = {spread(i, f.cRedBits, f.cRedShift),
                                                spread(i, f.cGreenBits, f.cGreenShift),
                                                spread(i, f.cBlueBits, f.cBlueShift), 0};
    }
    return entries;
}

int TOpenGLPanel::realizePalette() {
    HPALETTE previous = SelectPalette(dc_, palette_, FALSE);
    const UINT realized = RealizePalette(dc_);
    if (realized == GDI_ERROR) {
        report("RealizePalette:" + std::to_string(GetLastError()));
        return -1;
    }
    SelectPalette(dc_, previous, TRUE);
    return static_cast<int>(realized);
}

void TOpenGLPanel::buildFonts() {
    if (Font2D_Enabled && Font2D_NumGylph > 0) {
        HFONT font = makeFont(Font2D_Type);
        HGDIOBJ old = SelectObject(dc_, font);
        font2D_ = {glGenLists(static_cast<GLsizei>(Font2D_NumGylph)), Font2D_FirstGylph, Font2D_NumGylph};
        // A byte has no code past 255: the lists beyond stay empty.
        const int made = std::min(Font2D_NumGylph, 256 - Font2D_FirstGylph);
        if (font2D_.base && made > 0 &&
            !wglUseFontBitmapsA(dc_, static_cast<DWORD>(Font2D_FirstGylph), static_cast<DWORD>(made), font2D_.base)) {
            glDeleteLists(font2D_.base, static_cast<GLsizei>(Font2D_NumGylph));
            font2D_.base = 0;
        }
        // Some OpenGL libraries (Mesa among them) drop the advance of a glyph
        // with no pixels, and the spaces vanish from every text: the space
        // is made again as one blank pixel with its advance.
        INT advance = 0;
        if (font2D_.base && Font2D_FirstGylph <= ' ' && ' ' < Font2D_FirstGylph + Font2D_NumGylph &&
            GetCharWidth32A(dc_, ' ', ' ', &advance)) {
            static const GLubyte blank[4] = {0, 0, 0, 0};
            glNewList(font2D_.base + static_cast<unsigned>(' ' - Font2D_FirstGylph), GL_COMPILE);
            glBitmap(1, 1, 0, 0, static_cast<GLfloat>(advance), 0, blank);
            glEndList();
        }
        SelectObject(dc_, old);
        DeleteObject(font);
    }
    if (Font3D_Enabled && Font3D_NumGylph > 0) {
        HFONT font = makeFont(Font3D_Type);
        HGDIOBJ old = SelectObject(dc_, font);
        font3D_ = {glGenLists(static_cast<GLsizei>(Font3D_NumGylph)), Font3D_FirstGylph, Font3D_NumGylph};
        std::vector<GLYPHMETRICSFLOAT> metrics(static_cast<std::size_t>(Font3D_NumGylph));
        const int format = Font3D_Format == Font3DFormat::Lines ? WGL_FONT_LINES : WGL_FONT_POLYGONS;
        const int made = std::min(Font3D_NumGylph, 256 - Font3D_FirstGylph);
        if (font3D_.base && made > 0 &&
            !wglUseFontOutlinesA(dc_, static_cast<DWORD>(Font3D_FirstGylph), static_cast<DWORD>(made), font3D_.base,
                                 Font3D_MaxDeviation, Font3D_Extrustion, format, metrics.data())) {
            glDeleteLists(font3D_.base, static_cast<GLsizei>(Font3D_NumGylph));
            font3D_.base = 0;
        }
        SelectObject(dc_, old);
        DeleteObject(font);
    }
}

bool TOpenGLPanel::makeCurrent() {
    if (palette_) {
        previousPalette_ = SelectPalette(dc_, palette_, FALSE);
        if (RealizePalette(dc_) == GDI_ERROR) {
            report("RealizePalette:" + std::to_string(GetLastError()));
            return false;
        }
    }
    if (wglMakeCurrent(dc_, context_)) return true;
    sayOnce("wglMakeCurrent:" + std::to_string(GetLastError()));
    restorePalette();
    return false;
}

void TOpenGLPanel::restorePalette() {
    if (previousPalette_) SelectPalette(dc_, previousPalette_, TRUE);
    previousPalette_ = nullptr;
}

void TOpenGLPanel::release() {
    restorePalette();
    wglMakeCurrent(nullptr, nullptr);
}

void TOpenGLPanel::painted() {
    if (!keepPicture && !shown_) return;
    const std::size_t bytes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
    glFinish();
    glReadBuffer(doubleBuffered_ ? GL_BACK : GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (keepPicture) {
        picture_.assign(bytes, '\0');
        glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, picture_.data());
    }
    if (shown_) {
        copy_.resize(bytes);
        glReadPixels(0, 0, width_, height_, kBgra, GL_UNSIGNED_BYTE, copy_.data());
    }
}

void TOpenGLPanel::afterPaint() {
    if (!shown_) return;
    InvalidateRect(shown_, nullptr, FALSE);
    UpdateWindow(shown_);
}

}  // namespace wglpanel
