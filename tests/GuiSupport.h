// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the window tests.
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

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

// Runs this test again in a child process without any OpenGL on the display
// (the integration is chosen at a program's start). True in the child, which
// then runs the test's body; in the parent, checks the child passed it and
// returns false.
inline bool withoutOpenGl() {
    if (qEnvironmentVariable("QT_XCB_GL_INTEGRATION") == QStringLiteral("none")) return true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_XCB_GL_INTEGRATION", "none");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    EXPECT_TRUE(child.waitForFinished(60000 * slowdown()));
    const QByteArray out = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    return false;
}

}  // namespace testsupport
