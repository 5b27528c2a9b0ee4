// Turns the two live-data replies into engineering values, chart values and
// texts. Checks nothing: it decodes whatever the buffers hold, and positions
// beyond a buffer's end read as zero.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ecu/LiveData.h"

namespace ecu {

struct ReplyBytes {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t operator[](std::size_t p) const { return p < size ? data[p] : 0; }
};

void decodeLiveData(ReplyBytes liveData01, ReplyBytes liveData03, LiveData& out,
                    char decimalSeparator = '.');

}  // namespace ecu
