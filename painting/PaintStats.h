// SPDX-License-Identifier: GPL-3.0-or-later
// Paint times of the panels, for measuring (M797_PAINT_STATS set): each
// panel's paint handler is timed to the end of its drawing, and the median
// per panel is printed on the standard error at the end.
#pragma once

#include <chrono>
#include <vector>

namespace display {

class PaintStats {
public:
    // Active only when the environment asks for it.
    PaintStats();
    ~PaintStats();
    PaintStats(const PaintStats&) = delete;
    PaintStats& operator=(const PaintStats&) = delete;

    bool active() const { return active_; }
    // Wraps a face's panel's paint handler with a timer; panel numbers from 1.
    template <typename Panel>
    void watch(Panel& panel, int number) {
        if (!active_) return;
        panel.OnPaint = [this, number, paint = panel.OnPaint](Panel* self) {
            const auto start = std::chrono::steady_clock::now();
            paint(self);
            record(number, start);
        };
    }

private:
    // Waits for the drawing to finish (not only its queueing) and keeps its time.
    void record(int number, std::chrono::steady_clock::time_point start);

    bool active_;
    std::vector<std::vector<double>> millis_;
};

}  // namespace display
