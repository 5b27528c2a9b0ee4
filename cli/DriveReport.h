// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's reports of the drive: the kept passes judged, with the
// identification and the error codes the link read, written to each file
// asked for, as HTML or JSON by the name's ending.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ecu/SessionHistory.h"
#include "link/Com_Port.h"
#include "platform/WallClock.h"

namespace cli {

// Writes every report; a file that cannot be written is said through say
// and makes the result false. started: when the line started (a pass's
// time counts from it); withCodes: the codes were asked for; replayed: the
// drive is a recording's.
bool writeReports(const std::vector<std::string>& paths, const ecu::SessionHistory& history,
                  const klink::Com_Port& link, const klink::LinkData& data, platform::WallTime started, bool withCodes,
                  bool replayed, const std::string& program, const std::function<void(const std::string&)>& say);

}  // namespace cli
