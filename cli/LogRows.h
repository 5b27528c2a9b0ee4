// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's rows: the header, one row of 79 readouts per pass, and the
// error codes. All return UTF-8 lines without the newline.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ecu/LiveData.h"
#include "link/LinkCommandBlock.h"

namespace cli {

// "pass,time," and the 79 mnemonics.
std::string logHeader();
// timeMs: when the pass's last reply ended, in milliseconds since the
// logger started; shown as seconds with three decimals.
std::string logRow(std::uint64_t pass, std::int64_t timeMs, const ecu::LiveData& data);
std::vector<std::string> logDtcLines(const klink::DtcReplyBuffer::Bytes& reply);

}  // namespace cli
