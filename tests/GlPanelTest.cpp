// SPDX-License-Identifier: GPL-3.0-or-later
// The OpenGL panel under Mesa's software renderer: pixel-format rules, the
// handler protocol, and what the fonts really put in the frame buffer.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <QOpenGLContext>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "platform/Cp1251.h"
#include "qt/glpanel/TOpenGLPanel.h"
#include "tests/GuiSupport.h"

using namespace glpanel;

TEST(PanelFormat, TheGdiAndDoubleBufferFlagsExcludeEachOther) {
    PFDFlags f = kDefaultPFDFlags;
    f = assignPFDFlags(f, f_PFD_DRAW_TO_WINDOW | f_PFD_SUPPORT_OPENGL);
    EXPECT_EQ(f, f_PFD_DRAW_TO_WINDOW | f_PFD_SUPPORT_GDI | f_PFD_SUPPORT_OPENGL);
    auto r = pixelFormatRequest(PixelType::Rgba, f, 32, 32);
    EXPECT_EQ(r.flags, kPfdDrawToWindow | kPfdSupportGdi | kPfdSupportOpenGl);
    EXPECT_FALSE(r.doubleBuffered());
    // Both: the one the old set lacked wins.
    f = assignPFDFlags(f, f | f_PFD_DOUBLEBUFFER);
    EXPECT_EQ(f, f_PFD_DRAW_TO_WINDOW | f_PFD_SUPPORT_OPENGL | f_PFD_DOUBLEBUFFER);
    EXPECT_EQ(assignPFDFlags(kDefaultPFDFlags, kDefaultPFDFlags | f_PFD_SUPPORT_GDI),
              f_PFD_DRAW_TO_WINDOW | f_PFD_SUPPORT_OPENGL | f_PFD_SUPPORT_GDI);
    r = pixelFormatRequest(PixelType::Rgba, kDefaultPFDFlags, 32, 32);
    EXPECT_EQ(r.flags, kPfdDrawToWindow | kPfdSupportOpenGl | kPfdDoubleBuffer);
    EXPECT_EQ(r.colorBits, 32);
    EXPECT_EQ(r.pixelType, 0);
}

namespace {

struct PanelRig {
    explicit PanelRig(int w = 240, int h = 60) {
        TOpenGLPanel::setReportHandler([this](const std::string& t) { reports << QString::fromStdString(t); });
        panel.resize(w, h);
    }
    void show() {
        panel.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.surfaceWindow(), 5000 * testsupport::slowdown()));
        QTest::qWait(50);
    }
    // What the window shows on the screen now.
    QImage visible() {
        QWindow* w = panel.surfaceWindow();
        return w->screen()->grabWindow(w->winId()).toImage();
    }
    TOpenGLPanel panel;
    QStringList reports;
};

// A pixel overlay as the charts set it: y downward from the top-left corner.
void pixelOverlay(TOpenGLPanel* p) {
    glViewport(0, 0, p->deviceWidth(), p->deviceHeight());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, p->width(), p->height(), 0, 1000, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

QImage readBack(TOpenGLPanel* p) {
    QImage img(p->deviceWidth(), p->deviceHeight(), QImage::Format_RGBA8888);
    glReadPixels(0, 0, img.width(), img.height(), GL_RGBA, GL_UNSIGNED_BYTE, img.bits());
    return img.mirrored();
}

QRect litBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGreen(img.pixel(x, y)) > 128) box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

