// SPDX-License-Identifier: GPL-3.0-or-later
// Any error-code reply: counts larger than what arrived, any status byte.
#include "ecu/DtcTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ecu::DtcReply reply{{data, size > 1024 ? 1024 : size}};
    std::size_t total = 0;
    for (std::size_t k = 0; k < reply.count(); ++k) {
        const ecu::DtcRecord r = reply.record(k);
        total += ecu::shownCode(r.high, r.low).size();
        if (const std::string* t = ecu::dtcText(r.high, r.low)) total += t->size();
        const auto p = ecu::dtcPictures(r.status);
        total += static_cast<std::size_t>(p.symptom) + static_cast<std::size_t>(p.storage);
    }
    volatile std::size_t sink = total;
    (void)sink;
    return 0;
}
