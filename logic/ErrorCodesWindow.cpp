// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/ErrorCodesWindow.h"

#include "diagnosis/Report.h"

#include "platform/Cp1251.h"

namespace logic {

ErrorCodesWindow::ErrorCodesWindow(klink::LinkCommandBlock& command, bool clearAllowed)
    : WindowLogic(ui::errorCodesWindow()), command_(command) {
    setClearAllowed(clearAllowed);
    show(ui::kCodesTable).rows.resize(1);  // the header and an empty first row
    // A reply from before the window opened is no reading of this one.
    command_.dtcReply.copy(since_);
}

void ErrorCodesWindow::setClearAllowed(bool allowed) {
    clearAllowed_ = allowed;
    show(ui::kClear).enabled = allowed;
}

std::vector<ErrorCodesWindow::Row> ErrorCodesWindow::refresh() {
    // The count and the records from one copy: the link may store a new
    // reply at any moment.
    copy_ = command_.dtcReply.copy(received_);
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
    if (!clearAllowed_ || !commandMayGo()) return false;
    // The report keeps what was cleared.
    std::string cleared;
    for (const Row& r : refresh())
        cleared += (cleared.empty() ? ": " : "; ") + r.code + (r.text ? " " + cp1251::toUtf8(*r.text) : "");
    // Not done, the codes are those read before: the reason is what matters.
    noteWhenAnswered({0x14, 0x00, 0x00}, "codes-cleared", "коды ошибок стёрты" + cleared,
                     "стирание кодов ошибок не выполнено");
    since_ = received_;  // the reading after the clear is noted too
    readPending_ = true;
    copy_.fill(0);
    command_.dtcReply.awaitClear();
    klink::post(command_.dtcClearRequest);
    return true;
}

}  // namespace logic

namespace logic {

void ErrorCodesWindow::tick() {
    const std::vector<Row> rows = refresh();
    // The first reply of this opening (and the first after a clear) is a
    // reading of the codes.
    if (readPending_ && received_ > since_) {
        note("codes-read", diagnosis::codesRead(copy_.data(), copy_.size()));
        readPending_ = false;
    }
    // No count before any reading came: an empty table is then no "0".
    show(ui::kCount).text = command_.dtcReply.state() == klink::DtcReplyBuffer::State::NotRead
                                ? std::string()
                                : std::to_string(rows.size());
    std::vector<std::vector<ui::Cell>>& table = show(ui::kCodesTable).rows;
    table.assign(rows.size(), std::vector<ui::Cell>(ui::codesColumns().size()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const Row& r = rows[k];
        std::vector<ui::Cell>& cells = table[k];
        cells[0].text = r.code;
        // A code outside the table has no text: the row's text before was
        // another code's, and read beside this one it would name a fault
        // the ECU never reported.
        cells[5].text = r.text ? cp1251::toUtf8(*r.text) : std::string();
        cells[1].picture = static_cast<int>(r.pictures.lamp);
        cells[2].picture = static_cast<int>(r.pictures.storage);
        cells[3].picture = static_cast<int>(r.pictures.test);
        cells[4].picture = static_cast<int>(r.pictures.symptom);
    }
}

void ErrorCodesWindow::pressed(int id, bool) {
    if (id == ui::kErrorsExit) {
        askClose();
    } else if (id == ui::kSaveCodes) {
        if (saveReport) saveReport();
    } else if (id == ui::kClear && clear()) {
        // The first row stays as it was; the rest go, and the next refresh
        // comes a whole period later.
        show(ui::kCodesTable).rows = {std::vector<ui::Cell>(ui::codesColumns().size())};
        askTimerRestart();
    }
}

}  // namespace logic
