// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/ValueText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ecu {
namespace {

constexpr int kSignificant = 10;
constexpr int kMaxDigits = 40;

// The value's magnitude as decimal digits: digits[0..count) with the decimal
// point after `intDigits` of them (intDigits may be <= 0).
struct Decimal {
    char digits[kMaxDigits + 2];
    int count;
    int intDigits;
};

Decimal toTenDigits(double magnitude) {
    Decimal d{};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*e", kSignificant - 1, magnitude);  // d.ddddddddde±x
    d.count = 0;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') d.digits[d.count++] = *p;
    d.intDigits = std::atoi(std::strchr(buf, 'e') + 1) + 1;
    return d;
}

}  // namespace

std::size_t formatFixed(double value, int decimals, char separator, char* out) {
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    std::size_t n = 0;
    if (!std::isfinite(value)) {
        std::memcpy(out, "NaN", 4);
        return 3;
    }
    if (value < 0) out[n++] = '-';
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e30) {  // nothing the formulas produce; keep the text short
        std::memcpy(out + n, "Inf", 4);
        return n + 3;
    }
    Decimal d = magnitude == 0.0 ? Decimal{{'0'}, 1, 1} : toTenDigits(magnitude);

    // Work on a digit string that covers every integer digit and `decimals`
    // fraction digits plus one to decide the rounding.
    int lead = d.intDigits > 0 ? 0 : 1 - d.intDigits;  // zeros before the first digit
    int intLen = d.intDigits > 0 ? d.intDigits : 1;
    const int want = intLen + decimals;
    char digits[kMaxDigits * 2] = {};
    int len = 0;
    for (int i = 0; i < lead && len < want + 1; ++i) digits[len++] = '0';
    for (int i = 0; i < d.count && len < want + 1; ++i) digits[len++] = d.digits[i];
    while (len < want + 1) digits[len++] = '0';

    const bool roundUp = digits[want] >= '5';  // halves away from zero
    len = want;
    if (roundUp) {
        int i = len - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            std::memmove(digits + 1, digits, static_cast<std::size_t>(len));
            digits[0] = '1';
            ++len;
            ++intLen;
        }
    }
    for (int i = 0; i < intLen; ++i) out[n++] = digits[i];
    if (decimals > 0) {
        out[n++] = separator;
        for (int i = intLen; i < len; ++i) out[n++] = digits[i];
    }
    out[n] = '\0';
    return n;
}

std::string formatFixed(double value, int decimals, char separator) {
    char buf[96];
    const std::size_t n = formatFixed(value, decimals, separator, buf);
    return std::string(buf, n);
}

}  // namespace ecu
