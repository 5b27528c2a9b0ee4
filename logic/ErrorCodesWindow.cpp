// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/ErrorCodesWindow.h"

namespace logic {

std::vector<ErrorCodesWindow::Row> ErrorCodesWindow::refresh() {
    // The count and the records from one copy: the link may store a new
    // reply at any moment.
    copy_ = command_.dtcReply.copy();
    const ecu::DtcReply reply{{copy_.data(), copy_.size()}};
    std::vector<Row> rows;
    rows.reserve(reply.count());
    for (std::size_t k = 0; k < reply.count(); ++k) {
        const ecu::DtcRecord r = reply.record(k);
        rows.push_back({ecu::shownCode(r.high, r.low), ecu::dtcText(r.high, r.low), ecu::dtcPictures(r.status)});
    }
    return rows;
}

bool ErrorCodesWindow::clear() {
    if (!clearAllowed_) return false;
    copy_.fill(0);
    command_.dtcReply.zero();
    klink::post(command_.dtcClearRequest);
    return true;
}

}  // namespace logic
