// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the two live-data replies into engineering values, chart values and
// texts. Checks nothing: it decodes whatever the buffers hold, and positions
// beyond a buffer's end read as zero.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ecu/LiveData.h"
#include "link/LinkHooks.h"

namespace ecu {

using ReplyBytes = klink::ReplyView;

void decodeLiveData(ReplyBytes liveData01, ReplyBytes liveData03, LiveData& out, char decimalSeparator = '.');

}  // namespace ecu
