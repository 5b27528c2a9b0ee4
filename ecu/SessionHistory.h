// SPDX-License-Identifier: GPL-3.0-or-later
// The drive since the program started or the recording was opened: every
// measured pass as the wire gave it (both live-data replies), its time and
// the charts' samples, kept for a day's work in bounded memory. It is the one
// history of the drive: the live charts, a paused or scrolled chart, the
// cursor's values and the table all read it. The link's thread adds a pass
// at its end; the sampler's thread ages the live charts and takes passes for
// them; the user-interface thread reads. Decoding a kept pass gives the same
// readouts the live decoding gave then.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ecu/LiveData.h"
#include "link/WireLayout.h"

namespace ecu {

// Parameters with a chart history, in catalogue order: 64.
constexpr std::size_t kChartedCount = 64;
// Where parameter number keeps its sample in a record, or -1.
int chartedSlot(int number);

struct PassRecord {
    std::uint64_t pass = 0;
    std::int64_t timeMs = 0;  // of the last reply, since the line started
    float thrBefore = 0;      // the throttle fraction carried into this pass
    bool afterGap = false;    // the first pass after the link reconnected
    std::array<std::uint8_t, klink::kLiveData01ReplySize> liveData01{};
    std::array<std::uint8_t, klink::kLiveData03ReplySize> liveData03{};
    // The chart sample of each charted parameter, by chartedSlot. Chart
    // units are about -2..104; anything beyond ±32767 is 300 chart heights
    // off the panel and kept at the limit.
    std::array<std::int16_t, kChartedCount> samples{};
};

// A live chart's history as the chart draws it: slot k (1..1024) holds the
// k-th newest sample the sampler took and its age in 30 ms ticks; slot 0 the
// newest again. A slot no sample reached yet holds 0, aged as if it had been
// there since the window opened with age k in slot k: before the first
// sample a chart shows a flat trace at 0.
constexpr std::size_t kHistorySlots = 1025;

struct HistoryBuffer {
    std::array<std::int32_t, kHistorySlots> historyValue{};
    std::array<std::int32_t, kHistorySlots> historyAge{};
    // 1 where the sample is the first after a gap in the data (the link
    // reconnected): nothing joins it to the older one.
    std::array<std::uint8_t, kHistorySlots> afterGap{};
};

// One point of a trace.
struct TracePoint {
    std::int64_t timeMs;
    std::int32_t value;
    bool afterGap;
};

// The charts' samples of a decoded pass, into its record.
void takeSamples(const LiveData& decoded, PassRecord& record);

class SessionHistory {
public:
    // At least eight hours at any pace the K-line allows: the two replies
    // alone take 173 ms at 10400 baud, so no pass is shorter than that.
    static constexpr std::size_t kMaxPasses = 250000;
    static constexpr std::size_t kChunkPasses = 1024;

    // Indices run on through the session; when the oldest passes make room
    // for new ones, first() grows.
    std::size_t first() const;
    std::size_t end() const;
    bool empty() const { return first() == end(); }

    void add(const PassRecord& r);
    // A new session: nothing kept.
    void clear();
    bool copy(std::size_t index, PassRecord& out) const;
    std::int64_t timeAt(std::size_t index) const;
    // The first kept pass at or after timeMs (end() if none).
    std::size_t lowerBound(std::int64_t timeMs) const;
    // The kept pass nearest to timeMs (end() when empty).
    std::size_t nearest(std::int64_t timeMs) const;
    // The trace of one charted parameter over passes [from, to).
    void trace(int number, std::size_t from, std::size_t to, std::vector<TracePoint>& out) const;
    // The readouts of a kept pass, as the live decoding gave them (flag
    // names set), and the pass itself if asked. False if the pass is no
    // longer kept.
    bool decode(std::size_t index, char decimalSeparator, LiveData& out, PassRecord* kept = nullptr) const;
    // Bytes held, for the memory figure.
    std::size_t bytes() const;

    // The live charts' clock: one tick every 30 ms while data comes. Each
    // tick ages every live sample by one.
    void ageAll();
    std::uint64_t ticks() const;
    // Takes the newest kept pass for the live charts, unless taken already
    // (a pass that did not measure was never kept: the charts take nothing
    // for it). True if one was taken.
    bool takeNewest();
    // The live history of a charted parameter as it stood at `tick`
    // (the charts draw it at ticks()); false if the parameter has none.
    bool liveHistory(int number, std::uint64_t tick, HistoryBuffer& out) const;
    // Whether every sample a chart showed at `tick` is still there (the
    // passes taken since have not pushed the older out).
    bool liveHistoryKept(std::uint64_t tick) const;
    // The time of the newest pass the live charts had taken by `tick`, and
    // the tick it was taken at; false if none.
    bool newestTaken(std::uint64_t tick, std::int64_t& timeMs, std::uint64_t& takenAt) const;

private:
    using Chunk = std::array<PassRecord, kChunkPasses>;
    const PassRecord& at(std::size_t index) const;  // under the lock
    std::size_t takenBy(std::uint64_t tick) const;  // under the lock
    // The oldest take the ring still holds (counted from the first take).
    std::size_t oldestTaken() const { return takenCount_ > taken_.size() ? takenCount_ - taken_.size() : 0; }
    std::size_t lowerBoundLocked(std::int64_t timeMs) const;

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Chunk>> chunks_;
    std::size_t first_ = 0;  // index of chunks_[0][0]
    std::size_t end_ = 0;

    // The passes the live charts took, newest last, in a ring: the pass, the
    // tick it was taken at, and whether a gap lies between it and the pass
    // taken before. It holds more than a chart shows, so that a chart paused
    // at an earlier tick can still be drawn as it stood then.
    struct Taken {
        std::size_t index = 0;
        std::uint64_t tick = 0;
        bool afterGap = false;
    };
    std::array<Taken, 8192> taken_{};  // 200 KB; a pause of twenty minutes and more
    std::size_t takenCount_ = 0;       // ever taken
    std::size_t takenEnd_ = 0;         // end_ when the newest was taken
    std::uint64_t ticks_ = 0;
};

}  // namespace ecu
