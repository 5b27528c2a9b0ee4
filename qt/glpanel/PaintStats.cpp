#include "qt/glpanel/PaintStats.h"

#include <GL/gl.h>

#include <QElapsedTimer>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>

#include "qt/glpanel/TOpenGLPanel.h"

namespace display {

PaintStats::PaintStats() : active_(qEnvironmentVariableIsSet("M797_PAINT_STATS")) {}

PaintStats::~PaintStats() {
    for (std::size_t k = 0; k < millis_.size(); ++k) {
        auto& v = millis_[k];
        if (v.empty()) continue;
        std::sort(v.begin(), v.end());
        std::fprintf(stderr, "panel %zu: %zu paints, median %.2f ms\n", k + 1, v.size(), v[v.size() / 2]);
    }
}

void PaintStats::watch(glpanel::TOpenGLPanel* panel, int number) {
    if (!active_) return;
    if (millis_.size() < static_cast<std::size_t>(number)) millis_.resize(static_cast<std::size_t>(number));
    panel->OnPaint = [this, number, paint = panel->OnPaint](glpanel::TOpenGLPanel* self) {
        QElapsedTimer t;
        t.start();
        paint(self);
        glFinish();  // the drawing, not only its queueing
        millis_[static_cast<std::size_t>(number - 1)].push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    };
}

}  // namespace display
