// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/LiveData.h"

#include <cmath>

#include "ecu/ParameterCatalogue.h"

namespace ecu {

std::string BitByteRecord::chartText() const {
    std::string s(8, '0');
    for (int k = 0; k < 8; ++k) s[static_cast<std::size_t>(7 - k)] = bitText[static_cast<std::size_t>(k)];
    return s;
}

void LiveData::setFlagNames() {
    for (const FlagBit& fb : kFlagBits)
        flag[static_cast<std::size_t>(fb.number)].flagName =
            ParameterCatalogue::instance().byNumber(fb.number)->mnemonic;
}

std::string LiveData::chartReadout(int number) const {
    const Parameter* p = ParameterCatalogue::instance().byNumber(number);
    if (!p) return {};
    const auto n = static_cast<std::size_t>(number);
    switch (p->kind) {
        case ParameterKind::Analogue:
            return analogue[n].valueText;
        case ParameterKind::Flag:
            return flag[n].flagName;
        case ParameterKind::Counter:
            return std::to_string(counter[n].count);
        case ParameterKind::ErrorCount:
            return std::to_string(errorCount);
        case ParameterKind::Checksum:
            return checksumText[0] + checksumText[1];
        case ParameterKind::BitByte: {
            const int index = number == 34 ? kByte1 : number == 35 ? kByte2 : number == 36 ? kByte3 : kEvsup1;
            return bitByte[static_cast<std::size_t>(index)].chartText();
        }
        case ParameterKind::Reserved:
            return {};
    }
    return {};
}

std::int32_t LiveData::sample(int number) const {
    const Parameter* p = ParameterCatalogue::instance().byNumber(number);
    if (!p) return 0;
    const auto n = static_cast<std::size_t>(number);
    auto truncate = [](float v) -> std::int32_t {
        // Truncation toward zero; values a 32-bit sample cannot hold are
        // pinned to its range instead of being undefined.
        if (std::isnan(v)) return 0;
        if (v >= 2147483520.0f) return INT32_MAX;
        if (v <= -2147483648.0f) return INT32_MIN;
        return static_cast<std::int32_t>(v);
    };
    switch (p->kind) {
        case ParameterKind::Analogue:
            return truncate(analogue[n].plotValue);
        case ParameterKind::Counter:
            return truncate(counter[n].plotValue);
        case ParameterKind::Flag:
            return flag[n].plotValue;
        default:
            return 0;
    }
}

}  // namespace ecu
