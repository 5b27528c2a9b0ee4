// SPDX-License-Identifier: GPL-3.0-or-later
// The child windows: one close path, their described controls, the user's
// acts handed to their logic and what it changed shown, and their keys.
#include <algorithm>

#include "win32/Face.h"

namespace winface {

namespace ui = logic::ui;
using ui::Kind;

namespace {

std::vector<ChildWindow*>& openWindows() {
    static std::vector<ChildWindow*> windows;
    return windows;
}

const wchar_t* const kChildClass = L"M797ChildWindow";
constexpr UINT_PTR kTick = 1;

}  // namespace

const std::vector<ChildWindow*>& ChildWindow::open() { return openWindows(); }

ChildWindow::ChildWindow(HWND owner, std::unique_ptr<ui::WindowLogic> logic) : logic_(std::move(logic)), owner_(owner) {
    registerWindowClass(kChildClass, &ChildWindow::windowProc, dialogGrey());
    const ui::WindowDescription& d = logic_->description();
    // No clipping of children: a group box is drawn through by its window.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT r{0, 0, d.width, d.height};
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    window_ =
        CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kChildClass, wide(d.title).c_str(), style, 0, 0,
                        r.right - r.left, r.bottom - r.top, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    openWindows().push_back(this);
    centre(window_);
    controls_.build(window_, d);
    sync();
    if (logic_->tickMs() > 0) SetTimer(window_, kTick, static_cast<UINT>(logic_->tickMs()), nullptr);
    // The harmless control: Enter there changes nothing. A window whose
    // controls are all painted (the notice) takes the keys itself, so that
    // Escape is a key down of its own, not a system key of the active window.
    focusOn(controls_[d.opensOn]);
}

void ChildWindow::focusOn(HWND control) {
    focus_ = control;
    SetFocus(control ? control : window_);
}

ChildWindow::~ChildWindow() {
    auto& w = openWindows();
    w.erase(std::remove(w.begin(), w.end(), this), w.end());
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

bool ChildWindow::takeKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    for (ChildWindow* w : openWindows()) {
        if (w->window_ != root) continue;
        const auto chord = chordOf(msg);
        if (!chord || !w->logic_->key(*chord, w->controls_.idOf(GetFocus()))) return false;
        w->sync();  // the last: the window may close with it
        return true;
    }
    return false;
}

void ChildWindow::close() {
    if (finished_) return;
    finished_ = true;
    KillTimer(window_, kTick);
    if (standIn_) standIn_->close();
    controls_.handOverTyped(*logic_);
    logic_->closing();
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

void ChildWindow::sync() {
    controls_.show(*logic_);
    if (logic_->takeTimerRestart()) SetTimer(window_, kTick, static_cast<UINT>(logic_->tickMs()), nullptr);
    if (auto w = logic_->takeStandIn()) openStandIn(std::move(w));
    if (logic_->takeClose()) close();  // the last: the object goes with it
}

void ChildWindow::openStandIn(std::unique_ptr<ui::WindowLogic> logic) {
    // It stands in for this window, which hides: it belongs to this one's owner.
    auto* w = new ChildWindow(owner_, std::move(logic));
    standIn_ = w;
    HWND self = window_;
    w->onClosed = [this, self] {
        standIn_ = nullptr;
        if (finished_ || !IsWindow(self)) return;  // closing itself: it stays closed
        logic_->standInClosed();
        sync();
        ShowWindow(self, SW_SHOW);
        SetForegroundWindow(self);
        if (HWND focus = controls_[logic_->takeFocus()]) focusOn(focus);
    };
    ShowWindow(window_, SW_HIDE);
    ShowWindow(w->handle(), SW_SHOW);
    SetForegroundWindow(w->handle());
    w->focusOn(w->controls_[w->logic_->description().opensOn]);
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
        case WM_ACTIVATE:
            // The activation may come after the focus was given (Wine on an
            // X server): the window system's default would then take the
            // keyboard off the control onto the window, where no key does
            // anything. A control keeps it; with none, the one left last.
            if (HWND f = GetFocus(); f && IsChild(window_, f)) {
                focus_ = f;
                return 0;
            }
            if (LOWORD(wp) != WA_INACTIVE && focus_ && IsChild(window_, focus_) && IsWindowVisible(focus_) &&
                IsWindowEnabled(focus_)) {
                SetFocus(focus_);
                return 0;
            }
            return DefWindowProcW(window_, msg, wp, lp);
        case WM_CLOSE:
            close();
            return 0;
        case WM_TIMER:
            logic_->tick();
            sync();
            return 0;
        case WM_COMMAND:
            // Escape (the dialog keys' IDCANCEL) closes; Enter (IDOK) presses
            // the focused button, and nothing where no button has the focus.
            if (LOWORD(wp) == IDCANCEL) {
                close();
                return 0;
            }
            if (LOWORD(wp) == IDOK && lp == 0) {
                pressFocusedButton(window_);
                return 0;
            }
            [[fallthrough]];
        case WM_HSCROLL:
        case WM_NOTIFY:
        case Described::kSetEditText:
            if (controls_.message(*logic_, msg, wp, lp)) sync();
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
