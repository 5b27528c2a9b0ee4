// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/MainWindow.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <optional>

#include "painting/PanelLayout.h"
#include "platform/Cp1251.h"
#include "win32/Face.h"
#include "win32/Pictures.h"

extern const unsigned char kBackgroundJpeg[];
extern const std::size_t kBackgroundJpegSize;

namespace winface {

namespace {

const wchar_t* const kMainClass = L"M797MainWindow";
constexpr UINT kRunPosted = WM_APP + 1;

// A box or a file dialog disables the window it belongs to, which drops the
// keyboard: the control that had it gets it back once the box is gone, or,
// if that one was disabled meanwhile (the link stopped), the one instead
// names.
struct FocusBack {
    std::function<HWND()> instead;
    HWND had = GetFocus();
    ~FocusBack() {
        if (had && IsWindow(had) && !IsWindowEnabled(had) && instead) had = instead();
        if (had && IsWindow(had) && IsWindowVisible(had) && IsWindowEnabled(had)) SetFocus(had);
    }
};

}  // namespace

MainWindow::MainWindow(const logic::TesterOptions& options, lines::MadeLine line)
    : logic_(options, std::move(line), *this) {}

MainWindow::~MainWindow() {
    logic_.shutDown();
    for (auto& p : panels_) p.reset();
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (background_) DeleteObject(background_);
    if (captured_) DeleteObject(captured_);
}

bool MainWindow::show() {
    char point[8] = ".";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point, sizeof point);
    const std::string failure = logic_.begin(cp1251::toUtf8(point));
    if (!failure.empty()) {
        errorBox(nullptr, failure);
        return false;
    }
    registerWindowClass(kMainClass, &MainWindow::windowProc);
    background_ = decodeJpeg(kBackgroundJpeg, kBackgroundJpegSize);
    // The frameless window at the top left: "Выход" is the way out.
    // In the taskbar, and managed by the window manager of an X server under Wine.
    const logic::ui::WindowDescription& d = logic::ui::mainWindow();
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kMainClass, wide(d.title).c_str(),
                              WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0, d.width, d.height,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) {
        errorBox(nullptr, "CreateWindow:" + std::to_string(GetLastError()));
        return false;
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    controls_.build(window_, d, true);
    showControls();
    ShowWindow(window_, SW_SHOW);
    SetFocus(controls_[d.opensOn]);
    buildPanels();
    UpdateWindow(window_);
    // The stored settings are read once the window shows, so that a
    // settings error box stands in front of the window.
    logic_.post([this] { logic_.created(); });
    wake();  // steps posted before the window was there found nothing to wake
    return true;
}

void MainWindow::buildPanels() {
    // Wine shows no OpenGL drawn in child windows on an X server without
    // compositing: there each panel draws out of sight and its picture is
    // copied into a child window at its place.
    const auto placement =
        underWine() ? wglpanel::TOpenGLPanel::Placement::Copied : wglpanel::TOpenGLPanel::Placement::Child;
    for (int k = 1; k <= 7; ++k) {
        auto p = std::make_unique<wglpanel::TOpenGLPanel>();
        display::setUpPanel(*p, k, logic_.sources());
        if (k <= 5)
            p->OnMessage = [this, k](UINT msg, WPARAM wp, LPARAM lp) {
                chartMessage(k, msg, wp, lp);
                return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONUP || msg == WM_MOUSEWHEEL;
            };
        const display::PanelPlace& place = display::panelPlace(k);
        p->create(window_, place.x, place.y, place.width, place.height, placement);
        if (p->handle()) ShowWindow(p->handle(), SW_SHOWNOACTIVATE);
        panels_[static_cast<std::size_t>(k - 1)] = std::move(p);
    }
}

LRESULT CALLBACK MainWindow::windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (!self) return DefWindowProcW(w, msg, wp, lp);
    return self->message(msg, wp, lp);
}

