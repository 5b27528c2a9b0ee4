// SPDX-License-Identifier: GPL-3.0-or-later
// Moments of the wall clock as the programs write them: the local time with
// its offset from UTC, on both systems the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct WallTime {
    std::int64_t unixMs = 0;  // milliseconds since 1970-01-01 00:00 UTC
    int offsetMinutes = 0;    // of the local zone, east of UTC

    // This moment ms later, told in the same zone.
    WallTime later(std::int64_t ms) const { return {unixMs + ms, offsetMinutes}; }
};

WallTime wallNow();
// "2026-12-09 10:15:02.345 +0300": when a recording started, in its header.
std::string headerTime(const WallTime& t);
// headerTime's form read back (also without the milliseconds, as older
// recordings have it); nothing for any other text.
std::optional<WallTime> parseHeaderTime(std::string_view text);
// ISO 8601 with milliseconds and the offset: "2026-12-09T10:15:02.345+03:00".
std::string isoTime(const WallTime& t);
// The time of day alone, "10:15:02.345", as the window shows it.
std::string clockTime(const WallTime& t);
// The local date and time as a Russian spreadsheet reads them:
// "09.12.2026 10:15:02,345".
std::string russianTime(const WallTime& t);

}  // namespace platform
