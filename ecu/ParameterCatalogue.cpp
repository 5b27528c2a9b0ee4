// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/ParameterCatalogue.h"

#include "platform/Cp1251.h"

namespace ecu {
namespace {

// Middle label lower down for the temperatures and the lambda voltage, whose
// "0" sits near the bottom of their band; ADC_BS's "-6" starts further left.
int middleLabelY(int number) { return (number == 65 || number == 69 || number == 70 || number == 74) ? 90 : 60; }
int bottomLabelX(int number) { return number == 3 ? 15 : 18; }

std::vector<PlacedText> placeLabels(const ParameterRow& row) {
    std::vector<PlacedText> out;
    const auto& l = row.scaleLabels;
    if (!l[0]) return out;
    out.push_back({cp1251::fromUtf8(l[0]), 18, 10});
    if (row.kind == ParameterKind::Flag) {
        if (l[1]) out.push_back({cp1251::fromUtf8(l[1]), 18, 115});
        return out;
    }
    if (l[1]) out.push_back({cp1251::fromUtf8(l[1]), 18, middleLabelY(row.number)});
    if (l[2]) out.push_back({cp1251::fromUtf8(l[2]), bottomLabelX(row.number), 115});
    return out;
}

}  // namespace

const std::array<FlagBit, 20> kFlagBits = {{
    {15, 0, 4}, {16, 0, 3}, {17, 1, 0}, {18, 1, 2}, {19, 0, 5}, {20, 0, 6}, {21, 0, 0},
    {22, 1, 3}, {23, 1, 6}, {24, 2, 1}, {25, 2, 0}, {26, 0, 7}, {27, 1, 4}, {28, 2, 3},
    {29, 1, 5}, {30, 2, 2}, {31, 1, 7}, {32, 1, 1}, {33, 0, 1}, {64, 0, 2},
}};

const ParameterCatalogue& ParameterCatalogue::instance() {
    static const ParameterCatalogue catalogue;
    return catalogue;
}

ParameterCatalogue::ParameterCatalogue() {
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        const ParameterRow& row = kParameterRows[i];
        Parameter& p = params_[i];
        p.number = row.number;
        p.mnemonic = row.mnemonic;
        p.kind = row.kind;
        p.decimals = row.decimals;
        p.listText = cp1251::fromUtf8(row.listText);
        p.chartCaption = cp1251::fromUtf8(row.chartCaption);
        p.scaleLabels = placeLabels(row);
        if (row.companion.prefix) {
            p.companionSource = row.companion.source;
            p.companionPrefix = cp1251::fromUtf8(row.companion.prefix);
            p.companionUnit = cp1251::fromUtf8(row.companion.unit);
        }
    }
}

const Parameter* ParameterCatalogue::byNumber(int number) const {
    if (number < 1 || number > static_cast<int>(kParameterCount)) return nullptr;
    return &params_[static_cast<std::size_t>(number - 1)];
}

}  // namespace ecu
