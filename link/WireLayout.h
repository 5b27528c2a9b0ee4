// SPDX-License-Identifier: GPL-3.0-or-later
// The wire's fixed facts in one place: how many bytes each exchange reads
// (its reply buffer's size) and the reply positions the link itself looks
// at. Positions count from the first byte read, the adapter's echo of the
// request included.
#pragma once

#include <chrono>
#include <cstddef>

namespace klink {

// Reply sizes: what each exchange reads at most.
constexpr std::size_t kCommunicationReplySize = 14;  // StartCommunication, StopCommunication
constexpr std::size_t kIdentA1ReplySize = 21;
constexpr std::size_t kIdentA2ReplySize = 21;
constexpr std::size_t kIdentA3ReplySize = 30;
constexpr std::size_t kEcuIdReplySize = 130;
constexpr std::size_t kLiveData01ReplySize = 140;
constexpr std::size_t kLiveData03ReplySize = 40;
constexpr std::size_t kCommandReplySize = 40;  // clear codes, resets, output control
constexpr std::size_t kDtcReplySize = 1024;

// Live data 01: the echo's six bytes, then the answer's format byte, target,
// source; the service byte (0x61) at 9. A pass whose answer has no format
// byte here brought no data.
constexpr std::size_t kLiveData01FormatByte = 8;

// Output control (service 30): the state in the answer to a report (after
// its 7-byte echo) and to "on" (after its 8-byte echo). A refusal is a
// negative answer (AnswerRules.h).
constexpr std::size_t kControlReportState = 13;  // 0xFF on, 0x00 off
constexpr std::size_t kControlOnState = 14;      // the state after "on"

// An answer pending (7F, service, 78): the ECU answers within P2* of ISO
// 14230-2, whose default is five seconds, or says it is pending again; the
// final answer is waited for that long after each, for a minute at most.
constexpr std::chrono::milliseconds kFinalAnswerWait{5000};
constexpr int kMostPendingAnswers = 12;

}  // namespace klink
