// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WallClock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace platform {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month, day, hour, minute, second, milli;
};

Civil civilOf(const WallTime& t) {
    const std::int64_t local = t.unixMs + std::int64_t{t.offsetMinutes} * 60000;
    std::int64_t days = local / 86400000;
    std::int64_t ms = local % 86400000;
    if (ms < 0) {
        ms += 86400000;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    const auto msOfDay = static_cast<unsigned>(ms);
    return {y, m, d, msOfDay / 3600000, msOfDay / 60000 % 60, msOfDay / 1000 % 60, msOfDay % 1000};
}

// The date, then between, the time with milliseconds, beforeZone, and the
// offset with colon between its hours and minutes.
std::string formatted(const WallTime& t, char between, const char* beforeZone, const char* colon) {
    const Civil c = civilOf(t);
    const int offset = std::abs(t.offsetMinutes);
    char text[80];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u%c%02u:%02u:%02u.%03u%s%c%02d%s%02d",
                  static_cast<long long>(c.year), c.month, c.day, between, c.hour, c.minute, c.second, c.milli,
                  beforeZone, t.offsetMinutes < 0 ? '-' : '+', offset / 60, colon, offset % 60);
    return text;
}

}  // namespace

WallTime wallNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
#ifdef _WIN32
    std::tm utc{};
    localtime_s(&local, &seconds);
    gmtime_s(&utc, &seconds);
    // The offset is the local time read as if it were UTC, minus UTC (the
    // zone's name from %z would be Windows' name, not an offset).
    utc.tm_isdst = local.tm_isdst;
    const auto offset = static_cast<int>(std::difftime(seconds, std::mktime(&utc)) / 60);
#else
    // The zone is read once, before any thread asks; mktime would read it
    // again at every call, under a lock of the C library's own that the
    // thread sanitizer cannot see (two threads writing the journal at once
    // were reported racing).
    static const bool zoneRead = [] {
        tzset();
        return true;
    }();
    (void)zoneRead;
    localtime_r(&seconds, &local);
    const auto offset = static_cast<int>(local.tm_gmtoff / 60);
#endif
    return {std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count(), offset};
}

std::string headerTime(const WallTime& t) { return formatted(t, ' ', " ", ""); }

std::optional<WallTime> parseHeaderTime(std::string_view given) {
    // "YYYY-MM-DD HH:MM:SS[.mmm] +HHMM", exactly.
    std::string text(given);
    int milli = 0;
    if (text.size() == 29 && text[19] == '.') {
        for (std::size_t i = 20; i < 23; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            milli = milli * 10 + (text[i] - '0');
        }
        text.erase(19, 4);
    }
    if (text.size() != 25) return std::nullopt;
    auto number = [&](std::size_t at, std::size_t digits, int& out) {
        out = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, s, oh, om;
    if (!number(0, 4, y) || text[4] != '-' || !number(5, 2, mo) || text[7] != '-' || !number(8, 2, d) ||
        text[10] != ' ' || !number(11, 2, h) || text[13] != ':' || !number(14, 2, mi) || text[16] != ':' ||
        !number(17, 2, s) || text[19] != ' ' || (text[20] != '+' && text[20] != '-') || !number(21, 2, oh) ||
        !number(23, 2, om))
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || om > 59) return std::nullopt;
    const int offset = (text[20] == '-' ? -1 : 1) * (oh * 60 + om);
    const std::int64_t localMs = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400000 +
                                 (std::int64_t{h} * 3600 + std::int64_t{mi} * 60 + s) * 1000 + milli;
    return WallTime{localMs - std::int64_t{offset} * 60000, offset};
}

std::string isoTime(const WallTime& t) { return formatted(t, 'T', "", ":"); }

std::string clockTime(const WallTime& t) {
    const Civil c = civilOf(t);
    char text[40];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", c.hour, c.minute, c.second, c.milli);
    return text;
}

std::string russianTime(const WallTime& t) {
    const Civil c = civilOf(t);
    char text[48];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d %02u:%02u:%02u,%03u", c.day, c.month, static_cast<int>(c.year),
                  c.hour, c.minute, c.second, c.milli);
    return text;
}

}  // namespace platform
