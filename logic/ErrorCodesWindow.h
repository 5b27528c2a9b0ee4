// SPDX-License-Identifier: GPL-3.0-or-later
// What the error-codes window does, apart from any toolkit: the rows it
// shows, read from one copy of the link's error-code reply (the count and
// the records always from the same reply), the clear command, and what
// closing ends.
#pragma once

#include <string>
#include <vector>

#include "ecu/DtcTable.h"
#include "link/LinkCommandBlock.h"

namespace logic {

class ErrorCodesWindow {
public:
    struct Row {
        std::string code;                 // "P  0130"
        const std::string* text;          // 1251; none for a code outside the table
        ecu::DtcStatusPictures pictures;  // lamp, storage, test, symptom
    };

    explicit ErrorCodesWindow(klink::LinkCommandBlock& command) : command_(command) {}

    // The rows of the reply the link holds now; the face refreshes every 500 ms.
    std::vector<Row> refresh();
    // A replay has nothing that could answer the clear command.
    void setClearAllowed(bool allowed) { clearAllowed_ = allowed; }
    bool clearAllowed() const { return clearAllowed_; }
    // "Сброс": the codes shown are forgotten and the clear goes out once; false
    // when not allowed (nothing is posted).
    bool clear();
    // However the window closes: the codes stop being read.
    void closing() { klink::clearFlag(command_.dtcReadRequest); }

private:
    klink::LinkCommandBlock& command_;
    klink::DtcReplyBuffer::Bytes copy_{};
    bool clearAllowed_ = true;
};

}  // namespace logic
