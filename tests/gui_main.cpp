// SPDX-License-Identifier: GPL-3.0-or-later
// GUI tests run against a real X display (Xvfb in CI) with Qt's xcb
// platform: the offscreen platform cannot host OpenGL windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "tests/PrivateData.h"
#ifdef M797_RUSSIAN_QT
#include "qt/WindowRules.h"
#endif

namespace {

// A test that ends the program's event loops (ExitClick, a signal) leaves the
// application ready to quit: every later event loop, a message box's
// included, would return at once. After each test that state is cleared,
// as a new program's would be.
class ForgetQuit : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();  // clears the pending quit when it returns
    }
};

}  // namespace

int main(int argc, char** argv) {
    const testsupport::PrivateDataFolder data;
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetQuit);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // panels share their fonts
    QApplication app(argc, argv);
#ifdef M797_RUSSIAN_QT
    qtface::speakRussian();  // as the tester does
#endif
    return RUN_ALL_TESTS();
}
