// Helpers shared by the window tests.
#pragma once

#include <QTest>

#include <chrono>
#include <functional>

#include "tests/TestSupport.h"

namespace testsupport {

// As waitUntil, processing the window system's events while it waits.
inline bool waitProcessing(const std::function<bool()>& cond, int ms = 5000) {
    return waitUntil(
        [&] {
            QTest::qWait(5);
            return cond();
        },
        std::chrono::milliseconds(ms));
}

// Gives the window the keyboard focus and waits until it has it. A window
// manager may pass over one request while it is busy (or while another
// window maps): the request is repeated until the stretched bound.
inline bool focusWindow(QWidget* w, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms) * slowdown();
    do {
        w->activateWindow();
        w->raise();
        // Held for a moment: a window that just closed or hid may still make
        // the manager move the focus elsewhere.
        if (QTest::qWaitForWindowActive(w, 500)) {
            QTest::qWait(50);
            if (w->isActiveWindow()) return true;
        }
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

}  // namespace testsupport
