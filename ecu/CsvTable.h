// SPDX-License-Identifier: GPL-3.0-or-later
// The drive as a table for a spreadsheet, in one of two styles. RFC 4180
// (rfc): comma-separated, CRLF, quoted where needed; the pass, the seconds
// since the start, the wall-clock time (ISO 8601 with the zone) and the 79
// readouts, headed by their mnemonics and units ("ADC_BAT [V]"), with decimal
// points. For a Russian spreadsheet (excel-ru): UTF-8 with a byte-order mark,
// semicolons, decimal commas, the local time as "09.12.2026 10:15:02,345"
// and Russian units ("ML [кг/час]", as the charts write them), and a second
// header line with each parameter's caption from its chart. Bit-encoded
// bytes are written "0b…" and the checksum "0x…" in both, so that no
// spreadsheet turns them into numbers. The logger's --csv file and the
// tester's export write the same table in the same style.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ecu/LiveData.h"
#include "platform/WallClock.h"

namespace ecu {

enum class CsvStyle { Rfc, ExcelRu };
// "rfc" or "excel-ru"; nothing for another name.
std::optional<CsvStyle> csvStyleNamed(std::string_view name);
const char* csvStyleName(CsvStyle style);

// The unit of parameter number (1..79), or empty: as the rfc table writes it,
// or as the charts do (excel-ru).
std::string_view parameterUnit(int number, CsvStyle style = CsvStyle::Rfc);
// One field, quoted when it holds the separator, a quote or a line end.
std::string csvField(std::string_view text, char separator = ',');
// The file's start: the header line or lines, with their CRLF (and, for
// excel-ru, the byte-order mark before them).
std::string csvHeader(CsvStyle style = CsvStyle::Rfc);
// One pass's line, with its CRLF; at: the pass's wall-clock time. The
// readouts in data are decoded with a decimal point.
std::string csvRow(std::uint64_t pass, std::int64_t timeMs, const platform::WallTime& at, const LiveData& data,
                   CsvStyle style = CsvStyle::Rfc);

}  // namespace ecu
