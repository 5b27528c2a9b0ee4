// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/MainWindow.h"

#include <commdlg.h>
#include <windowsx.h>

#include <cstdio>
#include <optional>

#include "painting/PanelLayout.h"
#include "platform/Cp1251.h"
#include "platform/Messages.h"
#include "win32/Face.h"
#include "win32/Pictures.h"
#include "win32/Windows.h"

extern const unsigned char kBackgroundJpeg[];
extern const std::size_t kBackgroundJpegSize;

namespace winface {

namespace {

const wchar_t* const kMainClass = L"M797MainWindow";
const wchar_t* const kBoxClass = L"M797Box";
constexpr UINT kRunPosted = WM_APP + 1;
const COLORREF kBoxColour = RGB(226, 229, 234);

// The review keys, as the logic knows them; none for any other key.
std::optional<logic::ReviewKey> reviewKeyOf(WPARAM vk, bool ctrl) {
    using logic::ReviewKey;
    switch (vk) {
        case 'P':
            return ctrl ? std::nullopt : std::optional(ReviewKey::Pause);
        case VK_LEFT:
            return ReviewKey::Earlier;
        case VK_RIGHT:
            return ReviewKey::Later;
        case VK_HOME:
            return ReviewKey::Oldest;
        case VK_END:
            return ReviewKey::Live;
        case VK_ADD:
        case VK_OEM_PLUS:
            return ReviewKey::ZoomIn;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
            return ReviewKey::ZoomOut;
        case 'C':
            return ctrl ? std::nullopt : std::optional(ReviewKey::Cursor);
        case VK_OEM_COMMA:
            return ReviewKey::CursorEarlier;
        case VK_OEM_PERIOD:
            return ReviewKey::CursorLater;
        case VK_DELETE:
            return ReviewKey::ClearCursors;
        case 'S':
            return ctrl ? std::optional(ReviewKey::SavePicture) : std::nullopt;
        case 'E':
            return ctrl ? std::optional(ReviewKey::SaveTable) : std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace

MainWindow::MainWindow(const logic::TesterOptions& options, lines::MadeLine line)
    : logic_(options, std::move(line), *this), anyScreen_(options.anyScreen) {}

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
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    if (!anyScreen_ && screenWidth != 1024) {
        const std::string why = "the screen is " + std::to_string(screenWidth) +
                                " pixels wide, not 1024: the program shows its notice and ends in 4 s "
                                "(--any-screen starts it on any screen)";
        std::fprintf(stderr, "m797-tester: %s\n", platform::forTerminal(why).c_str());
        showResolutionNotice();
        return true;
    }
    char point[8] = ".";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point, sizeof point);
    const std::string failure = logic_.begin(cp1251::toUtf8(point));
    if (!failure.empty()) {
        errorBox(nullptr, failure);
        return false;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = &MainWindow::windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"M797");
    wc.lpszClassName = kMainClass;
    RegisterClassW(&wc);
    WNDCLASSW box{};
    box.lpfnWndProc = &MainWindow::boxProc;
    box.hInstance = GetModuleHandleW(nullptr);
    box.hCursor = wc.hCursor;
    box.lpszClassName = kBoxClass;
    RegisterClassW(&box);
    background_ = decodeJpeg(kBackgroundJpeg, kBackgroundJpegSize);
    // The frameless window at the top left: "Выход" is the way out.
    // In the taskbar, and managed by the window manager of an X server under Wine.
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kMainClass, L"M7.9.7",
                              WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0, 1024, 740, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) {
        errorBox(nullptr, "CreateWindow:" + std::to_string(GetLastError()));
        return false;
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    buildBoxes();
    ShowWindow(window_, SW_SHOW);
    buildPanels();
    UpdateWindow(window_);
    // The stored settings are read once the window shows, so that a
    // settings error box stands in front of the window.
    post([this] { logic_.created(); });
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

void MainWindow::buildBoxes() {
    presetBox_ = CreateWindowExW(WS_EX_CONTROLPARENT, kBoxClass, L"Наборы параметров", WS_CHILD | WS_VISIBLE, 808, 16,
                                 201, 73, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    const int lefts[6] = {8, 40, 72, 104, 136, 168};
    for (int n = 1; n <= 12; ++n) {
        const int col = (n - 1) % 6;
        const int top = n <= 6 ? 24 : 48;
        presetButtons_[static_cast<std::size_t>(n - 1)] =
            makeButton(presetBox_, kPresetId + n, std::to_wstring(n).c_str(), lefts[col], top, n == 12 ? 25 : 23,
                       n == 12 ? 18 : 17, true);
    }
    commandBox_ = CreateWindowExW(WS_EX_CONTROLPARENT, kBoxClass, L"", WS_CHILD | WS_VISIBLE, 808, 96, 201, 137,
                                  window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    const struct {
        const wchar_t* caption;
        int x, y, id;
        HWND* keep;
    } places[] = {{L"Управление", 8, 8, kControl, &controlButton_},
                  {L"Настройка", 104, 8, kSettings, nullptr},
                  {L"Ошибки", 8, 40, kErrors, nullptr},
                  {L"О программе", 104, 40, kAbout, nullptr},
                  {L"Старт", 8, 72, kStart, &startButton_},
                  {L"Стоп", 104, 72, kStop, &stopButton_},
                  {L"Выход", 56, 104, kExit, nullptr}};
    for (const auto& s : places) {
        HWND b = makeButton(commandBox_, s.id, s.caption, s.x, s.y, 89, 22, true);
        if (s.keep) *s.keep = b;
    }
    EnableWindow(stopButton_, FALSE);
    // A replay has no car to command: no actuator tests, no resets.
    EnableWindow(controlButton_, logic_.canCommand());
}

LRESULT CALLBACK MainWindow::boxProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            RECT r;
            GetClientRect(w, &r);
            HBRUSH fill = CreateSolidBrush(kBoxColour);
            FillRect(dc, &r, fill);
            DeleteObject(fill);
            DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
            wchar_t caption[64];
            if (GetWindowTextW(w, caption, 64) > 0) {
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, RGB(255, 0, 0));
                HGDIOBJ old = SelectObject(dc, arial(-13, true));
                TextOutW(dc, 8, 3, caption, lstrlenW(caption));
                SelectObject(dc, old);
            }
            EndPaint(w, &ps);
            return 0;
        }
        case WM_COMMAND:
        case WM_DRAWITEM:
            return SendMessageW(GetParent(w), msg, wp, lp);
        default:
            return DefWindowProcW(w, msg, wp, lp);
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
                BitBlt(dc, 0, 0, 1024, 740, memory, 0, 0, SRCCOPY);
                SelectObject(memory, old);
                DeleteDC(memory);
            }
            SetBkMode(dc, TRANSPARENT);
            HGDIOBJ old = SelectObject(dc, arial(-12, true));
            TextOutW(dc, 920, 304, L"v 1. 0 ", 7);
            TextOutW(dc, 968, 304, L"Win 9x", 6);
            SelectObject(dc, old);
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
            if (HIWORD(wp) == BN_CLICKED) command(LOWORD(wp));
            return 0;
        case WM_DRAWITEM: {
            const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            const int id = static_cast<int>(d.CtlID);
            if (id > kPresetId && id <= kPresetId + 12)
                drawButton(d, RGB(0, 0, 128), id - kPresetId == presetDown_, RGB(200, 205, 214), true, kBoxColour);
            else
                drawButton(d, id == kStart || id == kStop ? RGB(255, 0, 0) : RGB(0, 0, 128));
            return TRUE;
        }
        case WM_MOUSEWHEEL: {
            // The wheel goes to the window with the focus: over a chart it moves the charts.
            POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ScreenToClient(window_, &at);
            for (int k = 1; k <= 5; ++k) {
                const display::PanelPlace& p = display::panelPlace(k);
                if (at.x >= p.x && at.x < p.x + p.width && at.y >= p.y && at.y < p.y + p.height) {
                    chartMessage(k, msg, wp, lp);
                    return 0;
                }
            }
            return 0;
        }
        case kRunPosted: {
            std::deque<std::function<void()>> steps;
            {
                std::lock_guard<std::mutex> lock(postedMutex_);
                steps.swap(posted_);
            }
            for (auto& step : steps) step();
            return 0;
        }
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

void MainWindow::command(int id) {
    if (id > kPresetId && id <= kPresetId + 12) {
        choosePreset(id - kPresetId);
        logic_.selectPreset(id - kPresetId);
        return;
    }
    switch (id) {
        case kStart:
            logic_.start();
            break;
        case kStop:
            logic_.stop();
            break;
        case kExit:
            endProgram(0);
            break;
        case kSettings:
            if (logic_.openSettings()) showChild(makeSettingsWindow(window_, logic_, [this] { logic_.repaintAll(); }));
            break;
        case kErrors:
            if (logic_.openErrors()) showChild(makeErrorCodesWindow(window_, logic_));
            break;
        case kControl:
            if (logic_.openControl()) showChild(makeControlWindow(window_, logic_));
            break;
        case kAbout:
            MessageBoxW(window_, wide(logic::aboutText()).c_str(), L"О программе", MB_OK | MB_ICONINFORMATION);
            break;
        default:
            break;
    }
}

void MainWindow::choosePreset(int n) {
    const int before = presetDown_;
    presetDown_ = n;
    InvalidateRect(presetButtons_[static_cast<std::size_t>(before - 1)], nullptr, FALSE);
    InvalidateRect(presetButtons_[static_cast<std::size_t>(n - 1)], nullptr, FALSE);
}

bool MainWindow::takeKey(const MSG& msg) {
    if (!window_ || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)) return false;
    if (GetAncestor(msg.hwnd, GA_ROOT) != window_ && msg.hwnd != window_) return false;
    if (!IsWindowEnabled(window_)) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0, alt = GetKeyState(VK_MENU) < 0;
    if (alt) return false;  // Alt+F4 and the system keys as always
    if (msg.wParam >= VK_F1 && msg.wParam <= VK_F12 && !ctrl && !shift) {
        if (const int n = logic_.functionKey(static_cast<int>(msg.wParam - VK_F1) + 1)) choosePreset(n);
        return true;
    }
    // With no control focused the window gets its keys as system keys.
    const auto key = reviewKeyOf(msg.wParam, ctrl);
    if (!key) return false;
    return logic_.reviewKey(*key, shift, ctrl);
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

void MainWindow::chartMenu(int k, int x) {
    enum : UINT {
        kPause = 1,
        kLive,
        kShorter,
        kLonger,
        kCursor,
        kCursor2,
        kClear,
        kCharts,
        kWindow,
        kTable,
        kRange,
        kSpeed = 100
    };
    const logic::MainWindow& l = logic_;
    HMENU menu = CreatePopupMenu();
    const auto add = [menu](UINT id, const wchar_t* text, bool enabled = true) {
        AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, text);
    };
    add(kPause, l.review().following() ? L"Пауза\tP" : L"Продолжить\tP");
    add(kLive, L"К живым данным\tEnd", !l.review().ordinary());
    add(kShorter, L"Окно короче\t+");
    add(kLonger, L"Окно длиннее\t-");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(kCursor, L"Курсор здесь\tC", !l.session().empty());
    add(kCursor2, L"Второй курсор здесь\tShift+C", !l.session().empty());
    add(kClear, L"Убрать курсоры\tDelete", l.review().cursorA() || l.review().cursorB());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(kCharts, L"Сохранить графики (PNG)…\tCtrl+S");
    add(kWindow, L"Сохранить окно (PNG)…\tCtrl+Shift+S");
    add(kTable, L"Сохранить историю (CSV)…\tCtrl+E");
    add(kRange, L"Сохранить участок между курсорами (CSV)…\tCtrl+Shift+E", l.rangeChosen());
    if (l.replaying()) {
        HMENU speed = CreatePopupMenu();
        for (int s : {1, 2, 4, 8, 0}) {
            const std::wstring text = s ? L"×" + std::to_wstring(s) : std::wstring(L"Вся запись сразу");
            AppendMenuW(speed, MF_STRING | (l.replaySpeed() == s ? MF_CHECKED : 0), kSpeed + static_cast<UINT>(s),
                        text.c_str());
        }
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(speed), L"Скорость воспроизведения");
    }
    POINT at{x, 10};
    ClientToScreen(panels_[static_cast<std::size_t>(k - 1)]->handle(), &at);
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
    DestroyMenu(menu);
    using logic::ReviewKey;
    switch (chosen) {
        case kPause:
            logic_.reviewKey(ReviewKey::Pause);
            break;
        case kLive:
            logic_.reviewKey(ReviewKey::Live);
            break;
        case kShorter:
            logic_.reviewKey(ReviewKey::ZoomIn);
            break;
        case kLonger:
            logic_.reviewKey(ReviewKey::ZoomOut);
            break;
        case kCursor:
            logic_.chartClick(x, false);
            break;
        case kCursor2:
            logic_.chartClick(x, true);
            break;
        case kClear:
            logic_.reviewKey(ReviewKey::ClearCursors);
            break;
        case kCharts:
            logic_.exportDrive(logic::Export::Charts);
            break;
        case kWindow:
            logic_.exportDrive(logic::Export::Window);
            break;
        case kTable:
            logic_.exportDrive(logic::Export::Table);
            break;
        case kRange:
            logic_.exportDrive(logic::Export::RangeTable);
            break;
        default:
            if (chosen >= kSpeed && chosen <= kSpeed + 8) logic_.setReplaySpeed(static_cast<int>(chosen - kSpeed));
            break;
    }
}

