// The logger's rows: the header, one row of 79 readouts per pass, and the
// error codes. All return UTF-8 lines without the newline.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ecu/LiveData.h"
#include "link/LinkCommandBlock.h"

std::string logHeader();
std::string logRow(std::uint64_t pass, const ecu::LiveData& data);
std::vector<std::string> logDtcLines(const klink::DtcReplyBuffer::Bytes& reply);
