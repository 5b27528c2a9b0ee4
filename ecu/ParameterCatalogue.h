// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed list of 79 parameters, numbered 1..79: the number is what a chart
// preset stores. All texts are code page 1251.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "ecu/ParameterTable.h"

namespace ecu {

// A text drawn at a pixel position of a chart panel (baseline origin, from
// the panel's top-left corner).
struct PlacedText {
    std::string text;
    int x;
    int y;
};

struct Parameter {
    int number = 0;
    std::string mnemonic;
    ParameterKind kind = ParameterKind::Reserved;
    int decimals = -1;
    std::string listText;
    std::string chartCaption;
    std::vector<PlacedText> scaleLabels;
    // Companion readout: prefix + the source parameter's valueText + unit.
    int companionSource = 0;  // 0: none
    std::string companionPrefix;
    std::string companionUnit;

    bool hasHistory() const {
        return kind == ParameterKind::Analogue || kind == ParameterKind::Counter || kind == ParameterKind::Flag;
    }
};

class ParameterCatalogue {
public:
    static const ParameterCatalogue& instance();

    // Numbers outside 1..79 select nothing.
    const Parameter* byNumber(int number) const;
    const std::array<Parameter, kParameterCount>& all() const { return params_; }

    // Pixel positions of the chart texts.
    static constexpr int kCaptionX = 180, kCaptionY = 10;
    static constexpr int kCompanionX = 600, kCompanionY = 10;

private:
    ParameterCatalogue();
    std::array<Parameter, kParameterCount> params_;
};

// The twenty flags in catalogue order with their bit in the bit-encoded bytes.
struct FlagBit {
    int number;
    int byteIndex;  // 0 Byte1, 1 Byte2, 2 Byte3
    int bit;
};
extern const std::array<FlagBit, 20> kFlagBits;

}  // namespace ecu
