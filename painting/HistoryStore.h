// SPDX-License-Identifier: GPL-3.0-or-later
// The chart histories: for each of the 64 charted parameters, 1025 slots of
// value and age. Slot 0 stages a new sample; slots 1..1024 hold the newest to
// the oldest. Shifted in place, never a ring: slot k is the k-th newest. The
// sampler writes on its timer thread and a paint copies one history on the
// user-interface thread, each under the store's lock.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "ecu/ParameterTable.h"

namespace display {

constexpr std::size_t kHistorySlots = 1025;

struct HistoryBuffer {
    std::array<std::int32_t, kHistorySlots> historyValue{};
    std::array<std::int32_t, kHistorySlots> historyAge{};
    // 1 where the sample is the first after a gap in the data (the link
    // reconnected): nothing joins it to the older one.
    std::array<std::uint8_t, kHistorySlots> afterGap{};
};

// Samples of every parameter by number (0 where it has no history).
using SampleSet = std::array<std::int32_t, ecu::kParameterCount + 1>;

class HistoryStore {
public:
    HistoryStore();  // value 0 and age i in every slot i

    static bool hasHistory(int number);
    // One tick: every age of every history + 1.
    void ageAll();
    // A new sample for every charted parameter, shifted into slot 1;
    // afterGap: the first after a gap in the data.
    void shiftIn(const SampleSet& samples, bool afterGap = false);
    // Copies the history of a parameter; false if it has none.
    bool copy(int number, HistoryBuffer& out) const;

private:
    static int slotOf(int number);

    mutable std::mutex mutex_;
    std::array<HistoryBuffer, 64> buffers_;  // their afterGap unused: gaps_ holds it once for all
    std::array<std::uint8_t, kHistorySlots> gaps_{};
};

}  // namespace display
