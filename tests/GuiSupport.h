// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the window tests.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "logic/WindowTables.h"
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
    // The one test runs whole in the child, whichever shard of a divided run
    // this is, and leaves the parent's report alone.
    for (const char* name : {"GTEST_SHARD_INDEX", "GTEST_TOTAL_SHARDS", "GTEST_OUTPUT"}) env.remove(name);
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

// What of a window's description the window does not show: each row a
// widget of its kind at its place (in the window's client pixels) with its
// text; the title and size too. Empty when all is there.
inline std::string laidOutAsDescribed(QWidget* window, const logic::ui::WindowDescription& d) {
    using logic::ui::Kind;
    std::string missing;
    if (window->windowTitle() != QString::fromUtf8(d.title) && d.title != std::string("M7.9.7")) missing += "title; ";
    if (window->size() != QSize(d.width, d.height)) missing += "size; ";
    const auto textOf = [](QWidget* w) {
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
        return QString();
    };
    const auto kindMatches = [](QWidget* w, Kind k) {
        switch (k) {
            case Kind::Label:
            case Kind::StatusLine:
            case Kind::Picture:
                return qobject_cast<QLabel*>(w) != nullptr;
            case Kind::Button:
            case Kind::Toggle:
                return qobject_cast<QAbstractButton*>(w) != nullptr;
            case Kind::Group:
                return qobject_cast<QGroupBox*>(w) != nullptr;
            case Kind::List:
                return qobject_cast<QComboBox*>(w) != nullptr && !static_cast<QComboBox*>(w)->isEditable();
            case Kind::EditList:
                return qobject_cast<QComboBox*>(w) != nullptr && static_cast<QComboBox*>(w)->isEditable();
            case Kind::Radio:
            case Kind::Check:
                return qobject_cast<QAbstractButton*>(w) != nullptr;
            case Kind::Slider:
                return qobject_cast<QSlider*>(w) != nullptr;
            case Kind::Tabs:
                return qobject_cast<QTabWidget*>(w) != nullptr;
            case Kind::Table:
                return qobject_cast<QTableWidget*>(w) != nullptr;
            default:
                return qobject_cast<QFrame*>(w) != nullptr;
        }
    };
    auto* tabs = window->findChild<QTabWidget*>();
    for (const logic::ui::Control& c : d.controls) {
        if (c.kind == Kind::Panel) continue;
        // A row on a tab page is placed on the page.
        QWidget* origin = c.page > 0 && tabs ? tabs->widget(c.page - 1) : window;
        bool found = false;
        for (QWidget* w : origin->findChildren<QWidget*>()) {
            if (!kindMatches(w, c.kind)) continue;
            const QPoint at = w->mapTo(origin, QPoint(0, 0));
            if (at != QPoint(c.place.x, c.place.y)) continue;
            if (c.place.width > 0 && w->size() != QSize(c.place.width, c.place.height)) continue;
            // A label with an identifier shows what its logic sets.
            const bool texted = (c.kind == Kind::Label && c.id == 0) || c.kind == Kind::StatusLine ||
                                c.kind == Kind::Button || c.kind == Kind::Toggle || c.kind == Kind::Group ||
                                c.kind == Kind::Radio || c.kind == Kind::Check;
            if (texted && textOf(w) != QString::fromUtf8(c.text)) continue;
            found = true;
            break;
        }
        if (!found)
            missing +=
                std::string(c.text) + " at " + std::to_string(c.place.x) + "," + std::to_string(c.place.y) + "; ";
    }
    return missing;
}

}  // namespace testsupport
