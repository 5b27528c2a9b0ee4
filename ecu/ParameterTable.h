// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue's source rows (UTF-8). Use ParameterCatalogue, which holds
// them converted to code page 1251 with the label positions worked out.
#pragma once

#include <array>
#include <cstddef>

namespace ecu {

constexpr std::size_t kParameterCount = 79;

enum class ParameterKind { Analogue, Flag, Counter, BitByte, Checksum, ErrorCount, Reserved };

struct ParameterRow {
    int number;
    const char* mnemonic;
    ParameterKind kind;
    int decimals;  // of valueText; -1 where there is none
    const char* listText;
    const char* chartCaption;
    std::array<const char*, 3> scaleLabels;  // nullptr where absent
    struct {
        const char* prefix = nullptr;
        int source = 0;
        const char* unit = nullptr;
    } companion;
};

extern const std::array<ParameterRow, kParameterCount> kParameterRows;

}  // namespace ecu
