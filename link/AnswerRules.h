// SPDX-License-Identifier: GPL-3.0-or-later
// What makes a reply an answer to its request: for each request whose reply
// is read for values, the service and local identifier the answer must carry,
// the header it must have for the positions read from it to mean anything,
// and the highest position read. A reply that falls short of any of these is
// a gap, never a value. Positions count from the first byte read, the echo of
// the request included, as in WireLayout.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace klink {

struct AnswerRule {
    const char* request;   // as the reasons name it: "21 01"
    std::uint8_t service;  // the request's service; the answer carries it + 0x40
    int parameter;         // the local identifier or option repeated after the service byte; -1: none
    std::size_t header;    // 4: the long form (format 0x80, target, source, length); 3: the short form; 0: either
    std::size_t lastRead;  // the highest position read for values
};

// The rules, with the positions' owners: the live-data decoding reads the
// main block up to its bit bytes at 74..76 (the ECU sends the block in the
// long form) and the converter block up to ADC_2O2's low byte at 27; the
// identification texts end at 104 (1A 80, long form), 17 (21 A1, A2) and 20
// (21 A3); the output reports read the state at 13, "on" answers at 14.
// Checked against the decoders by the meaning layer's tests.
constexpr AnswerRule kLiveData01Answer{"21 01", 0x21, 0x01, 4, 76};
constexpr AnswerRule kLiveData03Answer{"21 03", 0x21, 0x03, 3, 27};
constexpr AnswerRule kEcuIdAnswer{"1A 80", 0x1A, 0x80, 4, 104};
constexpr AnswerRule kIdentA1Answer{"21 A1", 0x21, 0xA1, 3, 17};
constexpr AnswerRule kIdentA2Answer{"21 A2", 0x21, 0xA2, 3, 17};
constexpr AnswerRule kIdentA3Answer{"21 A3", 0x21, 0xA3, 3, 20};
// The error codes: the count at 12 and three bytes a code after it, so the
// answer must reach 12 + 3 x count (answerGap checks the records too). More
// than twenty codes do not fit the short form: such an answer comes in the
// long form, one position further, and is read as the short form's
// (asShortForm).
constexpr AnswerRule kDtcAnswer{"18", 0x18, -1, 0, 12};
constexpr std::size_t kDtcCountPosition = 12;
constexpr std::size_t kDtcRecordSize = 3;

// An output's answers: the report's state at 13 (after a 7-byte request),
// "on"'s at 14 (after an 8-byte one); the local identifier follows the
// service byte.
AnswerRule controlAnswerRule(std::uint8_t lid, std::size_t lastRead);

// Why reply (n bytes read, the echo of echoLength bytes first) is no whole,
// positive answer to the rule's request covering every position read; empty
// when it is one. "no answer", "the answer was cut short (9 of 78 bytes)",
// "the answer's checksum is wrong", "negative answer 7F 21 12: subfunction
// not supported", "answer for local identifier 02, asked 01", "answer ends at
// byte 9, the decoder reads up to byte 76".
std::string answerGap(const AnswerRule& rule, const std::uint8_t* reply, std::size_t n, std::size_t echoLength);

// The reason code of a whole negative answer (7F, service, code) to service;
// -1 for anything else.
int negativeAnswerCode(const std::uint8_t* reply, std::size_t n, std::size_t echoLength, std::uint8_t service);

// A whole answer in the long form after the echo made the short form's,
// its length byte taken out, so that its data stand where the fixed
// positions read them; n, less the byte taken. One in the short form stays.
std::size_t asShortForm(std::uint8_t* reply, std::size_t n, std::size_t echoLength);

// Where a whole "answer pending" (7F, service, 78) that follows the echo
// ends in reply; 0 when none does.
std::size_t pendingAnswerEnd(const std::uint8_t* reply, std::size_t n, std::size_t echoLength, std::uint8_t service);

// A negative answer's reason code in words ("subfunction not supported").
std::string negativeReason(std::uint8_t code);

}  // namespace klink
