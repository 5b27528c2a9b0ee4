// SPDX-License-Identifier: GPL-3.0-or-later
// The drive as a table for a spreadsheet (RFC 4180: comma-separated, CRLF,
// quoted where needed): the pass, the seconds since the start, the wall-clock
// time (ISO 8601 with the zone), and the 79 readouts, headed by their
// mnemonics and units ("ADC_BAT [V]"). Bit-encoded bytes are written "0b…" and
// the checksum "0x…", so that no spreadsheet turns them into numbers. The
// logger's --csv file and the tester's export write the same table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ecu/LiveData.h"

namespace ecu {

// The unit of parameter number (1..79), or empty.
std::string_view parameterUnit(int number);
// One field, quoted when it holds a comma, a quote or a line end.
std::string csvField(std::string_view text);
// The header line, with its CRLF.
std::string csvHeader();
// One pass's line, with its CRLF. clock: the pass's wall-clock time (isoTime).
std::string csvRow(std::uint64_t pass, std::int64_t timeMs, const std::string& clock, const LiveData& data);

}  // namespace ecu
