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

}  // namespace testsupport
