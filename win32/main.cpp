// SPDX-License-Identifier: GPL-3.0-or-later
// m797-tester on Windows: the main window against a real or simulated ECU.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <iostream>
#include <thread>
#include <vector>

#include "platform/FileAccess.h"
#include "platform/Messages.h"
#include "platform/StopSignals.h"
#include "win32/Face.h"
#include "win32/MainWindow.h"
#include "win32/Pictures.h"

namespace {

constexpr int kSignalledExit = 130;

// The text for a program started from a console, or a box when there is none.
void say(const std::string& text, bool error) {
    (error ? std::cerr : std::cout) << text;
    (error ? std::cerr : std::cout).flush();
}

}  // namespace

int main(int argc, char** argv) {
    platform::prepareUtf8Output();
    std::vector<std::string> args = platform::utf8Arguments(argc, argv);
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    std::string error;
    const auto options = logic::parseTesterArgs(static_cast<int>(argp.size()), argp.data(), error);
    if (!options) {
        say("m797-tester: " + platform::forTerminal(error) + "\n" + platform::forTerminal(logic::testerUsage()), true);
        return 2;
    }
    if (options->help) {
        say(platform::forTerminal(logic::testerUsage()), false);
        return 0;
    }
    if (options->version) {
        say("m797-tester " M797_VERSION "\n", false);
        return 0;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    winface::startPictures();

    // Ctrl+C and the console's close (for a tester started from one) end the
    // program as "Выход" does; the request is handed to the window's thread.
    platform::StopSignals stopSignals;
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            if (stopSignals.waitFor(std::chrono::milliseconds(50))) {
                if (HWND w = window.load()) PostMessageW(w, WM_APP + 2, 0, 0);
                return;
            }
        }
    });
    const auto finish = [&](int status) {
        done = true;
        watcher.join();
        stopSignals.ended();
        return status;
    };

    lines::MadeLine line = logic::makeLine(*options, [&stopSignals] { return stopSignals.asked(); });
    if (!line.line && line.error.empty()) return finish(kSignalledExit);
    if (!line.line) {
        say("m797-tester: " + platform::forTerminal(line.error) + "\n", true);
        winface::errorBox(nullptr, platform::forWindow(line.error));
        return finish(2);
    }
    winface::MainWindow main(*options, std::move(line));
    if (!main.show()) return finish(1);
    window = main.handle();
    if (stopSignals.asked()) {
        main.endProgram(kSignalledExit);
        return finish(kSignalledExit);
    }
    MSG msg;
    int status = 0;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            status = static_cast<int>(msg.wParam);
            break;
        }
        if (got < 0) break;
        if (msg.message == WM_APP + 2 && msg.hwnd == main.handle()) {
            main.endProgram(kSignalledExit);
            continue;
        }
        // A held Enter presses a button once: its repeats (the key was down
        // already) press nothing, not even the button the focus moved to.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && (msg.lParam & (1L << 30)) != 0) continue;
        if (main.takeKey(msg) || winface::ChildWindow::swallows(msg)) continue;
        // Tab, Escape and Enter in the window in front, as in a dialog.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return finish(status);
}
