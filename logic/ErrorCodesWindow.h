// SPDX-License-Identifier: GPL-3.0-or-later
// What the error-codes window does, apart from any toolkit: the rows it
// shows, read from one copy of the link's error-code reply (the count and
// the records always from the same reply), the clear command, and what
// closing ends; as a window: the table and count refreshed every 500 ms,
// "Сброс" and "Выход".
#pragma once

#include <string>
#include <vector>

#include "ecu/DtcTable.h"
#include "link/LinkCommandBlock.h"
#include "logic/WindowLogic.h"

namespace logic {

class ErrorCodesWindow : public ui::WindowLogic {
public:
    struct Row {
        std::string code;                 // "P  0130"
        const std::string* text;          // 1251; none for a code outside the table
        ecu::DtcStatusPictures pictures;  // lamp, storage, test, symptom
    };

    explicit ErrorCodesWindow(klink::LinkCommandBlock& command, bool clearAllowed = true);

    // The rows of the reply the link holds now; the face refreshes every 500 ms.
    std::vector<Row> refresh();
    // A replay has nothing that could answer the clear command.
    void setClearAllowed(bool allowed);
    bool clearAllowed() const { return clearAllowed_; }
    // "Сброс": the codes shown are forgotten and the clear goes out once; false
    // when not allowed (nothing is posted).
    bool clear();
    // "Сохранить": the drive's report with these codes, saved and opened.
    std::function<void()> saveReport;
    // However the window closes: the codes stop being read.
    void closing() override { klink::clearFlag(command_.dtcReadRequest); }

    // The window: "Сброс" clears the table down to its first row (which
    // keeps what it showed) and the codes; "Выход" closes.
    int tickMs() const override { return 500; }
    void tick() override;
    void pressed(int id, bool on) override;

private:
    klink::LinkCommandBlock& command_;
    klink::DtcReplyBuffer::Bytes copy_{};
    std::uint64_t received_ = 0;  // replies the link had stored at the last refresh
    std::uint64_t since_ = 0;     // ... when the window opened, or at the last clear
    bool readPending_ = true;     // the next reply is noted as a reading
    bool clearAllowed_ = true;
};

}  // namespace logic
