// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/EcuDecoder.h"

#include "ecu/Identification.h"
#include "ecu/LiveDecoder.h"

namespace ecu {

void EcuDecoder::decodePass(klink::ReplyView l01, klink::ReplyView l03) {
    store_.write([&](LiveData& d) {
        thrBefore_ = d.thrFraction;
        decodeLiveData({l01.data, l01.size}, {l03.data, l03.size}, d, separator_);
        return 0;
    });
}

std::array<std::string, klink::kIdentTextCount> EcuDecoder::buildIdentification(
    const klink::IdentificationReplies& replies) {
    return buildIdentTexts(replies);
}

}  // namespace ecu
