// SPDX-License-Identifier: GPL-3.0-or-later
// m797-tester.exe driven as a person would, from a program of its own in the
// same Windows (here: Wine) session: it starts the tester, finds its windows
// by class and caption, clicks buttons, presses keys, reads what the panels
// say in words and what went on the wire (the tester's own recording, or
// with M797_DRIVER_PORT the simulated ECU behind that port, which the Linux
// side judges). Under Wine on an X server without compositing the tester's
// panels draw out of sight and are copied into child windows at their
// places: the window logic is the same.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logic/ControlWindow.h"
#include "logic/ErrorCodesWindow.h"
#include "logic/TesterStart.h"
#include "logic/WindowTables.h"
#include "tests/TestSupport.h"
#include "tests/WireChecks.h"
#include "win32/Described.h"
#include "win32/Face.h"

namespace {

using namespace std::chrono_literals;
using winface::wide;

std::wstring besideTests(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir = dir.substr(0, dir.find_last_of(L"\\/"));              // tests
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;  // the build folder
}

std::wstring textOf(HWND w) {
    wchar_t text[1024] = {};
    GetWindowTextW(w, text, 1024);
    return text;
}

std::wstring classOf(HWND w) {
    wchar_t name[128] = {};
    GetClassNameW(w, name, 128);
    return name;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto until = std::chrono::steady_clock::now() + limit * testsupport::slowdown();
    while (std::chrono::steady_clock::now() < until) {
        if (done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

// A new file of this run in the temporary folder (UTF-8 path): none of an
// earlier run stands there (Wine gives out process numbers again).
std::string tempFile(const char* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::string path = winface::utf8(dir) + "m797-driver-" + std::to_string(GetCurrentProcessId()) + "-" + name;
    DeleteFileW(wide(path).c_str());
    return path;
}

// The top-level windows of a process.
std::vector<HWND> windowsOf(DWORD pid) {
    struct Find {
        DWORD pid;
        std::vector<HWND> found;
    } f{pid, {}};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == f->pid) f->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND childWith(HWND parent, const std::wstring& cls, const std::wstring& text) {
    struct Find {
        std::wstring cls, text;
        HWND found = nullptr;
    } f{cls, text};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            if (classOf(w) == f->cls && textOf(w) == f->text) {
                f->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

// What of a window's description the window does not show: each row a
// control of its class at its place (in the window's client pixels, or its
// tab page's) with its text. Painted boxes, and the main window's painted
// labels, are not controls. Empty when all is there.
std::string laidOut(HWND window, const logic::ui::WindowDescription& d, bool paintedLabels = false) {
    using logic::ui::Kind;
    std::vector<HWND> all;
    EnumChildWindows(
        window,
        [](HWND w, LPARAM p) {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    std::string missing;
    for (const logic::ui::Control& c : d.controls) {
        std::wstring cls;
        logic::ui::Rect want = c.place;
        bool sized = true, texted = true;
        switch (c.kind) {
            case Kind::Button:
            case Kind::Toggle:
            case Kind::Group:
            case Kind::Radio:
            case Kind::Check:
                cls = L"Button";
                break;
            case Kind::Label:
                if (paintedLabels) continue;
                cls = L"Static";
                texted = c.id == 0;  // one with an identifier shows what its logic sets
                break;
            case Kind::StatusLine:
                cls = L"Static";
                break;
            case Kind::Picture:
                cls = L"Static", texted = false;
                break;
            case Kind::List:
            case Kind::EditList:
                cls = L"ComboBox", sized = false, texted = false;  // its height is the open list's
                break;
            case Kind::Table:
                cls = L"SysListView32", texted = false;
                want = {want.x - 2, want.y - 2, want.width + 4, want.height + 4};  // with its sunken edge
                break;
            case Kind::Slider:
                cls = L"msctls_trackbar32", texted = false;
                break;
            case Kind::Tabs:
                cls = L"SysTabControl32", texted = false;
                break;
            default:
                continue;  // painted, or a panel
        }
        bool found = false;
        for (HWND w : all) {
            if (_wcsicmp(classOf(w).c_str(), cls.c_str()) != 0) continue;
            if (texted && winface::utf8(textOf(w)) != c.text) continue;
            HWND origin = c.page > 0 ? GetParent(w) : window;
            if (c.page > 0 && classOf(origin) != L"M797Page") continue;
            RECT r;
            GetWindowRect(w, &r);
            MapWindowPoints(nullptr, origin, reinterpret_cast<POINT*>(&r), 2);
            if (r.left != want.x || r.top != want.y) continue;
            if (r.right - r.left != want.width || (sized && r.bottom - r.top != want.height)) continue;
            found = true;
            break;
        }
        if (!found)
            missing +=
                std::string(c.text) + " at " + std::to_string(c.place.x) + "," + std::to_string(c.place.y) + "; ";
    }
    return missing;
}

void key(HWND target, WORD vk) {
    SetForegroundWindow(target);
    std::this_thread::sleep_for(100ms);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    std::this_thread::sleep_for(200ms);
}

// A key pressed with a modifier held.
void keyWith(HWND target, WORD modifier, WORD vk) {
    SetForegroundWindow(target);
    std::this_thread::sleep_for(100ms);
    INPUT in[4] = {};
    for (auto& i : in) i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[3].ki.wVk = modifier;
    in[1].ki.wVk = in[2].ki.wVk = vk;
    in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
    std::this_thread::sleep_for(200ms);
}

// The focused control of the window's thread.
HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// Tab, once the focus has moved on: a loaded machine may take longer than
// the key's own pause, and a Tab read early would be pressed again.
void tab(HWND window) {
    const HWND before = focusOf(window);
    key(window, VK_TAB);
    waitFor([&] { return focusOf(window) != before; }, 3s);
}

// The captions of the controls Tab stops at, once round the window, in order.
std::vector<std::wstring> tabStops(HWND window) {
    std::vector<std::wstring> seen;
    HWND first = nullptr;
    for (int i = 0; i < 30; ++i) {
        tab(window);
        HWND f = focusOf(window);
        if (f == first) break;
        if (!IsChild(window, f)) continue;  // the window itself, before the first stop
        if (!first) first = f;
        seen.push_back(textOf(f));
    }
    return seen;
}

struct Tester {
    explicit Tester(const std::wstring& args) {
        settings = wide(testsupport::tempSettingsPath());
        std::wstring command =
            L"\"" + besideTests(L"m797-tester.exe") + L"\" " + args + L" --settings \"" + settings + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process);
        if (!started) return;
        waitFor([&] {
            for (HWND w : windowsOf(process.dwProcessId))
                if (classOf(w) == L"M797MainWindow" && IsWindowVisible(w)) main = w;
            return main != nullptr;
        });
    }
    ~Tester() {
        if (!started) return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            if (main) PostMessageW(main, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 9);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    HWND button(const wchar_t* caption) const { return childWith(main, L"Button", caption); }
    void click(const wchar_t* caption) const { SendMessageW(button(caption), BM_CLICK, 0, 0); }
    // What panel 6 (the status line) or 7 (the passport) says.
    std::wstring panel(int k) const {
        for (HWND w : windowsOf(process.dwProcessId)) {
            if (classOf(w) != L"M797OpenGLPanel") continue;
            RECT r;
            GetWindowRect(w, &r);
            if ((k == 6 && r.left == 23 && r.top == 674) || (k == 7 && r.left == 807)) return textOf(w);
        }
        // Child panels (not under Wine): inside the main window.
        HWND child = nullptr;
        while ((child = FindWindowExW(main, child, L"M797OpenGLPanel", nullptr))) {
            RECT r;
            GetWindowRect(child, &r);
            if ((k == 6 && r.top == 674) || (k == 7 && r.left == 807)) return textOf(child);
        }
        return {};
    }
    // A visible top-level window of the tester with this title.
    HWND window(const wchar_t* title) const {
        for (HWND w : windowsOf(process.dwProcessId))
            if (IsWindowVisible(w) && textOf(w) == title) return w;
        return nullptr;
    }
    bool running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
    DWORD exitCode() const {
        WaitForSingleObject(process.hProcess, 20000 * static_cast<DWORD>(testsupport::slowdown()));
        DWORD code = 259;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    bool connected() const {
        return waitFor([&] { return panel(6) == L"Данные получены."; });
    }

    std::wstring settings;
    PROCESS_INFORMATION process{};
    bool started = false;
    HWND main = nullptr;
};

// What the screen shows in a rectangle, as 32-bit pixels.
std::vector<std::uint32_t> screenPixels(int x, int y, int w, int h) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, x, y, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Where the tester talks: the simulated car, or the port the Linux side serves.
std::wstring line() {
    const char* port = std::getenv("M797_DRIVER_PORT");
    return port ? L"--port " + wide(port) : std::wstring(L"--simulate");
}

// The request frames of a recording, as "30 0A 06 FF" (service bytes).
std::vector<std::string> requests(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    std::string l;
    while (std::getline(in, l)) {
        const auto at = l.find(" > ");
        if (at == std::string::npos || l[0] == '#') continue;
        std::istringstream bytes(l.substr(at + 3));
        std::vector<std::string> b;
        std::string x;
        while (bytes >> x) b.push_back(x);
        if (b.size() < 5) continue;
        std::string s;
        for (std::size_t i = 3; i + 1 < b.size(); ++i) s += (i == 3 ? "" : " ") + b[i];
        out.push_back(s);
    }
    return out;
}

}  // namespace

TEST(Driver, StartShowsTheStatusAndTheIdentificationAndExitEndsTheProgram) {
    Tester t(line() + L" --any-screen");
    ASSERT_TRUE(t.started);
    ASSERT_NE(t.main, nullptr);
    EXPECT_EQ(GetWindowLongW(t.main, GWL_STYLE) & WS_CAPTION, 0);  // frameless, at the top left
    RECT r;
    GetWindowRect(t.main, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, 1024);
    EXPECT_EQ(r.bottom - r.top, 740);
    EXPECT_EQ(laidOut(t.main, logic::ui::mainWindow(), true), "");
    EXPECT_FALSE(IsWindowEnabled(t.button(L"Стоп")));
    // It opens on "Старт", and keeps it once the window system has activated it.
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(textOf(focusOf(t.main)), L"Старт");
    // Tab goes round the enabled buttons and, of the presets (one choice), the chosen one.
    key(t.main, VK_F3);
    std::vector<std::wstring> stops = tabStops(t.main);
    std::rotate(stops.begin(), std::find(stops.begin(), stops.end(), L"Управление"), stops.end());
    EXPECT_EQ(stops, (std::vector<std::wstring>{L"Управление", L"Настройка", L"Ошибки", L"О программе", L"Старт",
                                                L"Выход", L"3"}));
    // A window opened from a button gives the keyboard back to it when it closes.
    for (int i = 0; i < 8 && focusOf(t.main) != t.button(L"Ошибки"); ++i) tab(t.main);
    ASSERT_EQ(focusOf(t.main), t.button(L"Ошибки"));
    key(t.main, VK_SPACE);
    HWND codes = nullptr;
    ASSERT_TRUE(waitFor([&] { return (codes = t.window(L"Ошибки")) != nullptr; }));
    key(codes, VK_ESCAPE);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(codes) && focusOf(t.main) == t.button(L"Ошибки"); }));
    // So does the window after another program's window was in front.
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(other);
    EXPECT_TRUE(waitFor([&] { return GetForegroundWindow() == other; }, 3s));
    SetForegroundWindow(t.main);
    EXPECT_TRUE(waitFor([&] { return focusOf(t.main) == t.button(L"Ошибки"); }, 5s));
    DestroyWindow(other);
    t.click(L"Старт");
    ASSERT_TRUE(t.connected()) << winface::utf8(t.panel(6));
    EXPECT_TRUE(waitFor([&] { return t.panel(7).find(L"VAZ M797") != std::wstring::npos; }))
        << winface::utf8(t.panel(7));
    EXPECT_FALSE(IsWindowEnabled(t.button(L"Старт")));
    EXPECT_TRUE(IsWindowEnabled(t.button(L"Стоп")));
    // A held Enter on "Стоп" stops once: its repeat does not press "Старт",
    // which has the focus by then.
    EXPECT_EQ(focusOf(t.main), t.button(L"Стоп"));
    SetForegroundWindow(t.main);
    std::this_thread::sleep_for(100ms);
    INPUT held[3] = {};
    for (INPUT& in : held) {
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = VK_RETURN;
    }
    held[2].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(3, held, sizeof(INPUT));
    EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(t.button(L"Старт")) != FALSE; }));
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(IsWindowEnabled(t.button(L"Старт")));
    EXPECT_FALSE(IsWindowEnabled(t.button(L"Стоп")));
    t.click(L"Выход");
    EXPECT_EQ(t.exitCode(), 0u);
    // The colours were stored on the way out.
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (t.settings + L"\\VELKOR\\MANAGEMENT\\COLOUR_CIRCUIT").c_str(), 0,
                            KEY_READ, &k),
              ERROR_SUCCESS);
    if (k) RegCloseKey(k);
}

