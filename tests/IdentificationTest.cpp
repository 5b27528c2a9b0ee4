// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "ecu/Identification.h"

TEST(Identification, TextsAreCopiedByteForByteZerosIncluded) {
    std::array<std::uint8_t, 130> ecuId{};
    std::array<std::uint8_t, 21> a1{}, a2{};
    std::array<std::uint8_t, 30> a3{};
    const std::string vin = "XTA21700080123456";
    for (std::size_t i = 0; i < vin.size(); ++i) ecuId[12 + i] = static_cast<std::uint8_t>(vin[i]);
    for (std::size_t i = 29; i <= 44; ++i) ecuId[i] = 'S';
    ecuId[35] = 0;
    ecuId[104] = 'Z';
    ecuId[105] = 'X';  // beyond the last field
    a1[11] = 0xCF;
    a1[17] = 0x01;  // a control character stays as it is
    a2[11] = '2';
    a3[20] = '5';
    const klink::IdentificationReplies r{
        {a1.data(), a1.size()}, {a2.data(), a2.size()}, {a3.data(), a3.size()}, {ecuId.data(), ecuId.size()}};
    const auto t = ecu::buildIdentTexts(r);
    EXPECT_EQ(t[0], vin);
    EXPECT_EQ(t[1].size(), 16u);
    EXPECT_EQ(klink::shownText(t[1]), "SSSSSS");
    EXPECT_EQ(t[7].size(), 8u);
    EXPECT_EQ(t[7].back(), 'Z');
    EXPECT_EQ(t[9][0], '\xCF');
    EXPECT_EQ(t[9][6], '\x01');
    // Shown up to the first zero, control bytes as spaces: a face would draw
    // nothing of a text with one, a terminal would take it as a command.
    EXPECT_EQ(klink::shownText(std::string("AB\nC\x1b[31m\x7f\0D", 12)), "AB C [31m ");
    EXPECT_EQ(t[8][0], '2');
    EXPECT_EQ(t[10].size(), 10u);
    EXPECT_EQ(t[10][9], '5');
    const std::size_t lengths[] = {17, 16, 10, 10, 15, 7, 10, 8, 7, 7, 10};
    for (std::size_t k = 0; k < t.size(); ++k) EXPECT_EQ(t[k].size(), lengths[k]);

    // Nothing received at all: every text is zeros and shows as empty;
    // replies shorter than their fields read as zeros past their end.
    const klink::IdentificationReplies none{{a1.data(), 0}, {a2.data(), 3}, {a3.data(), 0}, {ecuId.data(), 12}};
    for (const auto& text : ecu::buildIdentTexts(none)) EXPECT_EQ(klink::shownText(text), "");
}
