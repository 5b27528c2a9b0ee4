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

#ifdef _WIN32
#include <windows.h>
#endif

// The wide texts of the Windows calls: Cyrillic, a character beyond the
// 16-bit range as its surrogate pair, and what cannot be a character.
TEST(Cp1251, WideTextsAreUtf16BothWays) {
    const std::string utf8 = "Журнал визитов \xF0\x9F\x9A\x97 C:\\Пользователи";
    const std::wstring wide = cp1251::toWide(utf8);
    ASSERT_EQ(wide.size(), 33u);
    EXPECT_EQ(wide[0], static_cast<wchar_t>(0x0416));
    EXPECT_EQ(wide[15], static_cast<wchar_t>(0xD83D));
    EXPECT_EQ(wide[16], static_cast<wchar_t>(0xDE97));
    EXPECT_EQ(cp1251::fromWide(wide), utf8);
    EXPECT_EQ(cp1251::toWide("a\xD0"), L"a\xFFFD");
    EXPECT_EQ(cp1251::fromWide(std::wstring{L'a', static_cast<wchar_t>(0xDC00), L'b'}),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(cp1251::toWide(""), L"");
#ifdef _WIN32
    // As the system converts.
    wchar_t system[64] = {};
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, system, 64);
    EXPECT_EQ(wide, system);
#endif
}
