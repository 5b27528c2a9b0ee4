// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/HistoryStore.h"

#include <cstring>

#include "ecu/ParameterCatalogue.h"

namespace display {
namespace {

// Parameter number to history slot, -1 for none.
struct SlotMap {
    std::array<int, ecu::kParameterCount + 1> slot{};
    SlotMap() {
        slot.fill(-1);
        int next = 0;
        for (const auto& p : ecu::ParameterCatalogue::instance().all())
            if (p.hasHistory()) slot[static_cast<std::size_t>(p.number)] = next++;
    }
};

const SlotMap& slots() {
    static const SlotMap m;
    return m;
}

}  // namespace

HistoryStore::HistoryStore() {
    for (auto& b : buffers_)
        for (std::size_t i = 0; i < kHistorySlots; ++i) {
            b.historyValue[i] = 0;
            b.historyAge[i] = static_cast<std::int32_t>(i);
        }
}

int HistoryStore::slotOf(int number) {
    if (number < 1 || number > static_cast<int>(ecu::kParameterCount)) return -1;
    return slots().slot[static_cast<std::size_t>(number)];
}

bool HistoryStore::hasHistory(int number) { return slotOf(number) >= 0; }

void HistoryStore::ageAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& b : buffers_)
        for (auto& age : b.historyAge) ++age;
}

void HistoryStore::shiftIn(const SampleSet& samples, bool afterGap) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::memmove(&gaps_[1], &gaps_[0], kHistorySlots - 1);
    gaps_[1] = afterGap ? 1 : 0;
    for (std::size_t n = 1; n < samples.size(); ++n) {
        const int s = slots().slot[n];
        if (s < 0) continue;
        HistoryBuffer& b = buffers_[static_cast<std::size_t>(s)];
        b.historyValue[0] = samples[n];
        b.historyAge[0] = 0;
        // Slots 0..1023 move to 1..1024; the oldest sample drops out.
        std::memmove(&b.historyValue[1], &b.historyValue[0], (kHistorySlots - 1) * sizeof(std::int32_t));
        std::memmove(&b.historyAge[1], &b.historyAge[0], (kHistorySlots - 1) * sizeof(std::int32_t));
    }
}

bool HistoryStore::copy(int number, HistoryBuffer& out) const {
    const int s = slotOf(number);
    if (s < 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const HistoryBuffer& b = buffers_[static_cast<std::size_t>(s)];
    out.historyValue = b.historyValue;
    out.historyAge = b.historyAge;
    out.afterGap = gaps_;
    return true;
}

}  // namespace display
