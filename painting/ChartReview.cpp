// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/ChartReview.h"

#include <algorithm>

namespace display {

bool ChartReview::pause(std::int64_t newestMs) {
    if (!following_) return false;
    following_ = false;
    left_ = newestMs;
    return changed();
}

bool ChartReview::pauseAsShown(std::int64_t leftMs, std::uint64_t tick) {
    if (!following_) return false;
    const bool wasOrdinary = ordinary();
    following_ = false;
    left_ = leftMs;
    changed();
    if (wasOrdinary) frozenTick_ = tick;
    return true;
}

bool ChartReview::togglePause(std::int64_t newestMs) {
    if (following_) return pause(newestMs);
    following_ = true;
    return changed();
}

bool ChartReview::scroll(int steps, std::int64_t oldestMs, std::int64_t newestMs) {
    if (steps == 0) return false;
    const std::int64_t from = leftMs(newestMs);
    // The oldest data may come as far as the right edge, no further.
    const std::int64_t lowest = std::min(newestMs, oldestMs + spanMs());
    const std::int64_t to = std::clamp(from + steps * spanMs() / 10, lowest, newestMs);
    // Earlier than a drive that fits the span: nowhere to go.
    if (steps < 0 && to >= newestMs) return false;
    if (to >= newestMs) {
        if (following_) return false;
        following_ = true;
        return changed();
    }
    if (!following_ && to == left_) return false;
    following_ = false;
    left_ = to;
    return changed();
}

bool ChartReview::toOldest(std::int64_t oldestMs, std::int64_t newestMs) {
    const std::int64_t to = std::min(newestMs, oldestMs + spanMs());
    if (!following_ && left_ == to) return false;
    following_ = false;
    left_ = to;
    return changed();
}

bool ChartReview::backToLive() {
    if (ordinary()) return false;
    following_ = true;
    span_ = kOrdinarySpan;
    cursorA_.reset();
    cursorB_.reset();
    secondActive_ = false;
    return changed();
}

bool ChartReview::zoom(int steps) {
    const auto to = static_cast<std::size_t>(
        std::clamp<long>(static_cast<long>(span_) - steps, 0, static_cast<long>(kSpansMs.size()) - 1));
    if (to == span_) return false;
    span_ = to;
    return changed();
}

bool ChartReview::showWhole(std::int64_t oldestMs, std::int64_t newestMs) {
    following_ = false;
    left_ = newestMs;
    span_ = kSpansMs.size() - 1;
    for (std::size_t i = 0; i < kSpansMs.size(); ++i) {
        if (kSpansMs[i] >= newestMs - oldestMs) {
            span_ = std::max(i, kOrdinarySpan);
            break;
        }
    }
    return changed();
}

bool ChartReview::placeCursor(bool second, std::int64_t timeMs, std::int64_t newestMs) {
    pause(newestMs);
    std::optional<std::int64_t>& c = second ? cursorB_ : cursorA_;
    secondActive_ = second;
    if (c == timeMs) return changed();
    c = timeMs;
    return changed();
}

bool ChartReview::clearCursors() {
    if (!cursorA_ && !cursorB_) return false;
    cursorA_.reset();
    cursorB_.reset();
    secondActive_ = false;
    return changed();
}

double ChartReview::unitsAt(std::int64_t timeMs, std::int64_t newestMs) const {
    return static_cast<double>(leftMs(newestMs) - timeMs) * kUnitsAcross / static_cast<double>(spanMs());
}

std::int64_t ChartReview::timeAtPixel(int x, std::int64_t newestMs) const {
    return leftMs(newestMs) - static_cast<std::int64_t>(x) * spanMs() / kPixelsAcross;
}

}  // namespace display