TEST(Driver, PKeepsTheChartsStillWhileTheLinkPollsOnAndEndFollowsAgain) {
    if (std::getenv("M797_DRIVER_PORT")) GTEST_SKIP() << "the simulated car's charts";
    Tester t(L"--simulate --any-screen");
    ASSERT_NE(t.main, nullptr);
    t.click(L"Старт");
    ASSERT_TRUE(t.connected());
    // The first chart, on the screen (under Wine an owned pop-up at its place).
    const auto chart = [] { return screenPixels(23, 15, 750, 115); };
    const auto moves = [&] {
        const auto before = chart();
        std::this_thread::sleep_for(1500ms);
        return chart() != before;
    };
    EXPECT_TRUE(moves());
    key(t.main, 'P');
    EXPECT_FALSE(moves());
    // Shift+P and Ctrl+End are no keys of the window: still paused.
    keyWith(t.main, VK_SHIFT, 'P');
    keyWith(t.main, VK_CONTROL, VK_END);
    EXPECT_FALSE(moves());
    key(t.main, VK_END);
    EXPECT_TRUE(moves());
}

namespace {

// Ctrl+letter to the main window, and the save dialog it opens answered
// with path.
void saveThroughDialog(const Tester& t, WORD letter, const wchar_t* title, const std::string& path) {
    SetForegroundWindow(t.main);
    std::this_thread::sleep_for(100ms);
    INPUT in[4] = {};
    for (auto& i : in) i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[3].ki.wVk = VK_CONTROL;
    in[1].ki.wVk = in[2].ki.wVk = letter;
    in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
    // The system's save dialog, owned by the main window.
    HWND dialog = nullptr;
    ASSERT_TRUE(waitFor([&] { return (dialog = t.window(title)) != nullptr; }));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), t.main);
    // Its file name box (the combined box of newer dialogs, or the plain one).
    HWND name = nullptr;
    ASSERT_TRUE(waitFor([&] {
        name = GetDlgItem(dialog, 0x47C) ? GetDlgItem(dialog, 0x47C) : GetDlgItem(dialog, 0x480);
        return name && IsWindowVisible(name);
    }));
    std::this_thread::sleep_for(300ms);  // the dialog done with its own start
    ASSERT_TRUE(SetWindowTextW(name, wide(path).c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));
}

}  // namespace

