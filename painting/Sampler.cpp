// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/Sampler.h"

namespace display {

Sampler::Sampler(klink::LinkData& link, ecu::SessionHistory& history, std::function<void(Repaint)> requestRepaint,
                 std::function<void()> killTimer)
    : link_(link), history_(history), requestRepaint_(std::move(requestRepaint)), killTimer_(std::move(killTimer)) {}

void Sampler::tick() {
    // "Старт" enabled means the link is not running: the timer ends itself,
    // and this tick still goes on.
    if (link_.startEnabled.load(std::memory_order_acquire) == 1) killTimer_();
    if (link_.dataValid.load(std::memory_order_acquire) != 1) {
        requestRepaint_(Repaint::StripOnly);
        return;
    }
    history_.ageAll();
    // The link raises sampleReady after every pass; whether the pass
    // measured, and so has samples, the history says: it keeps only those.
    // A pass kept after this tick's look is taken at the next.
    link_.sampleReady.store(0, std::memory_order_release);
    history_.takeNewest();
    requestRepaint_(Repaint::All);
}

}  // namespace display
