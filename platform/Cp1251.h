// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between the system's internal text encoding (code page 1251,
// one byte per character, as the panels' fonts expect) and Unicode.
// This is the only place that knows the mapping: the user-interface edge and
// the logger convert here, everything else carries 1251 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cp1251 {

// Unicode code point of a 1251 byte. The one byte the code page leaves
// undefined (0x98) maps to U+FFFD, the replacement character.
char32_t toCodePoint(std::uint8_t byte);

// 1251 bytes to UTF-8. Never fails: every byte has a code point.
std::string toUtf8(std::string_view text1251);

// UTF-8 to 1251 bytes. Characters the code page cannot hold, and malformed
// UTF-8, become '?'.
std::string fromUtf8(std::string_view utf8);

// UTF-8 to the UTF-16 units the Windows calls take as wide texts and paths,
// and back. Malformed UTF-8, and a surrogate without its pair, become
// U+FFFD.
std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);

// The one 1251 byte of a text of one printable character, such as a
// locale's decimal separator; fallback where the text is longer or the code
// page cannot hold it (the Arabic decimal separator U+066B).
char singleByte(std::string_view utf8, char fallback);

}  // namespace cp1251
