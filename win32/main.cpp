// SPDX-License-Identifier: GPL-3.0-or-later
// m797-tester on Windows: the main window against a real or simulated ECU.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "logic/TesterStart.h"
#include "platform/FileAccess.h"
#include "platform/StopSignals.h"
#include "win32/Face.h"
#include "win32/MainWindow.h"
#include "win32/Pictures.h"

namespace {

constexpr UINT kStopAsked = WM_APP + 2;

// Ctrl+C and the console's close (for a tester started from one) are handed
// to the window watched, on its thread, as kStopAsked.
class StopWatch {
public:
    explicit StopWatch(platform::StopSignals& stop)
        : thread_([this, &stop] {
              while (!done_)
                  if (stop.waitFor(std::chrono::milliseconds(50))) {
                      if (HWND w = window_.load()) PostMessageW(w, kStopAsked, 0, 0);
                      return;
                  }
          }) {}
    ~StopWatch() {
        done_ = true;
        thread_.join();
    }
    void watch(HWND w) { window_ = w; }

private:
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The message loop until WM_QUIT, whose status it returns. A stop asked of
// window runs stopped; take sees each message first.
int loop(HWND window, const std::function<void()>& stopped, const std::function<bool(const MSG&)>& take) {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got < 0) return 0;
        if (msg.message == kStopAsked && msg.hwnd == window) {
            stopped();
            continue;
        }
        // A held Enter presses a button once: its repeats (the key was
        // down already) press nothing, not even the button the focus moved
        // to; a held Escape closes one window.
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) &&
            (msg.lParam & (1L << 30)) != 0)
            continue;
        if (take(msg) || winface::ChildWindow::takeKey(msg)) continue;
        // Tab, Escape and Enter in the window in front, as in a dialog.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class Win32Tester : public logic::TesterFace {
public:
    void prepare(platform::StopSignals&) override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        winface::startPictures();
    }

    void errorBox(const std::string& text) override { winface::errorBox(nullptr, text); }

    int screenWidth() override { return GetSystemMetrics(SM_CXSCREEN); }

    int runNotice(std::unique_ptr<logic::ui::WindowLogic> notice, platform::StopSignals& stop) override {
        StopWatch watch(stop);
        auto* w = new winface::ChildWindow(nullptr, std::move(notice));
        if (!w->handle()) return logic::kExitNoWindow;  // no loop waits for a window never made
        w->onClosed = [] { PostQuitMessage(0); };
        watch.watch(w->handle());
        if (stop.asked()) return logic::kExitSignalled;
        ShowWindow(w->handle(), SW_SHOW);
        SetForegroundWindow(w->handle());
        return loop(
            w->handle(), [] { PostQuitMessage(logic::kExitSignalled); }, [](const MSG&) { return false; });
    }

    int runWindow(const logic::TesterOptions& options, lines::MadeLine line, platform::StopSignals& stop) override {
        StopWatch watch(stop);
        winface::MainWindow main(options, std::move(line));
        if (!main.show()) return logic::kExitNoWindow;
        watch.watch(main.handle());
        if (stop.asked()) {
            main.endProgram(logic::kExitSignalled);
            return logic::kExitSignalled;
        }
        return loop(
            main.handle(), [&main] { main.endProgram(logic::kExitSignalled); },
            [&main](const MSG& msg) { return main.takeKey(msg); });
    }
};

}  // namespace

int main(int argc, char** argv) {
    platform::prepareUtf8Output();
    Win32Tester face;
    return logic::runTester(platform::utf8Arguments(argc, argv), face);
}
