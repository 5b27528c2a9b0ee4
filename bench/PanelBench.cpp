// SPDX-License-Identifier: GPL-3.0-or-later
// Seven panels of the main window's sizes repainting at 33 Hz, drawn through
// either binding: a native window per panel (the panel component) or
// QOpenGLWidget, which Qt composites into the whole window on every update.
// Prints the program's CPU share and the paint handlers' median time.
//   panel_bench [window|widget] [seconds]
//   panel_bench fonts   (font building per panel and the cost of a text)
#include <GL/gl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "qt/glpanel/TOpenGLPanel.h"

namespace {

const QRect kPanels[7] = {{23, 15, 750, 115},  {23, 146, 750, 115}, {23, 277, 750, 115}, {23, 408, 750, 115},
                          {23, 539, 750, 115}, {23, 674, 750, 49},  {807, 324, 193, 401}};

std::vector<double> gPaintMs;

// About what a chart paint does: 175 grid lines and a 1024-vertex trace.
void drawChartLike(int w, int h, int frame) {
    QElapsedTimer t;
    t.start();
    glViewport(0, 0, w, h);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 750, 0, 115, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_LINE_SMOOTH);
    glColor4f(0.5f, 0.4f, 0.1f, 0.4f);
    for (int x = 0; x <= 750; x += 5) {
        glBegin(GL_LINE_STRIP);
        glVertex2i(x, 0);
        glVertex2i(x, 115);
        glEnd();
    }
    for (int y = 0; y <= 115; y += 5) {
        glBegin(GL_LINE_STRIP);
        glVertex2i(0, y);
        glVertex2i(750, y);
        glEnd();
    }
    glColor4f(0.45f, 0.99f, 0.1f, 0.99f);
    glBegin(GL_LINE_STRIP);
    for (int i = 1; i <= 1024; ++i) glVertex2f(i * 0.73f, 50 + 40 * std::sin((i + frame) * 0.05f));
    glEnd();
    glFinish();
    gPaintMs.push_back(t.nsecsElapsed() / 1e6);
}

class WidgetPanel : public QOpenGLWidget {
public:
    using QOpenGLWidget::QOpenGLWidget;
    int frame = 0;

protected:
    void paintGL() override {
        context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
        drawChartLike(width() * devicePixelRatio(), height() * devicePixelRatio(), frame);
    }
};

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

// Builds the chart panels' two fonts on five panels in turn and draws a
// 40-character text many times from the lists.
int fontBench(QApplication& app) {
    QWidget window;
    window.setGeometry(0, 0, 1024, 740);
    std::vector<double> initMs;
    double textUs = 0;
    QElapsedTimer t;
    for (int i = 0; i < 5; ++i) {
        auto* p = new glpanel::TOpenGLPanel(&window);
        p->setGeometry(kPanels[i]);
        p->Font2D_Enabled = true;
        p->Font2D_Type = {"Arial", -11, false, false, 204};
        p->Font2D_NumGylph = 255;
        p->Font3D_Enabled = true;
        p->Font3D_Type = {"Arial", -11, true, true, 204};
        p->Font3D_FirstGylph = 0;
        p->Font3D_NumGylph = 255;
        p->OnPreInit = [&t](glpanel::TOpenGLPanel*) { t.start(); };
        p->OnInit = [&t, &initMs](glpanel::TOpenGLPanel*) { initMs.push_back(t.nsecsElapsed() / 1e6); };
        p->OnPaint = [&textUs](glpanel::TOpenGLPanel* self) {
            const std::string text(40, 'A');
            glClear(GL_COLOR_BUFFER_BIT);
            glFinish();
            QElapsedTimer tt;
            tt.start();
            for (int k = 0; k < 1000; ++k) {
                glRasterPos2f(-0.9f, 0);
                self->Draw2DText(text);
            }
            glFinish();
            textUs = tt.nsecsElapsed() / 1e3 / 1000;
        };
    }
    window.show();
    QTimer::singleShot(1500, [&] {
        std::printf("context_and_fonts_ms:");
        for (double ms : initMs) std::printf(" %.1f", ms);
        std::printf("\ntext_40_chars_us=%.1f\n", textUs);
        app.quit();
    });
    return app.exec();
}

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // panels share their fonts
    QApplication app(argc, argv);
    const QString binding = argc > 1 ? argv[1] : "window";
    if (binding == "fonts") return fontBench(app);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setGeometry(0, 0, 1024, 740);
    std::vector<glpanel::TOpenGLPanel*> nativePanels;
    std::vector<WidgetPanel*> widgetPanels;
    int frame = 0;
    for (const QRect& r : kPanels) {
        if (binding == "widget") {
            auto* p = new WidgetPanel(&window);
            p->setGeometry(r);
            widgetPanels.push_back(p);
        } else {
            auto* p = new glpanel::TOpenGLPanel(&window);
            p->setGeometry(r);
            p->OnPaint = [&frame](glpanel::TOpenGLPanel* self) {
                drawChartLike(self->deviceWidth(), self->deviceHeight(), frame);
            };
            nativePanels.push_back(p);
        }
    }
    window.show();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++frame;
        for (auto* p : nativePanels) p->repaintNow();
        for (auto* p : widgetPanels) {
            p->frame = frame;
            p->update();
        }
    });
    QTimer::singleShot(1000, [&] {  // after start-up
        gPaintMs.clear();
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        tick.start(30);
        QTimer::singleShot(seconds * 1000, [&, cpu0, wall] {
            tick.stop();
            const double cpu = cpuSeconds() - cpu0;
            const double elapsed = wall.elapsed() / 1000.0;
            std::sort(gPaintMs.begin(), gPaintMs.end());
            const double median = gPaintMs.empty() ? 0 : gPaintMs[gPaintMs.size() / 2];
            std::printf("binding=%s frames=%d paints=%zu cpu_percent=%.1f paint_median_ms=%.2f\n",
                        binding.toUtf8().constData(), frame, gPaintMs.size(), 100.0 * cpu / elapsed, median);
            app.quit();
        });
    });
    return app.exec();
}