void MainWindow::showChild(ChildWindow* w) {
    if (!w) return;
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

void MainWindow::post(std::function<void()> step) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        wake = posted_.empty();
        posted_.push_back(std::move(step));
    }
    if (wake && window_) PostMessageW(window_, kRunPosted, 0, 0);
}

void MainWindow::showRunning(bool running) {
    // The focus leaves a button that is disabled for the one enabled.
    HWND disabled = running ? startButton_ : stopButton_, enabled = running ? stopButton_ : startButton_;
    if (enabled) EnableWindow(enabled, TRUE);
    if (disabled && GetFocus() == disabled) SetFocus(enabled);
    if (disabled) EnableWindow(disabled, FALSE);
}

void MainWindow::repaintPanel(int k) {
    auto& p = panels_[static_cast<std::size_t>(k - 1)];
    if (!p) return;
    if (p->contextReady()) p->repaintNow();
    // The strip's status line and the passport in words as well, for screen
    // readers and the tests that drive the window.
    if (k == 6 || k == 7) {
        std::string words;
        if (k == 6) {
            words = logic_.linkData.statusText.get();
        } else {
            for (const std::string& t : logic_.linkData.identText.getAll()) words += klink::shownText(t) + "\n";
        }
        const std::wstring text = wideFrom1251(words);
        if (text != panelWords_[static_cast<std::size_t>(k - 6)]) {
            panelWords_[static_cast<std::size_t>(k - 6)] = text;
            SetWindowTextW(p->handle(), text.c_str());
        }
    }
}