LRESULT MainWindow::message(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window_, &ps);
            if (background_) {
                HDC memory = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(memory, background_);
                BitBlt(dc, 0, 0, logic::ui::mainWindow().width, logic::ui::mainWindow().height, memory, 0, 0, SRCCOPY);
                SelectObject(memory, old);
                DeleteDC(memory);
            }
            controls_.paint(dc);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_COMMAND:
            // Enter presses the focused button only (the dialog keys' IDOK).
            if (LOWORD(wp) == IDOK && lp == 0) {
                pressFocusedButton(window_);
                return 0;
            }
            if (controls_.message(logic_.controls(), msg, wp, lp)) showControls();
            return 0;
        case WM_DRAWITEM: {
            const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            const int id = static_cast<int>(d.CtlID) - Described::kIdBase;
            if (logic::ui::mainWindow().byId(id).kind == logic::ui::Kind::Toggle)
                drawButton(d, controls_.inkOf(id), logic_.controls().shown(id).value == 1, RGB(200, 205, 214), true,
                           kBoxColour);
            else
                drawButton(d, controls_.inkOf(id));
            return TRUE;
        }
        case WM_ACTIVATE:
            // The control with the keyboard gets it back when the window is
            // active again: after a child window, or another program's
            // window in front (the window system's default gives it to
            // the window itself, where no key does anything). One disabled
            // meanwhile gives way to the logic's choice.
            if (LOWORD(wp) == WA_INACTIVE) {
                if (HWND f = GetFocus(); f && IsChild(window_, f)) focusBack_ = f;
            } else if (IsWindowEnabled(window_) && focusBack_) {
                HWND to = IsWindow(focusBack_) ? focusBack_ : nullptr;
                focusBack_ = nullptr;
                if (to && !IsWindowEnabled(to)) to = controls_[logic_.controls().takeFocus()];
                if (to) {
                    SetFocus(to);
                    return 0;
                }
            }
            // A control keeps the keyboard: the activation may come after it
            // was given (Wine on an X server), and the default would take it.
            if (HWND f = GetFocus(); f && IsChild(window_, f)) return 0;
            return DefWindowProcW(window_, msg, wp, lp);
        case WM_ENABLE:
            // The buttons look disabled with the window (a child window is open).
            RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel goes to the window with the focus: over a chart it moves the charts.
            POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ScreenToClient(window_, &at);
            if (const int k = display::chartAt(at.x, at.y)) chartMessage(k, msg, wp, lp);
            return 0;
        }
        case kRunPosted:
            logic_.runPosted();
            return 0;
        case WM_CLOSE:
            endProgram(0);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Logging off or shutting down: the same end as "Выход".
            if (wp) endProgram(130);
            return 0;
        default:
            return DefWindowProcW(window_, msg, wp, lp);
    }
}

std::string MainWindow::openDocument(const std::string& path) {
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(window_, L"open", wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) return path + ": no program to show it (" + std::to_string(result) + ")";
    return {};
}

bool MainWindow::takeKey(const MSG& msg) {
    if (!window_ || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)) return false;
    if (GetAncestor(msg.hwnd, GA_ROOT) != window_ && msg.hwnd != window_) return false;
    if (!IsWindowEnabled(window_)) return false;
    const auto chord = chordOf(msg);
    return chord && logic_.press(*chord, (msg.lParam & (1L << 30)) != 0);  // bit 30: the key was down already
}

void MainWindow::chartMessage(int k, UINT msg, WPARAM wp, LPARAM lp) {
    if (!IsWindowEnabled(window_)) return;
    switch (msg) {
        case WM_MOUSEWHEEL:
            logic_.chartWheel(GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA, (GET_KEYSTATE_WPARAM(wp) & MK_CONTROL) != 0);
            break;
        case WM_LBUTTONDOWN:
            logic_.chartClick(GET_X_LPARAM(lp), (wp & MK_SHIFT) != 0);
            break;
        case WM_RBUTTONUP:
            chartMenu(k, GET_X_LPARAM(lp));
            break;
        default:
            break;
    }
}

namespace {

// The menu of the logic's entries; their identifiers are the logic's.
HMENU makeMenu(const std::vector<logic::ui::MenuItem>& items) {
    HMENU menu = CreatePopupMenu();
    for (const logic::ui::MenuItem& item : items) {
        const std::wstring text = wide(item.keys.empty() ? item.text : item.text + "\t" + item.keys);
        if (item.separator())
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else if (!item.submenu.empty())
            AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(makeMenu(item.submenu)), text.c_str());
        else
            AppendMenuW(menu, MF_STRING | (item.enabled ? 0 : MF_GRAYED) | (item.checked ? MF_CHECKED : 0),
                        static_cast<UINT_PTR>(item.id), text.c_str());
    }
    return menu;
}

}  // namespace