TEST(Driver, CtrlEAndCtrlSSaveTheDriveAndTheChartsThroughTheSaveDialog) {
    if (std::getenv("M797_DRIVER_PORT")) GTEST_SKIP() << "the simulated car's drive";
    Tester t(L"--simulate --any-screen");
    ASSERT_NE(t.main, nullptr);
    t.click(L"Старт");
    ASSERT_TRUE(t.connected());
    std::this_thread::sleep_for(1s);
    const std::string path = tempFile("drive.csv");
    saveThroughDialog(t, 'E', L"Сохранить историю", path);
    std::ifstream table(path, std::ios::binary);
    // For a Russian spreadsheet, as the window writes it unless told
    // otherwise: a byte-order mark, semicolons, the captions' line.
    std::string header, captions;
    std::getline(table, header);
    EXPECT_EQ(header.rfind("\xEF\xBB\xBFpass;time [\xD1\x81];clock;ADC_", 0), 0u) << header;
    std::getline(table, captions);
    std::string row;
    std::getline(table, row);
    EXPECT_EQ(row.rfind("1;", 0), 0u) << row;  // the first pass, and on

    // The five charts as a PNG picture of their size.
    const std::string picture = tempFile("charts.png");
    saveThroughDialog(t, 'S', L"Сохранить графики", picture);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(t.window(L"Ошибка"), nullptr) << "an error box";
    std::ifstream png(picture, std::ios::binary);
    unsigned char head[24] = {};
    png.read(reinterpret_cast<char*>(head), sizeof head);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head) + 1, 3), "PNG");
    const auto be32 = [&](int at) { return head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3]; };
    EXPECT_EQ(be32(16), 750);  // width
    EXPECT_EQ(be32(20), 639);  // height: the top of chart 1 to the bottom of chart 5

    // Ctrl+R asks where the drive's report goes, in a dialog the window
    // owns; cancelled, it writes nothing and opens nothing, and the keyboard
    // goes back to the control that had it: "О программе" here, given back
    // by its own window, which the click that opened it focused.
    PostMessageW(t.button(L"О программе"), BM_CLICK, 0, 0);
    HWND about = nullptr;
    ASSERT_TRUE(waitFor([&] { return (about = t.window(L"О программе")) != nullptr; }));
    key(about, VK_RETURN);
    const HWND had = t.button(L"О программе");
    ASSERT_TRUE(waitFor([&] { return !IsWindow(about) && focusOf(t.main) == had; }));
    keyWith(t.main, VK_CONTROL, 'R');
    HWND dialog = nullptr;
    ASSERT_TRUE(waitFor([&] { return (dialog = t.window(L"Отчёт о поездке")) != nullptr; }));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), t.main);
    std::this_thread::sleep_for(300ms);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(t.window(L"Ошибка"), nullptr) << "an error box";
    // The keyboard is back with the control that had it.
    EXPECT_TRUE(waitFor([&] { return focusOf(t.main) == had; }, 3s)) << winface::utf8(textOf(focusOf(t.main)));
}

