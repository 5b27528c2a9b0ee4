// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes as the program spells them (the recordings, the logger's codes and
// checksums, the shown error codes): two upper-case hexadecimal digits.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline void appendHex(std::string& out, std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
}

inline std::string hexByte(std::uint8_t b) {
    std::string s;
    appendHex(s, b);
    return s;
}

// The value of one hexadecimal digit, either case; -1 for anything else.
inline int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace platform