void MainWindow::chartMenu(int k, int x) {
    HMENU menu = makeMenu(logic_.chartMenu());
    POINT at{x, 10};
    ClientToScreen(panels_[static_cast<std::size_t>(k - 1)]->handle(), &at);
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
    DestroyMenu(menu);
    if (chosen) logic_.menuChosen(static_cast<int>(chosen), x);
}

void MainWindow::openChild(std::unique_ptr<logic::ui::WindowLogic> logic) {
    // The keyboard comes back to the control that had it (see WM_ACTIVATE).
    HWND focus = GetFocus();
    focusBack_ = IsChild(window_, focus) ? focus : nullptr;
    auto* w = new ChildWindow(window_, std::move(logic));
    HWND owner = window_;
    w->onClosed = [owner] { EnableWindow(owner, TRUE); };
    EnableWindow(window_, FALSE);
    ShowWindow(w->handle(), SW_SHOW);
    SetForegroundWindow(w->handle());
}

HWND MainWindow::boxOwner() const {
    // The window in front: the newest open child window, else the main window.
    const auto& open = ChildWindow::open();
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if (IsWindowVisible((*it)->handle())) return (*it)->handle();
    return window_;
}

void MainWindow::wake() {
    if (HWND w = window_) PostMessageW(w, kRunPosted, 0, 0);
}

void MainWindow::repaintPanel(int k) {
    auto& p = panels_[static_cast<std::size_t>(k - 1)];
    if (!p) return;
    if (p->contextReady()) p->repaintNow();
    // The strip's status line and the passport in words as well, for screen
    // readers and the tests that drive the window.
    if (k == 6 || k == 7) {
        const std::wstring text = wideFrom1251(logic_.panelWords(k));
        if (text != panelWords_[static_cast<std::size_t>(k - 6)]) {
            panelWords_[static_cast<std::size_t>(k - 6)] = text;
            SetWindowTextW(p->handle(), text.c_str());
        }
    }
}

void MainWindow::showError(const std::string& text) {
    const FocusBack back{[this] { return controls_[logic_.controls().takeFocus()]; }};
    errorBox(boxOwner(), text);
}

void MainWindow::closeChildren() {
    while (!ChildWindow::open().empty()) ChildWindow::open().back()->close();
}

void MainWindow::quit(int exitCode) { PostQuitMessage(exitCode); }

int MainWindow::stripTextWidth(const std::string& text1251) const {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, arial(-11, true));
    SIZE size{};
    GetTextExtentPoint32A(dc, text1251.c_str(), static_cast<int>(text1251.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

void MainWindow::capturePicture(const logic::ui::Rect& a) {
    if (captured_) DeleteObject(captured_);
    POINT origin{a.x, a.y};
    ClientToScreen(window_, &origin);
    captured_ = grabScreen(origin.x, origin.y, a.width, a.height);
}

std::string MainWindow::saveCapturedPicture(const std::string& path) {
    if (!captured_ || !savePng(captured_, path)) return path + ": the picture could not be written";
    return {};
}

std::string MainWindow::chooseFile(const FileDialog& d) {
    const FocusBack back{[this] { return controls_[logic_.controls().takeFocus()]; }};
    wchar_t file[MAX_PATH * 4] = {};
    lstrcpynW(file, wide(d.name).c_str(), MAX_PATH);
    const auto& types = logic::ui::fileTypes(d.kind);
    std::wstring filter;
    for (const logic::ui::FileType& t : types)
        filter += wide(t.name) + L" (" + wide(t.pattern) + L")" + L'\0' + wide(t.pattern) + L'\0';
    const std::wstring title = wide(d.title), folder = wide(d.folder), ending = wide(types.front().pattern + 2);
    OPENFILENAMEW o{};
    o.lStructSize = sizeof o;
    o.hwndOwner = boxOwner();
    o.lpstrFilter = filter.c_str();  // ends in two zeros: the last one of the string's own
    o.lpstrFile = file;
    o.nMaxFile = MAX_PATH * 4;
    o.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    o.lpstrTitle = title.c_str();
    o.lpstrDefExt = d.save ? ending.c_str() : nullptr;
    o.Flags =
        OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | (d.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    if (!(d.save ? GetSaveFileNameW(&o) : GetOpenFileNameW(&o))) return {};
    return utf8(file);
}

}  // namespace winface
