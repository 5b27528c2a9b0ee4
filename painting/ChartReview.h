// SPDX-License-Identifier: GPL-3.0-or-later
// Looking back at the drive on the five charts. Live, the charts draw their
// 30 ms histories as they always have; a pause keeps that picture as it
// stood; once the user scrolls, zooms or places a cursor they draw the
// session's kept passes by their times instead: the newest shown at the left
// edge, as live, and a chosen span across the panel. A mark on every chart then says the view is not the
// ordinary live one. The user-interface thread owns all of it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace display {

// Where a paused chart shows its framed "ПАУЗА", in the chart's pixels: at
// the right, under the companion readout of the top line (which it hid when
// it stood on that line), clear of the caption and the cursors' texts.
struct MarkBox {
    int x, y, width, height;
};
inline constexpr MarkBox kPauseMark{665, 16, 78, 17};

class ChartReview {
public:
    // Spans across a chart, shortest first; the ordinary one is 690 ticks.
    static constexpr std::array<std::int64_t, 9> kSpansMs = {5000,   10000,  20700,  41400,  60000,
                                                             120000, 300000, 600000, 1200000};
    static constexpr std::size_t kOrdinarySpan = 2;
    // The trace's visible units across the panel's pixels.
    static constexpr int kUnitsAcross = 690;
    static constexpr int kPixelsAcross = 750;

    // The ordinary live picture: following the newest data at the ordinary
    // span, no cursor.
    bool ordinary() const { return following_ && span_ == kOrdinarySpan && !cursorA_ && !cursorB_; }
    bool following() const { return following_; }
    std::int64_t spanMs() const { return kSpansMs[span_]; }
    // The time at the left edge; newestMs: the newest kept pass's.
    std::int64_t leftMs(std::int64_t newestMs) const { return following_ ? newestMs : left_; }
    // Changes with every change of the view, for the paint gate.
    std::uint64_t generation() const { return generation_; }

    // Each of these says whether the view changed. oldestMs and newestMs:
    // the kept passes' times.
    bool pause(std::int64_t newestMs);
    bool togglePause(std::int64_t newestMs);
    // Pauses where the live picture stands: the left edge at leftMs (the
    // live charts' moment), and, paused from the ordinary live picture, the
    // charts go on drawing the live histories as they stood at `tick`, so
    // nothing moves, until the view is changed in any other way.
    bool pauseAsShown(std::int64_t leftMs, std::uint64_t tick);
    const std::optional<std::uint64_t>& frozenTick() const { return frozenTick_; }
    // steps tenths of the span, later (+) or earlier (−). Reaching the
    // newest data follows it again.
    bool scroll(int steps, std::int64_t oldestMs, std::int64_t newestMs);
    // The oldest kept data at the right edge.
    bool toOldest(std::int64_t oldestMs, std::int64_t newestMs);
    // Back to live: following, ordinary span, no cursors.
    bool backToLive();
    // Shorter (+) or longer (−) spans; the left edge stays.
    bool zoom(int steps);
    // Shows the whole drive, paused at its newest pass, in the shortest span
    // that holds it.
    bool showWhole(std::int64_t oldestMs, std::int64_t newestMs);

    // Cursors at pass times. Placing one pauses a following view.
    bool placeCursor(bool second, std::int64_t timeMs, std::int64_t newestMs);
    bool clearCursors();
    const std::optional<std::int64_t>& cursorA() const { return cursorA_; }
    const std::optional<std::int64_t>& cursorB() const { return cursorB_; }
    // The cursor the keys move: the last placed.
    bool secondActive() const { return secondActive_; }

    // Where a time lies across the trace (units of the live chart's ages),
    // and the time under a pixel column of a chart.
    double unitsAt(std::int64_t timeMs, std::int64_t newestMs) const;
    std::int64_t timeAtPixel(int x, std::int64_t newestMs) const;

private:
    bool changed() {
        frozenTick_.reset();
        ++generation_;
        return true;
    }
    bool following_ = true;
    std::size_t span_ = kOrdinarySpan;
    std::int64_t left_ = 0;
    std::optional<std::int64_t> cursorA_, cursorB_;
    bool secondActive_ = false;
    std::uint64_t generation_ = 0;
    std::optional<std::uint64_t> frozenTick_;
};

}  // namespace display
