// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Face.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "platform/Cp1251.h"

namespace winface {

void registerWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"M797");
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

HFONT arial(int height, bool bold, bool italic) {
    static std::map<std::tuple<int, bool, bool>, HFONT> fonts;
    HFONT& f = fonts[{height, bold, italic}];
    if (!f)
        f = CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, RUSSIAN_CHARSET,
                        OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
    return f;
}

HWND makePage(HWND parent, int x, int y, int w, int h) {
    registerWindowClass(
        L"M797Page",
        [](HWND w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
            switch (msg) {
                case WM_COMMAND:
                case WM_HSCROLL:
                case WM_NOTIFY:
                case WM_DRAWITEM:
                case WM_CTLCOLORSTATIC:
                case WM_CTLCOLORBTN:
                    return SendMessageW(GetParent(w), msg, wp, lp);
                default:
                    return DefWindowProcW(w, msg, wp, lp);
            }
        },
        dialogGrey());
    return CreateWindowExW(WS_EX_CONTROLPARENT, L"M797Page", L"", WS_CHILD | WS_CLIPSIBLINGS, x, y, w, h, parent,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void drawButton(const DRAWITEMSTRUCT& d, COLORREF text, bool checked, COLORREF checkedFill, bool flat,
                COLORREF flatFill) {
    RECT r = d.rcItem;
    const bool pressed = (d.itemState & ODS_SELECTED) != 0;
    if (flat) {
        HBRUSH fill = CreateSolidBrush(flatFill);
        FillRect(d.hDC, &r, fill);
        DeleteObject(fill);
        if (pressed || checked) DrawEdge(d.hDC, &r, BDR_SUNKENOUTER, BF_RECT);
    } else {
        DrawFrameControl(d.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed || checked ? DFCS_PUSHED : 0));
    }
    if (checked) {
        RECT inner = r;
        InflateRect(&inner, flat ? -1 : -2, flat ? -1 : -2);
        HBRUSH fill = CreateSolidBrush(checkedFill);
        FillRect(d.hDC, &inner, fill);
        DeleteObject(fill);
    }
    wchar_t caption[64];
    GetWindowTextW(d.hwndItem, caption, 64);
    SetBkMode(d.hDC, TRANSPARENT);
    // Grey when disabled, or while its window is (another window is open).
    const bool disabled = (d.itemState & ODS_DISABLED) || !IsWindowEnabled(GetAncestor(d.hwndItem, GA_ROOT));
    SetTextColor(d.hDC, disabled ? RGB(128, 128, 128) : text);
    HGDIOBJ old = SelectObject(d.hDC, arial(-11, true));
    if (pressed || checked) OffsetRect(&r, 1, 1);
    DrawTextW(d.hDC, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(d.hDC, old);
    if (d.itemState & ODS_FOCUS) {
        RECT f = d.rcItem;
        InflateRect(&f, -4, -4);
        DrawFocusRect(d.hDC, &f);
    }
}

bool pressFocusedButton(HWND window) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(window, focus)) return false;
    wchar_t cls[16] = {};
    GetClassNameW(focus, cls, 16);
    const LONG type = GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK;
    if (lstrcmpiW(cls, L"Button") != 0 || (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_OWNERDRAW))
        return false;
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
}

void centre(HWND window) {
    RECT area{}, r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void errorBox(HWND owner, const std::string& text) {
    MessageBoxW(owner, wide(text).c_str(), wide(logic::ui::kErrorTitle).c_str(), MB_OK | MB_ICONERROR);
}

bool underWine() {
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// ---- child windows ----------------------------------------------------------

std::optional<logic::ui::Chord> chordOf(const MSG& msg) {
    using logic::ui::Key;
    std::uint8_t mods = 0;
    if (GetKeyState(VK_SHIFT) < 0) mods |= logic::ui::kShift;
    if (GetKeyState(VK_CONTROL) < 0) mods |= logic::ui::kCtrl;
    if (GetKeyState(VK_MENU) < 0) mods |= logic::ui::kAlt;
    const WPARAM vk = msg.wParam;
    if (vk >= 'A' && vk <= 'Z') return logic::ui::letter(static_cast<char>(vk), mods);
    if (vk >= VK_F1 && vk <= VK_F12) return logic::ui::Chord{Key::Function, static_cast<int>(vk - VK_F1) + 1, mods};
    static const std::pair<WPARAM, Key> keys[] = {
        {VK_LEFT, Key::Left},       {VK_RIGHT, Key::Right},     {VK_UP, Key::Up},
        {VK_DOWN, Key::Down},       {VK_HOME, Key::Home},       {VK_END, Key::End},
        {VK_PRIOR, Key::PageUp},    {VK_NEXT, Key::PageDown},   {VK_DELETE, Key::Delete},
        {VK_ADD, Key::Plus},        {VK_OEM_PLUS, Key::Plus},   {VK_SUBTRACT, Key::Minus},
        {VK_OEM_MINUS, Key::Minus}, {VK_OEM_COMMA, Key::Comma}, {VK_OEM_PERIOD, Key::Period},
        {VK_ESCAPE, Key::Escape},   {VK_RETURN, Key::Enter},    {VK_SPACE, Key::Space},
        {VK_TAB, Key::Tab}};
    for (const auto& [code, key] : keys)
        if (vk == code) return logic::ui::key(key, mods);
    return std::nullopt;
}

}  // namespace winface
