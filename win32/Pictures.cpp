// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Pictures.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+ wants min and max of its own.
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cmath>
#include <vector>

#include "win32/Face.h"

namespace winface {

void startPictures() {
    static ULONG_PTR token = 0;
    if (token) return;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

HBITMAP decodeJpeg(const std::uint8_t* data, std::size_t size) {
    startPictures();
    IStream* stream = SHCreateMemStream(data, static_cast<UINT>(size));
    if (!stream) return nullptr;
    HBITMAP out = nullptr;
    {
        Gdiplus::Bitmap picture(stream);
        if (picture.GetLastStatus() == Gdiplus::Ok) picture.GetHBITMAP(Gdiplus::Color(0, 0, 0), &out);
    }
    stream->Release();
    return out;
}

HBITMAP grabScreen(int x, int y, int width, int height) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

bool savePng(HBITMAP bitmap, const std::string& path) {
    startPictures();
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    if (bytes == 0) return false;
    std::vector<unsigned char> buffer(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, bytes, encoders);
    const CLSID* png = nullptr;
    for (UINT i = 0; i < count; ++i)
        if (std::wstring(encoders[i].MimeType) == L"image/png") png = &encoders[i].Clsid;
    if (!png) return false;
    Gdiplus::Bitmap picture(bitmap, nullptr);
    return picture.Save(wide(path).c_str(), png, nullptr) == Gdiplus::Ok;
}

namespace {

using ecu::DtcPicture;

// Draws with a pen of whole pixels (one at least) and a fill of these colours.
template <typename Draw>
void filled(HDC dc, COLORREF pen, float width, COLORREF fill, Draw draw) {
    HPEN p = CreatePen(PS_SOLID, std::max(1, static_cast<int>(width)), pen);
    HBRUSH f = CreateSolidBrush(fill);
    HGDIOBJ op = SelectObject(dc, p), ob = SelectObject(dc, f);
    draw();
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(p);
    DeleteObject(f);
}

}  // namespace

// The shapes on whole pixels: a point on the pixel it lies in; a box or
// disc from the pixel of its top-left corner to the one past its
// bottom-right edge. A filled shape is edged in its pen's whole pixels, in
// its own colour where it has no outline; a line keeps its whole pixels of width.
void drawShapes(HDC dc, const std::vector<logic::ui::Shape>& shapes) {
    namespace ui = logic::ui;
    for (const ui::Shape& s : shapes) {
        const auto rgb = [](const ui::Rgb& c) { return RGB(c.r, c.g, c.b); };
        const COLORREF fill = s.fill ? rgb(*s.fill) : RGB(0, 0, 0);
        const COLORREF pen = s.pen ? rgb(*s.pen) : fill;
        std::vector<POINT> pts;
        for (const ui::GridPoint& g : s.points)
            pts.push_back({static_cast<LONG>(std::floor(g.x)), static_cast<LONG>(std::floor(g.y))});
        const int n = static_cast<int>(pts.size());
        const auto edge = [&](int i) {
            return POINT{static_cast<LONG>(std::ceil(s.points[static_cast<std::size_t>(i)].x)),
                         static_cast<LONG>(std::ceil(s.points[static_cast<std::size_t>(i)].y))};
        };
        switch (s.kind) {
            case ui::ShapeKind::Box:
                filled(dc, pen, s.penWidth, fill, [&] { Rectangle(dc, pts[0].x, pts[0].y, edge(1).x, edge(1).y); });
                break;
            case ui::ShapeKind::RoundBox:
                filled(dc, pen, s.penWidth, fill,
                       [&] { RoundRect(dc, pts[0].x, pts[0].y, edge(1).x, edge(1).y, 2 * pts[2].x, 2 * pts[2].y); });
                break;
            case ui::ShapeKind::Disc:
                filled(dc, pen, s.penWidth, fill, [&] { Ellipse(dc, pts[0].x, pts[0].y, edge(1).x, edge(1).y); });
                break;
            case ui::ShapeKind::Polygon:
                filled(dc, pen, s.penWidth, fill, [&] { Polygon(dc, pts.data(), n); });
                break;
            case ui::ShapeKind::Polyline:
            case ui::ShapeKind::Curve: {
                HPEN p = CreatePen(PS_SOLID, static_cast<int>(s.penWidth), pen);
                HGDIOBJ op = SelectObject(dc, p);
                if (s.kind == ui::ShapeKind::Curve)
                    PolyBezier(dc, pts.data(), static_cast<DWORD>(n));
                else
                    Polyline(dc, pts.data(), n);
                SelectObject(dc, op);
                DeleteObject(p);
                break;
            }
        }
    }
}

HBITMAP statusPicture(DtcPicture picture, int size) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, size, size};
    FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
    SetMapMode(memory, MM_ANISOTROPIC);
    SetWindowExtEx(memory, 21, 21, nullptr);
    SetViewportExtEx(memory, size, size, nullptr);
    drawShapes(memory, logic::ui::statusPicture(picture));
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace winface
