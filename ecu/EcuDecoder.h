// SPDX-License-Identifier: GPL-3.0-or-later
// The meaning layer's hook into the link: decodes each pass into the live
// data and builds the identification texts at each set-up.
#pragma once

#include "ecu/LiveData.h"
#include "link/LinkHooks.h"

namespace ecu {

class EcuDecoder : public klink::LinkHooks {
public:
    explicit EcuDecoder(LiveDataStore& store, char decimalSeparator = '.')
        : store_(store), separator_(decimalSeparator) {}

    void decodePass(klink::ReplyView liveData01, klink::ReplyView liveData03, bool measured) override;
    std::array<std::string, klink::kIdentTextCount> buildIdentification(
        const klink::IdentificationReplies& replies) override;
    // The throttle fraction the last pass's decoding started from. It is
    // carried from pass to pass, and into a measured pass only from the last
    // measured one: a pass with a gap never passes its bytes on. The link's
    // thread.
    float thrBeforeLastPass() const { return thrBefore_; }

private:
    LiveDataStore& store_;
    char separator_;
    float thrBefore_ = 0;
    float thrMeasured_ = 0;  // after the last measured pass
};

}  // namespace ecu
