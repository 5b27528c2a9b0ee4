// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/ChartView.h"

#include "platform/OpenGl.h"

#include "painting/Panel.h"

namespace display {

void initChartView(Panel* panel) {
    const int w = panel->deviceWidth();
    const int h = panel->deviceHeight();
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (h == 0) {
        gluPerspective(45, w, 1, 2000);
    } else {
        gluPerspective(20, static_cast<double>(w) / h, 1, 2000);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

}  // namespace display
