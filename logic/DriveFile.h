// SPDX-License-Identifier: GPL-3.0-or-later
// A recorded drive read whole, as fast as it replays, into a history of its
// own: every measured pass with the charts' samples, as the window keeps a
// live drive. For drawing an earlier drive beside this one and comparing
// their reports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ecu/LiveData.h"
#include "ecu/SessionHistory.h"
#include "platform/WallClock.h"

namespace klink {
class Com_Port;
struct LinkData;
}  // namespace klink
namespace ecu {
class EcuDecoder;
}

namespace logic {

// On the link's thread, right after pass: a pass that measured is kept in
// into as the wire gave it, with the charts' samples the sampler would take
// from live (the decoder's store); the first after a reconnection (the
// link's count differs from reconnectionsKept, which it updates) is marked
// as after a gap. A pass that did not measure is not kept.
void keepMeasuredPass(std::uint64_t pass, const klink::Com_Port& link, const klink::LinkData& data,
                      const ecu::EcuDecoder& decoder, const ecu::LiveDataStore& live, std::uint32_t& reconnectionsKept,
                      ecu::SessionHistory& into);

// Empty, or why not (English, naming the file). started: when the drive
// was recorded. stopAsked ends the reading early (then "stopped").
std::string readRecordedDrive(const std::string& path, ecu::SessionHistory& into, platform::WallTime& started,
                              const std::function<bool()>& stopAsked = {});

}  // namespace logic
