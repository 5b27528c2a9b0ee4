// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Pictures.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+ wants min and max of its own.
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

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

// Draws with a one-pixel pen and a fill of these colours.
template <typename Draw>
void filled(HDC dc, COLORREF pen, COLORREF fill, Draw draw) {
    HPEN p = CreatePen(PS_SOLID, 1, pen);
    HBRUSH f = CreateSolidBrush(fill);
    HGDIOBJ op = SelectObject(dc, p), ob = SelectObject(dc, f);
    draw();
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(p);
    DeleteObject(f);
}

void box(HDC dc, COLORREF pen, COLORREF fill, int l, int t, int r, int b) {
    filled(dc, pen, fill, [&] { Rectangle(dc, l, t, r, b); });
}

void disc(HDC dc, COLORREF fill, int l, int t, int r, int b) {
    filled(dc, fill, fill, [&] { Ellipse(dc, l, t, r, b); });
}

void polygon(HDC dc, COLORREF pen, COLORREF fill, std::initializer_list<POINT> points) {
    const std::vector<POINT> pts(points);
    filled(dc, pen, fill, [&] { Polygon(dc, pts.data(), static_cast<int>(pts.size())); });
}

void line(HDC dc, COLORREF colour, int width, std::initializer_list<POINT> points) {
    HPEN p = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ op = SelectObject(dc, p);
    std::vector<POINT> pts(points);
    Polyline(dc, pts.data(), static_cast<int>(pts.size()));
    SelectObject(dc, op);
    DeleteObject(p);
}

// The same pictures the Linux window draws, on 21 pixels.
void draw(HDC dc, DtcPicture picture) {
    switch (picture) {
        case DtcPicture::Lamp:
            box(dc, RGB(0x70, 0x40, 0x00), RGB(0xFF, 0xA5, 0x00), 4, 7, 17, 16);
            box(dc, RGB(0x70, 0x40, 0x00), RGB(0xFF, 0xA5, 0x00), 7, 4, 14, 8);
            box(dc, RGB(0x70, 0x40, 0x00), RGB(0xFF, 0xA5, 0x00), 1, 9, 5, 14);
            box(dc, RGB(0x70, 0x40, 0x00), RGB(0xFF, 0xA5, 0x00), 16, 9, 20, 14);
            break;
        case DtcPicture::Present:
            disc(dc, RGB(0xD0, 0x10, 0x10), 1, 1, 20, 20);
            box(dc, RGB(255, 255, 255), RGB(255, 255, 255), 9, 5, 12, 13);
            box(dc, RGB(255, 255, 255), RGB(255, 255, 255), 9, 14, 12, 17);
            break;
        case DtcPicture::Intermittent:
            line(dc, RGB(0xE0, 0x70, 0x00), 2, {{2, 14}, {6, 6}, {9, 14}});
            line(dc, RGB(0xE0, 0x70, 0x00), 2, {{12, 14}, {15, 6}, {19, 14}});
            break;
        case DtcPicture::StoredInactive:
            box(dc, RGB(0x40, 0x40, 0x40), RGB(0x90, 0x90, 0x98), 3, 3, 18, 18);
            box(dc, RGB(0x40, 0x40, 0x40), RGB(255, 255, 255), 6, 3, 15, 9);
            box(dc, RGB(0x40, 0x40, 0x40), RGB(0x40, 0x40, 0x40), 6, 11, 15, 18);
            break;
        case DtcPicture::TestNotCompleted:  // an hourglass
            polygon(dc, RGB(0x20, 0x30, 0x80), RGB(0xB0, 0xC8, 0xFF), {{4, 2}, {17, 2}, {10, 10}});
            polygon(dc, RGB(0x20, 0x30, 0x80), RGB(0xB0, 0xC8, 0xFF), {{4, 19}, {17, 19}, {10, 10}});
            break;
        case DtcPicture::TestCompleted:  // a green tick
            line(dc, RGB(0x10, 0x90, 0x20), 3, {{3, 11}, {8, 16}, {18, 4}});
            break;
        case DtcPicture::AboveMaximum:  // an arrow up against the bar
            box(dc, RGB(0, 0, 0), RGB(0, 0, 0), 2, 3, 19, 5);
            polygon(dc, RGB(0xC0, 0x10, 0x10), RGB(0xC0, 0x10, 0x10),
                    {{10, 6}, {16, 12}, {12, 12}, {12, 19}, {8, 19}, {8, 12}, {5, 12}});
            break;
        case DtcPicture::BelowMinimum:  // an arrow down against the bar
            box(dc, RGB(0, 0, 0), RGB(0, 0, 0), 2, 16, 19, 18);
            polygon(dc, RGB(0x10, 0x40, 0xC0), RGB(0x10, 0x40, 0xC0),
                    {{10, 15}, {16, 9}, {12, 9}, {12, 2}, {8, 2}, {8, 9}, {5, 9}});
            break;
        case DtcPicture::InvalidSignal: {  // a wave crossed out
            const POINT wave[7] = {{1, 10}, {4, 3}, {7, 3}, {10, 10}, {14, 18}, {17, 18}, {20, 10}};
            HPEN p = CreatePen(PS_SOLID, 1, RGB(0x20, 0x20, 0x20));
            HGDIOBJ op = SelectObject(dc, p);
            PolyBezier(dc, wave, 7);
            SelectObject(dc, op);
            DeleteObject(p);
            line(dc, RGB(0xD0, 0x10, 0x10), 2, {{5, 5}, {16, 16}});
            line(dc, RGB(0xD0, 0x10, 0x10), 2, {{16, 5}, {5, 16}});
            break;
        }
        case DtcPicture::NoSignal:  // a flat line with a break
            line(dc, RGB(0x20, 0x20, 0x20), 2, {{1, 10}, {8, 10}});
            line(dc, RGB(0x20, 0x20, 0x20), 2, {{13, 10}, {20, 10}});
            line(dc, RGB(0x90, 0x90, 0x90), 1, {{8, 5}, {13, 16}});
            break;
        default:
            break;
    }
}

}  // namespace

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
    draw(memory, picture);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace winface
