// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/EcuDecoder.h"

#include "ecu/Identification.h"
#include "ecu/LiveDecoder.h"

namespace ecu {

void EcuDecoder::decodePass(klink::ReplyView l01, klink::ReplyView l03, bool measured) {
    store_.write([&](LiveData& d) {
        if (measured) d.thrFraction = thrMeasured_;
        thrBefore_ = d.thrFraction;
        decodeLiveData({l01.data, l01.size}, {l03.data, l03.size}, d, separator_);
        if (measured) thrMeasured_ = d.thrFraction;
        return 0;
    });
}

std::array<std::string, klink::kIdentTextCount> EcuDecoder::buildIdentification(
    const klink::IdentificationReplies& replies) {
    return buildIdentTexts(replies);
}

}  // namespace ecu
