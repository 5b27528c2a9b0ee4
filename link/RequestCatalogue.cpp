// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/RequestCatalogue.h"

namespace klink {
namespace {

RequestCatalogue::Control controlFrames(std::uint8_t lid, bool withOnOff, bool withOff) {
    RequestCatalogue::Control c;
    c.report = makeRequest({0x30, lid, 0x01}, kCommandReplySize);
    c.release = makeRequest({0x30, lid, 0x00}, kCommandReplySize);
    if (withOnOff) c.on = makeRequest({0x30, lid, 0x06, 0xFF}, kCommandReplySize);
    if (withOnOff && withOff) c.off = makeRequest({0x30, lid, 0x06, 0x00}, kCommandReplySize);
    return c;
}

}  // namespace

RequestCatalogue::RequestCatalogue()
    : startCommunication(makeRequest({0x81}, kCommunicationReplySize)),
      stopCommunication(makeRequest({0x82}, kCommunicationReplySize)),
      identA1(makeRequest({0x21, 0xA1}, kIdentA1ReplySize)), identA2(makeRequest({0x21, 0xA2}, kIdentA2ReplySize)),
      identA3(makeRequest({0x21, 0xA3}, kIdentA3ReplySize)),
      ecuIdentification(makeRequest({0x1A, 0x80}, kEcuIdReplySize)),
      liveData01(makeRequest({0x21, 0x01}, kLiveData01ReplySize)),
      liveData03(makeRequest({0x21, 0x03}, kLiveData03ReplySize)),
      dtcRead(makeRequest({0x18, 0x00, 0x00, 0x00}, kDtcReplySize)),
      dtcClear(makeRequest({0x14, 0x00, 0x00}, kCommandReplySize)),
      ecuReset(makeRequest({0x11, 0x01}, kCommandReplySize)), ecuInit(makeRequest({0x11, 0x90}, kCommandReplySize)) {
    for (std::size_t i = 0; i < kActuatorCount; ++i)
        actuator[i] = controlFrames(kActuatorLids[i], true, actuatorHasOff(kActuatorLids[i]));
    for (std::size_t i = 0; i < kAdjustCount; ++i) adjust[i] = controlFrames(kAdjustLids[i], false, false);
}

}  // namespace klink