TEST(Driver, EveryChildWindowOpensOnItsHarmlessControlAndClosesEveryWay) {
    const std::string rec = tempFile("drive.txt");
    Tester t(line() + L" --any-screen" + (std::getenv("M797_DRIVER_PORT") ? L"" : L" --record \"" + wide(rec) + L"\""));
    ASSERT_NE(t.main, nullptr);
    t.click(L"Старт");
    ASSERT_TRUE(t.connected());
    const struct {
        const wchar_t* button;
        const wchar_t* title;
        const wchar_t* harmless;  // the class of the control with the focus
        const logic::ui::WindowDescription* described;
    } windows[4] = {{L"Настройка", L"Настройка программы", L"SysTabControl32", &logic::ui::settingsWindow()},
                    {L"Ошибки", L"Ошибки", L"SysListView32", &logic::ui::errorCodesWindow()},
                    {L"Управление", L"Управление", L"ComboBox", &logic::ui::controlWindow()},
                    {L"О программе", L"О программе", L"Button", &logic::ui::aboutWindow()}};
    enum class Way { Escape, CloseButton, Own };
    for (const auto& w : windows) {
        for (Way way : {Way::Escape, Way::CloseButton, Way::Own}) {
            const bool about = std::wstring(w.title) == L"О программе";                     // opens on its "OK"
            if (way == Way::Own && std::wstring(w.title) != L"Ошибки" && !about) continue;  // the others have none
            SCOPED_TRACE(winface::utf8(w.title) + " way " + std::to_string(static_cast<int>(way)));
            PostMessageW(t.button(w.button), BM_CLICK, 0, 0);
            HWND child = nullptr;
            ASSERT_TRUE(waitFor([&] { return (child = t.window(w.title)) != nullptr; }));
            if (way == Way::Escape) EXPECT_EQ(laidOut(child, *w.described), "");
            EXPECT_EQ(GetWindow(child, GW_OWNER), t.main);  // kept in front of the main window
            EXPECT_FALSE(IsWindowEnabled(t.main));
            ASSERT_TRUE(waitFor([&] { return classOf(focusOf(child)) == w.harmless; }))
                << winface::utf8(classOf(focusOf(child)));
            if (!about) {
                key(child, VK_RETURN);  // presses nothing
                EXPECT_TRUE(IsWindowVisible(child));
            }
            if (way == Way::Escape && w.harmless == std::wstring(L"SysListView32")) {
                // The keys move through the codes and choose none.
                HWND codes = focusOf(child);
                ASSERT_TRUE(waitFor([&] { return ListView_GetItemCount(codes) == 3; }));
                const auto at = [codes](UINT which) { return ListView_GetNextItem(codes, -1, which); };
                EXPECT_EQ(at(LVNI_FOCUSED), 0);  // the first row current from the start
                for (const auto& [vk, row] : {std::pair{VK_END, 2}, std::pair{VK_HOME, 0}, std::pair{VK_DOWN, 1}}) {
                    key(child, static_cast<WORD>(vk));
                    EXPECT_EQ(at(LVNI_FOCUSED), row);
                    EXPECT_EQ(at(LVNI_SELECTED), -1);
                }
            }
            if (way == Way::Escape) key(child, VK_ESCAPE);
            if (way == Way::CloseButton) PostMessageW(child, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (way == Way::Own && about) key(child, VK_RETURN);
            if (way == Way::Own && !about) PostMessageW(childWith(child, L"Button", L"Выход"), BM_CLICK, 0, 0);
            EXPECT_TRUE(waitFor([&] { return !IsWindow(child) && IsWindowEnabled(t.main); }));
        }
    }
    // "Сброс ЭБУ" asks first, with "Нет" focused: Enter there resets nothing,
    // and the control window comes back.
    PostMessageW(t.button(L"Управление"), BM_CLICK, 0, 0);
    HWND control = nullptr;
    ASSERT_TRUE(waitFor([&] { return (control = t.window(L"Управление")) != nullptr; }));
    ASSERT_TRUE(waitFor([&] { return classOf(focusOf(control)) == L"ComboBox"; }));
    // End and Home never jump to the entries that ask.
    key(control, VK_END);
    key(control, VK_NEXT);
    EXPECT_EQ(t.window(L"Инициализация ЭБУ"), nullptr);
    EXPECT_EQ(SendMessageW(focusOf(control), CB_GETCURSEL, 0, 0), 0);
    // Escape in the opened list leaves it as it was: none chosen, none that asks.
    keyWith(control, VK_MENU, VK_DOWN);
    for (int i = 0; i < 15; ++i) key(control, VK_DOWN);  // "Сброс ЭБУ" marked
    key(control, VK_ESCAPE);
    EXPECT_EQ(t.window(L"Сбрс ЭБУ"), nullptr);
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_EQ(SendMessageW(focusOf(control), CB_GETCURSEL, 0, 0), 0);
    for (int i = 0; i < 15; ++i) key(control, VK_DOWN);
    HWND confirmation = nullptr;
    ASSERT_TRUE(waitFor([&] { return (confirmation = t.window(L"Сбрс ЭБУ")) != nullptr; }));
    EXPECT_EQ(laidOut(confirmation, logic::ui::resetConfirmation()), "");
    EXPECT_FALSE(IsWindowVisible(control));  // the confirmation stands in for it
    ASSERT_TRUE(waitFor([&] { return textOf(focusOf(confirmation)) == L"Нет"; }));
    key(confirmation, VK_RIGHT);
    key(confirmation, VK_LEFT);
    EXPECT_EQ(textOf(focusOf(confirmation)), L"Нет");
    key(confirmation, VK_RETURN);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(confirmation) && IsWindowVisible(control); }));
    // The list keeps the keyboard once the window system has activated the window again.
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(classOf(focusOf(control)), L"ComboBox");
    key(control, VK_ESCAPE);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(control) && IsWindowEnabled(t.main); }));

    // An output switched on is handed back to the ECU however its window closes.
    PostMessageW(t.button(L"Управление"), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return (control = t.window(L"Управление")) != nullptr; }));
    ASSERT_TRUE(waitFor([&] { return classOf(focusOf(control)) == L"ComboBox"; }));
    for (int i = 0; i < 9; ++i) key(control, VK_DOWN);  // "Реле кондиционера"
    SendMessageW(childWith(control, L"Button", L"Вкл"), BM_CLICK, 0, 0);
    std::this_thread::sleep_for(1s);
    key(control, VK_ESCAPE);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(control); }));
    std::this_thread::sleep_for(1s);
    // The window's close ends the program as "Выход" does: the open control
    // window closes first and hands its output back.
    PostMessageW(t.button(L"Управление"), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return (control = t.window(L"Управление")) != nullptr; }));
    ASSERT_TRUE(waitFor([&] { return classOf(focusOf(control)) == L"ComboBox"; }));
    for (int i = 0; i < 9; ++i) key(control, VK_DOWN);
    SendMessageW(childWith(control, L"Button", L"Вкл"), BM_CLICK, 0, 0);
    std::this_thread::sleep_for(1s);
    PostMessageW(t.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(t.exitCode(), 0u);
    if (std::getenv("M797_DRIVER_PORT")) return;  // the Linux side reads that wire
    const std::vector<std::string> sent = requests(rec);
    EXPECT_EQ(wirechecks::nothingByAccidentAndReleased(sent), "");
}

