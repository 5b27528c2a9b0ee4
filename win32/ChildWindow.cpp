// SPDX-License-Identifier: GPL-3.0-or-later
// The child windows' one close path, their described controls and keys.
#include <algorithm>

#include "win32/Face.h"

namespace winface {

namespace {

std::vector<ChildWindow*>& openWindows() {
    static std::vector<ChildWindow*> windows;
    return windows;
}

const wchar_t* const kChildClass = L"M797ChildWindow";

}  // namespace

const std::vector<ChildWindow*>& ChildWindow::open() { return openWindows(); }

ChildWindow::~ChildWindow() {
    auto& w = openWindows();
    w.erase(std::remove(w.begin(), w.end(), this), w.end());
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

bool ChildWindow::create(HWND owner, const wchar_t* title, int clientWidth, int clientHeight) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ChildWindow::windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"M797");
        wc.lpszClassName = kChildClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    // No clipping of children: a group box is drawn through by its window.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kChildClass, title, style, 0, 0,
                              r.right - r.left, r.bottom - r.top, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) return false;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    openWindows().push_back(this);
    centre(window_);
    return true;
}

bool ChildWindow::create(HWND owner, const logic::ui::WindowDescription& d,
                         bool (*swallowed)(const logic::ui::Chord&)) {
    if (!create(owner, wide(d.title).c_str(), d.width, d.height)) return false;
    controls_.build(window_, d);
    swallowed_ = swallowed;
    return true;
}

bool ChildWindow::swallows(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    for (ChildWindow* w : openWindows()) {
        if (w->window_ != root || !w->swallowed_) continue;
        const auto chord = chordOf(msg);
        return chord && w->swallowed_(*chord);
    }
    return false;
}

void ChildWindow::close() {
    if (finished_) return;
    finished_ = true;
    finish();
    auto& w = openWindows();
    w.erase(std::remove(w.begin(), w.end(), this), w.end());
    std::function<void()> closed = std::move(onClosed);
    // The owner comes back before this window goes, so that the window
    // system gives it the activation.
    if (closed) closed();
    HWND gone = window_;
    window_ = nullptr;
    SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
    DestroyWindow(gone);
    delete this;
}

LRESULT ChildWindow::message(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            // The described boxes on the window's grey.
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window_, &ps);
            controls_.paint(dc);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Labels, frames and buttons on the window's own grey, in their ink.
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            controls_.inkOf(reinterpret_cast<HWND>(lp), dc);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_CLOSE:
            close();
            return 0;
        case WM_COMMAND:
            // Escape (the dialog keys' IDCANCEL) closes; Enter (IDOK) presses
            // the focused button, and nothing where no button has the focus.
            if (LOWORD(wp) == IDCANCEL) {
                close();
                return 0;
            }
            if (LOWORD(wp) == IDOK && reinterpret_cast<HWND>(lp) == nullptr) {
                pressFocusedButton(window_);
                return 0;
            }
            command(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        default:
            return DefWindowProcW(window_, msg, wp, lp);
    }
}

LRESULT CALLBACK ChildWindow::windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<ChildWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (!self) return DefWindowProcW(w, msg, wp, lp);
    return self->message(msg, wp, lp);
}

}  // namespace winface
