// SPDX-License-Identifier: GPL-3.0-or-later
// m797-tester on Windows: the main window against a real or simulated ECU.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "logic/TesterStart.h"
#include "platform/FileAccess.h"
#include "platform/StopSignals.h"
#include "win32/Face.h"
#include "win32/MainWindow.h"
#include "win32/Pictures.h"

namespace {

class Win32Tester : public logic::TesterFace {
public:
    void prepare(platform::StopSignals&) override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        winface::startPictures();
    }

    void errorBox(const std::string& text) override { winface::errorBox(nullptr, text); }

    int screenWidth() override { return GetSystemMetrics(SM_CXSCREEN); }

    int runNotice(platform::StopSignals&) override {
        winface::showResolutionNotice();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return 0;
    }

    int runWindow(const logic::TesterOptions& options, lines::MadeLine line, platform::StopSignals& stop) override {
        // Ctrl+C and the console's close (for a tester started from one)
        // are handed to the window's thread.
        std::atomic<HWND> window{nullptr};
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done) {
                if (stop.waitFor(std::chrono::milliseconds(50))) {
                    if (HWND w = window.load()) PostMessageW(w, WM_APP + 2, 0, 0);
                    return;
                }
            }
        });
        const int status = run(options, std::move(line), stop, window);
        done = true;
        watcher.join();
        return status;
    }

private:
    static int run(const logic::TesterOptions& options, lines::MadeLine line, platform::StopSignals& stop,
                   std::atomic<HWND>& window) {
        winface::MainWindow main(options, std::move(line));
        if (!main.show()) return logic::kExitNoWindow;
        window = main.handle();
        if (stop.asked()) {
            main.endProgram(logic::kExitSignalled);
            return logic::kExitSignalled;
        }
        MSG msg;
        for (;;) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) return static_cast<int>(msg.wParam);
            if (got < 0) return 0;
            if (msg.message == WM_APP + 2 && msg.hwnd == main.handle()) {
                main.endProgram(logic::kExitSignalled);
                continue;
            }
            // A held Enter presses a button once: its repeats (the key was
            // down already) press nothing, not even the button the focus moved to.
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && (msg.lParam & (1L << 30)) != 0) continue;
            if (main.takeKey(msg) || winface::ChildWindow::takeKey(msg)) continue;
            // Tab, Escape and Enter in the window in front, as in a dialog.
            HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (root && IsDialogMessageW(root, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    platform::prepareUtf8Output();
    Win32Tester face;
    return logic::runTester(platform::utf8Arguments(argc, argv), face);
}
