// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/SessionHistory.h"

#include <algorithm>

#include "ecu/LiveDecoder.h"
#include "ecu/ParameterCatalogue.h"

namespace ecu {

int chartedSlot(int number) {
    static const std::array<int, kParameterCount + 1> slots = [] {
        std::array<int, kParameterCount + 1> s{};
        s.fill(-1);
        int next = 0;
        for (const Parameter& p : ParameterCatalogue::instance().all())
            if (p.hasHistory()) s[static_cast<std::size_t>(p.number)] = next++;
        return s;
    }();
    return number >= 1 && static_cast<std::size_t>(number) <= kParameterCount ? slots[static_cast<std::size_t>(number)]
                                                                              : -1;
}

void takeSamples(const LiveData& decoded, PassRecord& record) {
    for (const Parameter& p : ParameterCatalogue::instance().all()) {
        const int slot = chartedSlot(p.number);
        if (slot < 0) continue;
        const std::int32_t v = decoded.sample(p.number);
        record.samples[static_cast<std::size_t>(slot)] = static_cast<std::int16_t>(std::clamp(v, -32767, 32767));
    }
}

std::size_t SessionHistory::first() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_;
}

std::size_t SessionHistory::end() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return end_;
}

void SessionHistory::add(const PassRecord& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t offset = end_ - first_;
    if (offset == chunks_.size() * kChunkPasses) {
        if (offset >= kMaxPasses) {
            // The oldest chunk makes room: its memory is used again.
            std::unique_ptr<Chunk> oldest = std::move(chunks_.front());
            chunks_.erase(chunks_.begin());
            chunks_.push_back(std::move(oldest));
            first_ += kChunkPasses;
        } else {
            chunks_.push_back(std::make_unique<Chunk>());
        }
    }
    const std::size_t o = end_ - first_;
    (*chunks_[o / kChunkPasses])[o % kChunkPasses] = r;
    ++end_;
}

void SessionHistory::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    chunks_.clear();
    first_ = end_ = 0;
    takenCount_ = takenEnd_ = 0;
}

const PassRecord& SessionHistory::at(std::size_t index) const {
    const std::size_t o = index - first_;
    return (*chunks_[o / kChunkPasses])[o % kChunkPasses];
}

bool SessionHistory::copy(std::size_t index, PassRecord& out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < first_ || index >= end_) return false;
    out = at(index);
    return true;
}

std::int64_t SessionHistory::timeAt(std::size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < first_ || index >= end_) return 0;
    return at(index).timeMs;
}

std::size_t SessionHistory::lowerBoundLocked(std::int64_t timeMs) const {
    std::size_t lo = first_, hi = end_;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (at(mid).timeMs < timeMs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::size_t SessionHistory::lowerBound(std::int64_t timeMs) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lowerBoundLocked(timeMs);
}

std::size_t SessionHistory::nearest(std::int64_t timeMs) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (first_ == end_) return end_;
    const std::size_t i = lowerBoundLocked(timeMs);
    if (i == end_) return end_ - 1;
    if (i == first_) return i;
    return timeMs - at(i - 1).timeMs <= at(i).timeMs - timeMs ? i - 1 : i;
}

void SessionHistory::trace(int number, std::size_t from, std::size_t to, std::vector<TracePoint>& out) const {
    out.clear();
    const int slot = chartedSlot(number);
    if (slot < 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    from = std::max(from, first_);
    to = std::min(to, end_);
    for (std::size_t i = from; i < to; ++i) {
        const PassRecord& r = at(i);
        out.push_back({r.timeMs, r.samples[static_cast<std::size_t>(slot)], r.afterGap});
    }
}

bool SessionHistory::decode(std::size_t index, char decimalSeparator, LiveData& out, PassRecord* kept) const {
    // Decoded outside the lock from a copy: the link goes on meanwhile.
    static thread_local PassRecord copied;
    PassRecord& r = kept ? *kept : copied;
    if (!copy(index, r)) return false;
    out = LiveData{};
    out.setFlagNames();
    out.thrFraction = r.thrBefore;
    decodeLiveData({r.liveData01.data(), r.liveData01.size()}, {r.liveData03.data(), r.liveData03.size()}, out,
                   decimalSeparator);
    return true;
}

std::size_t SessionHistory::bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return chunks_.size() * sizeof(Chunk) + chunks_.capacity() * sizeof(chunks_[0]) + sizeof(*this);
}

void SessionHistory::ageAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++ticks_;
}

std::uint64_t SessionHistory::ticks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ticks_;
}

bool SessionHistory::takeNewest() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (end_ == first_ || end_ == takenEnd_) return false;
    // Passes kept since the last take but not taken (the ticks fell behind)
    // still carry their gap to the pass taken now.
    bool afterGap = false;
    for (std::size_t i = std::max(takenEnd_, first_); i < end_; ++i) afterGap = afterGap || at(i).afterGap;
    taken_[takenCount_ % taken_.size()] = {end_ - 1, ticks_, afterGap};
    ++takenCount_;
    takenEnd_ = end_;
    return true;
}

std::size_t SessionHistory::takenBy(std::uint64_t tick) const {
    // Ticks only grow along the ring: the first entry taken after `tick`.
    std::size_t lo = oldestTaken(), hi = takenCount_;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (taken_[mid % taken_.size()].tick <= tick)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool SessionHistory::liveHistoryKept(std::uint64_t tick) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = takenBy(tick);
    const std::size_t needed = std::min(n, kHistorySlots - 1);
    if (n - needed < oldestTaken()) return false;
    return needed == 0 || taken_[(n - needed) % taken_.size()].index >= first_;
}

bool SessionHistory::newestTaken(std::uint64_t tick, std::int64_t& timeMs, std::uint64_t& takenAt) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = takenBy(tick);
    if (n == 0 || n - 1 < oldestTaken()) return false;
    const Taken& t = taken_[(n - 1) % taken_.size()];
    if (t.index < first_) return false;
    timeMs = at(t.index).timeMs;
    takenAt = t.tick;
    return true;
}

bool SessionHistory::liveHistory(int number, std::uint64_t tick, HistoryBuffer& out) const {
    const int slot = chartedSlot(number);
    if (slot < 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = takenBy(tick);  // samples taken up to tick `tick`
    const std::size_t oldestInRing = oldestTaken();
    const auto age = [tick](std::uint64_t since) { return static_cast<std::int32_t>(tick - since); };
    std::size_t k = 1;
    for (; k < kHistorySlots && k <= n && n - k >= oldestInRing; ++k) {
        const Taken& t = taken_[(n - k) % taken_.size()];
        if (t.index < first_) break;  // that pass made room for newer ones
        out.historyValue[k] = at(t.index).samples[static_cast<std::size_t>(slot)];
        out.historyAge[k] = age(t.tick);
        out.afterGap[k] = t.afterGap ? 1 : 0;
    }
    // The slots no sample reached, aged since the window opened.
    for (std::size_t e = k; e < kHistorySlots; ++e) {
        out.historyValue[e] = 0;
        out.historyAge[e] = static_cast<std::int32_t>(static_cast<std::int64_t>(e) -
                                                      static_cast<std::int64_t>(std::min(n, kHistorySlots - 1)) +
                                                      static_cast<std::int64_t>(tick));
        out.afterGap[e] = 0;
    }
    out.historyValue[0] = k > 1 ? out.historyValue[1] : 0;
    out.historyAge[0] = k > 1 ? out.historyAge[1] : static_cast<std::int32_t>(tick);
    out.afterGap[0] = 0;
    return true;
}

}  // namespace ecu
