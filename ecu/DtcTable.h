// SPDX-License-Identifier: GPL-3.0-or-later
// Error codes: the count and records of the error-code reply, the shown code,
// the code's text and the four status indications.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/LinkHooks.h"

namespace ecu {

struct DtcTextRow {
    std::uint8_t high;
    std::uint8_t low;
    const char* textUtf8;
};
// The texts' table (ecu/DtcTextTable.cpp): a code's text is its one row there.
std::span<const DtcTextRow> dtcTextRows();

// The ten status pictures.
enum class DtcPicture {
    None,
    Lamp,
    Present,
    Intermittent,
    StoredInactive,
    TestNotCompleted,
    TestCompleted,
    AboveMaximum,
    BelowMinimum,
    InvalidSignal,
    NoSignal,
};

struct DtcStatusPictures {
    DtcPicture lamp;     // column 1: bit 7
    DtcPicture storage;  // column 2: bits 6 and 5
    DtcPicture test;     // column 3: bit 4
    DtcPicture symptom;  // column 4: the highest set of bits 0..3
};

DtcStatusPictures dtcPictures(std::uint8_t status);

// "P  " and the two bytes as four upper-case hexadecimal digits.
std::string shownCode(std::uint8_t high, std::uint8_t low);

// The code's text in code page 1251; nullptr for a code not in the table.
// Compared on the raw bytes.
const std::string* dtcText(std::uint8_t high, std::uint8_t low);

struct DtcRecord {
    std::uint8_t high;
    std::uint8_t low;
    std::uint8_t status;
};

// The reply's fixed positions: the count at 12, record k at 13 + 3k. The
// count is not checked against what arrived; a position beyond the buffer
// reads as zero.
struct DtcReply {
    static constexpr std::size_t kCount = 12;
    static constexpr std::size_t kFirstRecord = 13;
    static constexpr std::size_t kRecordSize = 3;
    klink::ReplyView bytes;
    std::size_t count() const { return bytes[kCount]; }
    DtcRecord record(std::size_t k) const {
        const std::size_t p = kFirstRecord + kRecordSize * k;
        return {bytes[p], bytes[p + 1], bytes[p + 2]};
    }
};

}  // namespace ecu
