// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/Cp1251.h"

TEST(Cp1251, RoundTripsCyrillicAndMarksWhatItCannotHold) {
    const std::string utf8 = "Проверте адаптер! Ёё №";
    const std::string bytes = cp1251::fromUtf8(utf8);
    ASSERT_EQ(bytes.size(), 22u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xCF);   // П
    EXPECT_EQ(static_cast<unsigned char>(bytes[18]), 0xA8);  // Ё
    EXPECT_EQ(static_cast<unsigned char>(bytes[21]), 0xB9);  // №
    EXPECT_EQ(cp1251::toUtf8(bytes), utf8);

    // 0x98 is undefined in the code page: a replacement character, no error.
    EXPECT_EQ(cp1251::toUtf8(std::string("\x98", 1)), "\xEF\xBF\xBD");
    // Characters outside the code page and broken UTF-8 become '?'.
    EXPECT_EQ(cp1251::fromUtf8("a\xE4\xB8\xAD"
                               "b"),
              "a?b");
    EXPECT_EQ(cp1251::fromUtf8("x\xD0"), "x?");
    // Zero bytes and control characters pass unchanged.
    EXPECT_EQ(cp1251::toUtf8(std::string("a\0\t", 3)), std::string("a\0\t", 3));
}

TEST(Cp1251, ALocalesDecimalSeparatorIsOneByteOrFallsBackToAPoint) {
    EXPECT_EQ(cp1251::singleByte(",", '.'), ',');
    EXPECT_EQ(cp1251::singleByte(".", ','), '.');
    EXPECT_EQ(cp1251::singleByte("\xC2\xB7", '.'), '\xB7');  // middle dot is in the code page
    EXPECT_EQ(cp1251::singleByte("\xD9\xAB", '.'), '.');     // Arabic decimal separator
    EXPECT_EQ(cp1251::singleByte("", '.'), '.');
    EXPECT_EQ(cp1251::singleByte(",,", '.'), '.');
    EXPECT_EQ(cp1251::singleByte("\xD9", '.'), '.');  // torn UTF-8
    EXPECT_EQ(cp1251::singleByte("?", '.'), '?');
}
