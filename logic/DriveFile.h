// SPDX-License-Identifier: GPL-3.0-or-later
// A recorded drive read whole, as fast as it replays, into a history of its
// own: every measured pass with the charts' samples, as the window keeps a
// live drive. For drawing an earlier drive beside this one and comparing
// their reports.
#pragma once

#include <functional>
#include <string>

#include "ecu/SessionHistory.h"
#include "platform/WallClock.h"

namespace logic {

// Empty, or why not (English, naming the file). started: when the drive
// was recorded. stopAsked ends the reading early (then "stopped").
std::string readRecordedDrive(const std::string& path, ecu::SessionHistory& into, platform::WallTime& started,
                              const std::function<bool()>& stopAsked = {});

}  // namespace logic
