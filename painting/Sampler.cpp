// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/Sampler.h"

namespace display {

Sampler::Sampler(klink::LinkData& link, const ecu::LiveDataStore& live, HistoryStore& histories,
                 std::function<void(Repaint)> requestRepaint, std::function<void()> killTimer)
    : link_(link), live_(live), histories_(histories), requestRepaint_(std::move(requestRepaint)),
      killTimer_(std::move(killTimer)) {}

void Sampler::tick() {
    // "Старт" enabled means the link is not running: the timer ends itself,
    // and this tick still goes on.
    if (link_.startEnabled.load(std::memory_order_acquire) == 1) killTimer_();
    if (link_.dataValid.load(std::memory_order_acquire) != 1) {
        requestRepaint_(Repaint::StripOnly);
        return;
    }
    histories_.ageAll();
    if (link_.sampleReady.exchange(0, std::memory_order_acq_rel) == 1) {
        SampleSet samples{};
        live_.read([&samples](const ecu::LiveData& d) {
            for (std::size_t n = 1; n < samples.size(); ++n) samples[n] = d.sample(static_cast<int>(n));
            return 0;
        });
        // The first sample after the link reconnected starts a new trace.
        const std::uint32_t reconnections = link_.reconnections.load(std::memory_order_acquire);
        histories_.shiftIn(samples, reconnections != reconnectionsSeen_);
        reconnectionsSeen_ = reconnections;
    }
    requestRepaint_(Repaint::All);
}

}  // namespace display
