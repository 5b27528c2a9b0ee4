// Paint times of the panels, for measuring (M797_PAINT_STATS set): each
// panel's paint handler is timed to the end of its drawing, and the median
// per panel is printed on the standard error at the end.
#pragma once

#include <vector>

namespace glpanel {
class TOpenGLPanel;
}

namespace display {

class PaintStats {
public:
    // Active only when the environment asks for it.
    PaintStats();
    ~PaintStats();
    PaintStats(const PaintStats&) = delete;
    PaintStats& operator=(const PaintStats&) = delete;

    bool active() const { return active_; }
    // Wraps the panel's paint handler with a timer; panel numbers from 1.
    void watch(glpanel::TOpenGLPanel* panel, int number);

private:
    bool active_;
    std::vector<std::vector<double>> millis_;
};

}  // namespace display