// The port tab's adapter list, chosen as the list itself tells its window,
// is stored under the port's key when the window closes.
TEST(Driver, TheAdapterChosenOnThePortTabIsStoredUnderThePortsKey) {
    Tester t(line() + L" --any-screen");
    ASSERT_NE(t.main, nullptr);
    PostMessageW(t.button(L"Настройка"), BM_CLICK, 0, 0);
    HWND settings = nullptr;
    ASSERT_TRUE(waitFor([&] { return (settings = t.window(L"Настройка программы")) != nullptr; }));
    struct Search {
        int id;
        HWND found;
    } search{winface::Described::kIdBase + logic::ui::kAdapterList, nullptr};
    EnumChildWindows(
        settings,
        [](HWND w, LPARAM p) {
            auto* s = reinterpret_cast<Search*>(p);
            if (GetDlgCtrlID(w) == s->id) s->found = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    ASSERT_NE(search.found, nullptr);
    EXPECT_EQ(SendMessageW(search.found, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(search.found, CB_GETCURSEL, 0, 0), 0);  // K-line until chosen
    SendMessageW(search.found, CB_SETCURSEL, 1, 0);
    SendMessageW(GetParent(search.found), WM_COMMAND, MAKEWPARAM(search.id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(search.found));
    key(settings, VK_ESCAPE);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(settings); }));
    DWORD adapter = 0, size = sizeof adapter;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, (t.settings + L"\\VELKOR\\MANAGEMENT\\COM_PORT").c_str(), L"adapter",
                           RRF_RT_REG_DWORD, nullptr, &adapter, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(adapter, 1u);
    t.click(L"Выход");
    EXPECT_EQ(t.exitCode(), 0u);
}

// ---- the face's child window interpreting a logic, in this process ----------

namespace {

HWND controlOf(HWND window, int id) {
    struct Find {
        int id;
        HWND found;
    } f{winface::Described::kIdBase + id, nullptr};
    EnumChildWindows(
        window,
        [](HWND h, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            if (GetDlgCtrlID(h) != f->id) return TRUE;
            f->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

// Every control with an identifier shows what the logic says it shows.
void agree(const winface::ChildWindow& w) {
    namespace ui = logic::ui;
    for (const ui::Control& c : w.logic().description().controls) {
        if (!c.id) continue;
        HWND h = controlOf(w.handle(), c.id);
        SCOPED_TRACE(std::string(w.logic().description().title) + ", control " + std::to_string(c.id));
        ASSERT_NE(h, nullptr);
        const ui::Shown& s = w.logic().shown(c.id);
        EXPECT_EQ(IsWindowEnabled(h) != FALSE, s.enabled);
        if (c.kind == ui::Kind::Label || c.kind == ui::Kind::StatusLine || c.kind == ui::Kind::Button)
            EXPECT_EQ(textOf(h), wide(s.text));
        if (c.kind == ui::Kind::List) {
            EXPECT_EQ(SendMessageW(h, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(s.entries.size()));
            EXPECT_EQ(SendMessageW(h, CB_GETCURSEL, 0, 0), s.value);
        }
        if (c.kind == ui::Kind::Table) EXPECT_EQ(ListView_GetItemCount(h), static_cast<int>(s.rows.size()));
    }
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

}  // namespace

TEST(Interpreter, EveryControlOfTheChildWindowsShowsWhatItsLogicSays) {
    namespace ui = logic::ui;
    klink::LinkCommandBlock command;
    ecu::LiveDataStore live;
    auto* control = new winface::ChildWindow(nullptr, std::make_unique<logic::ControlWindow>(command, live));
    ShowWindow(control->handle(), SW_SHOW);
    pump();
    agree(*control);
    SendMessageW(control->handle(), WM_TIMER, 1, 0);  // the status line's refresh
    agree(*control);
    // The user picks the reset: the confirmation stands in, and closing it
    // brings the control window back with its first captions.
    HWND list = controlOf(control->handle(), ui::kControlList);
    SendMessageW(list, CB_SETCURSEL, logic::ControlWindow::kResetEntry, 0);
    SendMessageW(control->handle(), WM_COMMAND,
                 MAKEWPARAM(winface::Described::kIdBase + ui::kControlList, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    pump();
    ASSERT_EQ(winface::ChildWindow::open().size(), 2u);
    winface::ChildWindow* confirmation = winface::ChildWindow::open().back();
    EXPECT_EQ(&confirmation->logic().description(), &ui::resetConfirmation());
    EXPECT_FALSE(IsWindowVisible(control->handle()));
    agree(*confirmation);
    SendMessageW(confirmation->handle(), WM_CLOSE, 0, 0);  // as "Нет"
    pump();
    EXPECT_TRUE(IsWindowVisible(control->handle()));
    agree(*control);
    EXPECT_EQ(command.ecuResetRequest.load(), 0);
    control->close();

    // The codes window with two codes read.
    const auto reply = testsupport::twoCodesReply();  // P0130 with the lamp on, and FEDC
    command.dtcReply.storeReceived(reply.data(), reply.size());
    auto* codes = new winface::ChildWindow(nullptr, std::make_unique<logic::ErrorCodesWindow>(command, false));
    agree(*codes);
    SendMessageW(codes->handle(), WM_TIMER, 1, 0);
    agree(*codes);
    EXPECT_EQ(textOf(controlOf(codes->handle(), ui::kCount)), L"2");
    codes->close();
    EXPECT_TRUE(winface::ChildWindow::open().empty());

    // The notice paints its drawing (the sign on the picture's grey), and
    // its time closes it.
    auto* notice = new winface::ChildWindow(nullptr, logic::noticeWindow());
    bool closed = false;
    notice->onClosed = [&closed] { closed = true; };
    ShowWindow(notice->handle(), SW_SHOW);
    UpdateWindow(notice->handle());
    pump();
    HDC dc = GetDC(notice->handle());
    EXPECT_EQ(GetPixel(dc, 2 + 26, 2 + 55), RGB(0xFF, 0xD4, 0x00));  // in the triangle, beside its mark
    EXPECT_EQ(GetPixel(dc, 2 + 300, 2 + 70), RGB(0xC0, 0xC0, 0xC0));
    ReleaseDC(notice->handle(), dc);
    SendMessageW(notice->handle(), WM_TIMER, 1, 0);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(winface::ChildWindow::open().empty());
}

// The journal through the Windows face: a first session reads the codes
// and ends; the next one connects, and its Ctrl+J opens the journal's window, owned by the
// main window and laid out as described, on the cars' table, with both
// visits, the newest first; choosing the earlier visit with the keyboard
// shows its one action, the reading of the codes (a list's texts cannot be
// read from another process). Escape closes it.
TEST(Driver, TheJournalsWindowShowsTheVisitsAndTheChosenVisitsActions) {
    SetEnvironmentVariableW(L"LOCALAPPDATA", wide(testsupport::tempDir()).c_str());
    {
        Tester first(line() + L" --any-screen");
        ASSERT_NE(first.main, nullptr);
        first.click(L"Старт");
        ASSERT_TRUE(first.connected());
        PostMessageW(first.button(L"Ошибки"), BM_CLICK, 0, 0);
        HWND codes = nullptr;
        ASSERT_TRUE(waitFor([&] { return (codes = first.window(L"Ошибки")) != nullptr; }));
        HWND list = FindWindowExW(codes, nullptr, L"SysListView32", nullptr);
        ASSERT_TRUE(waitFor([&] { return ListView_GetItemCount(list) == 3; }));
        PostMessageW(codes, WM_CLOSE, 0, 0);
        ASSERT_TRUE(waitFor([&] { return !IsWindow(codes); }));
    }
    Tester t(line() + L" --any-screen");
    ASSERT_NE(t.main, nullptr);
    t.click(L"Старт");
    ASSERT_TRUE(t.connected());
    keyWith(t.main, VK_CONTROL, 'J');
    HWND journal = nullptr;
    ASSERT_TRUE(waitFor([&] { return (journal = t.window(L"Журнал визитов")) != nullptr; }));
    SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
    EXPECT_EQ(GetWindow(journal, GW_OWNER), t.main);
    EXPECT_EQ(laidOut(journal, logic::ui::journalWindow()), "");
    std::vector<HWND> tables;
    for (HWND c = nullptr; (c = FindWindowExW(journal, c, L"SysListView32", nullptr));) tables.push_back(c);
    ASSERT_EQ(tables.size(), 3u);  // cars, visits, actions, in the description's order
    EXPECT_EQ(focusOf(journal), tables[0]);
    // The chosen car, visit and action stay marked while another table has the keyboard.
    for (HWND table : tables) EXPECT_NE(GetWindowLongW(table, GWL_STYLE) & LVS_SHOWSELALWAYS, 0);
    EXPECT_EQ(ListView_GetItemCount(tables[0]), 1);
    ASSERT_EQ(ListView_GetItemCount(tables[1]), 2);
    EXPECT_EQ(ListView_GetItemCount(tables[2]), 0);  // this session has done nothing yet
    tab(journal);                                    // to the visits
    EXPECT_EQ(focusOf(journal), tables[1]);
    key(journal, VK_DOWN);
    ASSERT_TRUE(waitFor([&] { return ListView_GetItemCount(tables[2]) == 1; }));
    // Home and End choose the first and the last visit, as on Linux.
    const auto chosen = [&] { return static_cast<int>(ListView_GetNextItem(tables[1], -1, LVNI_SELECTED)); };
    key(journal, VK_HOME);
    EXPECT_TRUE(waitFor([&] { return chosen() == 0 && ListView_GetItemCount(tables[2]) == 0; }));
    key(journal, VK_END);
    EXPECT_TRUE(waitFor([&] { return chosen() == 1 && ListView_GetItemCount(tables[2]) == 1; }));
    // A search that finds no car empties the visits: the buttons' tips, the
    // files' paths, give way to empty ones, and the window stands.
    for (int i = 0; i < 6 && classOf(focusOf(journal)) != L"Edit"; ++i) {
        const HWND before = focusOf(journal);
        keyWith(journal, VK_SHIFT, VK_TAB);
        waitFor([&] { return focusOf(journal) != before; }, 3s);
    }
    ASSERT_EQ(classOf(focusOf(journal)), L"Edit");  // the search's text
    for (int i = 0; i < 3; ++i) key(journal, 'Z');
    tab(journal);  // to "Найти"
    key(journal, VK_SPACE);
    EXPECT_TRUE(
        waitFor([&] { return ListView_GetItemCount(tables[0]) == 0 && ListView_GetItemCount(tables[1]) == 0; }));
    ASSERT_TRUE(t.running());
    key(journal, VK_ESCAPE);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(journal); }));
}

// A key answers as its control's kind says, as on Linux: a slider's Up
// raises it, a parameter list's Right moves nothing.
TEST(Driver, ASlidersUpRaisesItAndAListsRightMovesNothing) {
    namespace ui = logic::ui;
    Tester t(line() + L" --any-screen");
    ASSERT_NE(t.main, nullptr);
    PostMessageW(t.button(L"Настройка"), BM_CLICK, 0, 0);
    HWND w = nullptr;
    ASSERT_TRUE(waitFor([&] { return (w = t.window(L"Настройка программы")) != nullptr; }));
    ASSERT_TRUE(waitFor([&] { return classOf(focusOf(w)) == L"SysTabControl32"; }));
    HWND params = controlOf(w, ui::kParamList1);
    for (int i = 0; i < 2; ++i) tab(w);  // the chosen set's button, then the first list
    ASSERT_EQ(focusOf(w), params);
    const LRESULT entry = SendMessageW(params, CB_GETCURSEL, 0, 0);
    key(w, VK_RIGHT);
    EXPECT_EQ(SendMessageW(params, CB_GETCURSEL, 0, 0), entry);
    for (int i = 0; i < 2; ++i) keyWith(w, VK_SHIFT, VK_TAB);
    key(w, VK_RIGHT);  // "Цветовая схема"
    tab(w);
    HWND slider = focusOf(w);
    ASSERT_EQ(classOf(slider), TRACKBAR_CLASSW);
    const LRESULT at = SendMessageW(slider, TBM_GETPOS, 0, 0);
    key(w, VK_UP);
    EXPECT_TRUE(waitFor([&] { return SendMessageW(slider, TBM_GETPOS, 0, 0) == std::min<LRESULT>(100, at + 1); }));
    key(w, VK_ESCAPE);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(w); }));
}