void MainWindow::showError(const std::string& text) { errorBox(boxOwner(), text); }

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

void MainWindow::capturePicture(bool wholeWindow) {
    if (captured_) DeleteObject(captured_);
    const display::PanelPlace& first = display::panelPlace(1);
    const display::PanelPlace& last = display::panelPlace(5);
    RECT r = wholeWindow ? RECT{0, 0, 1024, 740} : RECT{first.x, first.y, first.x + first.width, last.y + last.height};
    POINT origin{r.left, r.top};
    ClientToScreen(window_, &origin);
    capturedWidth_ = r.right - r.left;
    capturedHeight_ = r.bottom - r.top;
    captured_ = grabScreen(origin.x, origin.y, capturedWidth_, capturedHeight_);
}

std::string MainWindow::saveCapturedPicture(const std::string& path) {
    if (!captured_ || !savePng(captured_, path)) return path + ": the picture could not be written";
    return {};
}

std::string MainWindow::chooseSaveFile(const std::string& title, const std::string& folder, const std::string& name,
                                       bool picture) {
    wchar_t file[MAX_PATH * 4] = {};
    const std::wstring suggested = wide(name);
    lstrcpynW(file, suggested.c_str(), MAX_PATH);
    const std::wstring wideTitle = wide(title), wideFolder = wide(folder);
    OPENFILENAMEW o{};
    o.lStructSize = sizeof o;
    o.hwndOwner = window_;
    o.lpstrFilter = picture ? L"PNG (*.png)\0*.png\0" : L"CSV (*.csv)\0*.csv\0";
    o.lpstrFile = file;
    o.nMaxFile = MAX_PATH * 4;
    o.lpstrInitialDir = wideFolder.empty() ? nullptr : wideFolder.c_str();
    o.lpstrTitle = wideTitle.c_str();
    o.lpstrDefExt = picture ? L"png" : L"csv";
    o.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&o)) return {};
    return utf8(file);
}

}  // namespace winface
