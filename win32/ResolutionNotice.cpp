// SPDX-License-Identifier: GPL-3.0-or-later
// The notice on a screen that is not 1024 pixels wide: a warning sign and
// the request, for 4 s; then the program ends. Nothing talks to the car.
#include "win32/Face.h"

namespace winface {

namespace {

LRESULT CALLBACK noticeProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            RECT r;
            GetClientRect(w, &r);
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
            DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
            const POINT sign[3] = {{38, 10}, {66, 64}, {10, 64}};
            HPEN pen = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
            HBRUSH yellow = CreateSolidBrush(RGB(0xFF, 0xD4, 0x00));
            HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, yellow);
            Polygon(dc, sign, 3);
            SelectObject(dc, GetStockObject(BLACK_BRUSH));
            SelectObject(dc, GetStockObject(NULL_PEN));
            RoundRect(dc, 35, 26, 42, 51, 3, 3);
            Ellipse(dc, 35, 53, 42, 60);
            SelectObject(dc, op);
            SelectObject(dc, ob);
            DeleteObject(pen);
            DeleteObject(yellow);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0xD0, 0, 0));
            const logic::ui::Control& request = logic::ui::resolutionNotice().byId(logic::ui::kNoticeText);
            HGDIOBJ of = SelectObject(dc, arial(-request.fontPixels, request.bold));
            RECT text{request.place.x, request.place.y, request.place.x + request.place.width,
                      request.place.y + request.place.height};
            DrawTextW(dc, wide(request.text).c_str(), -1, &text, DT_WORDBREAK);
            SelectObject(dc, of);
            EndPaint(w, &ps);
            return 0;
        }
        case WM_TIMER:
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(w, msg, wp, lp);
    }
}

}  // namespace

void showResolutionNotice() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = noticeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"M797Notice";
    RegisterClassW(&wc);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const logic::ui::WindowDescription& d = logic::ui::resolutionNotice();
    RECT r{0, 0, d.width, d.height};
    AdjustWindowRect(&r, style, FALSE);
    HWND w = CreateWindowExW(0, L"M797Notice", wide(d.title).c_str(), style, 0, 0, r.right - r.left, r.bottom - r.top,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    centre(w);
    ShowWindow(w, SW_SHOW);
    SetTimer(w, 1, logic::ui::kNoticeMs, nullptr);
}

}  // namespace winface
