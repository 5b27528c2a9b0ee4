// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/PaintStats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/OpenGl.h"

namespace display {

PaintStats::PaintStats() : active_(std::getenv("M797_PAINT_STATS") != nullptr) {}

PaintStats::~PaintStats() {
    for (std::size_t k = 0; k < millis_.size(); ++k) {
        auto& v = millis_[k];
        if (v.empty()) continue;
        std::sort(v.begin(), v.end());
        std::fprintf(stderr, "panel %zu: %zu paints, median %.2f ms\n", k + 1, v.size(), v[v.size() / 2]);
    }
}

void PaintStats::record(int number, std::chrono::steady_clock::time_point start) {
    glFinish();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (millis_.size() < static_cast<std::size_t>(number)) millis_.resize(static_cast<std::size_t>(number));
    millis_[static_cast<std::size_t>(number - 1)].push_back(took.count());
}

}  // namespace display