TEST(Panel, TwoDimensionalTextLandsAtItsRasterPositionAndATabDrawsNothing) {
    PanelRig rig;
    rig.panel.Font2D_Enabled = true;
    rig.panel.Font2D_Type = {"Arial", -11, false, false, 204};
    rig.panel.Font2D_NumGylph = 255 - 32;
    std::string text = cp1251::fromUtf8("Данные AB");
    QImage shot;
    rig.panel.OnInit = [](TOpenGLPanel* p) { pixelOverlay(p); };
    rig.panel.OnPaint = [&](TOpenGLPanel* p) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);  // the colour is fixed by the raster position
        glRasterPos2i(30, 40);
        p->Draw2DText(text);
        shot = readBack(p);
    };
    rig.show();
    EXPECT_TRUE(rig.panel.contextReady());
    EXPECT_EQ(QOpenGLContext::currentContext(), nullptr);  // none between handlers
    const QRect box = litBox(shot);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.left(), 30, 2);
    EXPECT_NEAR(box.bottom(), 39, 3);   // baseline at y = 40
    EXPECT_NEAR(box.top(), 40 - 8, 2);  // capital height of an 11-pixel Arial
    EXPECT_GT(box.width(), 40);
    EXPECT_LT(box.width(), 70);

    text = cp1251::fromUtf8("Данные\tAB");
    rig.panel.repaintNow();
    EXPECT_TRUE(litBox(shot).isEmpty());
    text = "";
    rig.panel.repaintNow();
    EXPECT_TRUE(litBox(shot).isEmpty());
    text = std::string(5000, 'W');  // far past the edge: clipped, nothing overruns
    rig.panel.repaintNow();
    EXPECT_FALSE(litBox(shot).isEmpty());
    EXPECT_TRUE(rig.reports.isEmpty());
}

TEST(Panel, FlattenedOutlineTextDrawsAndAByteOutsideItsRangeDrawsNothing) {
    PanelRig rig(300, 115);
    rig.panel.Font3D_Enabled = true;
    rig.panel.Font3D_Type = {"Arial", -11, true, true, 204};
    rig.panel.Font3D_FirstGylph = 0;
    rig.panel.Font3D_NumGylph = 255;
    std::string text = cp1251::fromUtf8("840 об");
    QImage shot;
    rig.panel.OnInit = [](TOpenGLPanel* p) {
        glViewport(0, 0, p->deviceWidth(), p->deviceHeight());
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.5 * p->width() / p->height(), 0.5 * p->width() / p->height(), -0.5, 0.5, 1, 100);
        glMatrixMode(GL_MODELVIEW);
    };
    rig.panel.OnPaint = [&](TOpenGLPanel* p) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glLoadIdentity();
        glTranslatef(-1.2f, -0.35f, -3);
        glScalef(0.7f, 0.8f, 0);
        glColor3f(0, 1, 0);
        glFrontFace(GL_CW);
        p->Draw3DText(text);
        GLint face = 0;
        glGetIntegerv(GL_FRONT_FACE, &face);
        EXPECT_EQ(face, GL_CW);  // restored
        shot = readBack(p);
    };
    rig.show();
    const QRect box = litBox(shot);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GT(box.height(), 20);  // a large readout
    EXPECT_LT(box.left(), 120);
    text = std::string("840") + '\xFF';
    rig.panel.repaintNow();
    EXPECT_TRUE(litBox(shot).isEmpty());
}

