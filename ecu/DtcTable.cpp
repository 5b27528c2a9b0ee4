// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/DtcTable.h"

#include <vector>

#include "platform/Cp1251.h"
#include "platform/Hex.h"

namespace ecu {
namespace {

struct ConvertedTexts {
    std::vector<std::string> texts;
    ConvertedTexts() {
        for (const DtcTextRow& r : dtcTextRows()) texts.push_back(cp1251::fromUtf8(r.textUtf8));
    }
};

const ConvertedTexts& converted() {
    static const ConvertedTexts t;
    return t;
}

}  // namespace

DtcStatusPictures dtcPictures(std::uint8_t s) {
    DtcStatusPictures p{};
    p.lamp = (s & 0x80) ? DtcPicture::Lamp : DtcPicture::None;
    switch ((s >> 5) & 3) {
        case 3:
            p.storage = DtcPicture::Present;
            break;
        case 2:
            p.storage = DtcPicture::Intermittent;
            break;
        case 1:
            p.storage = DtcPicture::StoredInactive;
            break;
        default:
            p.storage = DtcPicture::None;
            break;
    }
    p.test = (s & 0x10) ? DtcPicture::TestNotCompleted : DtcPicture::TestCompleted;
    // Drawn bit 0 first, each over the previous: the highest set bit shows.
    p.symptom = DtcPicture::None;
    if (s & 0x01) p.symptom = DtcPicture::AboveMaximum;
    if (s & 0x02) p.symptom = DtcPicture::BelowMinimum;
    if (s & 0x04) p.symptom = DtcPicture::NoSignal;
    if (s & 0x08) p.symptom = DtcPicture::InvalidSignal;
    return p;
}

std::string shownCode(std::uint8_t high, std::uint8_t low) {
    return "P  " + platform::hexByte(high) + platform::hexByte(low);
}

const std::string* dtcText(std::uint8_t high, std::uint8_t low) {
    const auto rows = dtcTextRows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].high == high && rows[i].low == low) return &converted().texts[i];
    return nullptr;
}

}  // namespace ecu
