// GUI tests run against a real X display (Xvfb in CI) with Qt's xcb
// platform: the offscreen platform cannot host OpenGL windows.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // panels share their fonts
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