TEST(Panel, ManualSwappingShowsNothingUntilTheOwnerSwaps) {
    PanelRig rig(120, 40);
    float red = 1;
    rig.panel.OnPaint = [&](TOpenGLPanel*) {
        glClearColor(red, 0, 1 - red, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    rig.show();
    EXPECT_TRUE(rig.panel.grantedDoubleBuffer());
    EXPECT_GE(rig.panel.grantedColorBits(), 24);
    QImage img = rig.visible();
    EXPECT_GT(qRed(img.pixel(60, 20)), 200);

    rig.panel.GLSwapBuffers = SwapBuffersMode::Manual;
    red = 0;
    rig.panel.repaintNow();
    QTest::qWait(30);
    img = rig.visible();
    EXPECT_GT(qRed(img.pixel(60, 20)), 200);  // still the old picture
    rig.panel.swapBuffersNow();
    QTest::qWait(30);
    img = rig.visible();
    EXPECT_GT(qBlue(img.pixel(60, 20)), 200);
}

TEST(Panel, APanelWithoutAPaintHandlerLeavesItsPictureAlone) {
    PanelRig rig(120, 40);
    rig.panel.OnPaint = [](TOpenGLPanel*) {
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    rig.show();
    const long paints = rig.panel.paintCount();
    rig.panel.OnPaint = nullptr;
    rig.panel.repaintNow();
    EXPECT_EQ(rig.panel.paintCount(), paints);
    EXPECT_EQ(QOpenGLContext::currentContext(), nullptr);
    EXPECT_GT(qGreen(rig.visible().pixel(60, 20)), 200);
}

TEST(Panel, SeveralPanelsTakeTurnsOnOneThread) {
    QWidget window;
    window.resize(400, 200);
    TOpenGLPanel::setReportHandler([](const std::string&) { ADD_FAILURE(); });
    std::vector<std::unique_ptr<TOpenGLPanel>> panels;
    for (int i = 0; i < 3; ++i) {
        auto p = std::make_unique<TOpenGLPanel>(&window);
        p->setGeometry(10, 10 + 60 * i, 380, 50);
        p->Font2D_Enabled = true;
        p->Font2D_Type = {"Arial", -12, false, false, 204};
        p->Font2D_NumGylph = 255;  // as the main window asks: codes 32..255
        p->OnInit = pixelOverlay;
        p->OnPaint = [i](TOpenGLPanel* self) {
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            glColor3f(i == 0, i == 1, i == 2);
            glRasterPos2i(10, 30);
            self->Draw2DText(cp1251::fromUtf8("Паспорт блока управления"));
        };
        panels.push_back(std::move(p));
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 5000 * testsupport::slowdown()));
    QTest::qWait(100);
    for (auto& p : panels) {
        p->repaintNow();
        EXPECT_GE(p->paintCount(), 1);
        EXPECT_EQ(QOpenGLContext::currentContext(), nullptr);
    }
    const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
    if (qEnvironmentVariableIsSet("M797_SAVE_SHOTS")) shot.save("/tmp/panels.png");
    // Each panel's text shows in its own colour inside its own rectangle.
    auto litIn = [&](QRect r, int channel) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb c = shot.pixel(x, y);
                const int v = channel == 0 ? qRed(c) : channel == 1 ? qGreen(c) : qBlue(c);
                if (v > 128) return true;
            }
        return false;
    };
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(litIn(QRect(15, 25 + 60 * i, 200, 20), i)) << i;
}

// Without any OpenGL on the display (QT_XCB_GL_INTEGRATION=none) a panel
// says why, once, in the order of the steps, and never paints. The case
// runs in a child process, since the integration is chosen at start.
TEST(Panel, AContextThatCannotBeMadeIsReportedOnceAndNeverPainted) {
    if (!testsupport::withoutOpenGl()) return;
    PanelRig rig;
    int paints = 0, inits = 0;
    rig.panel.OnInit = [&](TOpenGLPanel*) { ++inits; };
    rig.panel.OnPaint = [&](TOpenGLPanel*) { ++paints; };
    rig.panel.show();
    QTest::qWait(100);
    for (int i = 0; i < 5; ++i) rig.panel.repaintNow();
    rig.panel.resize(200, 50);
    QTest::qWait(100);
    ASSERT_EQ(rig.reports.size(), 2) << rig.reports.join(" | ").toStdString();
    EXPECT_TRUE(rig.reports[0].startsWith("wglRenderingContext:")) << rig.reports[0].toStdString();
    EXPECT_NE(rig.reports[0], QStringLiteral("wglRenderingContext:0"));
    EXPECT_EQ(rig.reports[1], QStringLiteral("Open GL Context Create Failed"));
    EXPECT_EQ(paints, 0);
    EXPECT_EQ(inits, 0);
    EXPECT_FALSE(rig.panel.contextReady());
}
