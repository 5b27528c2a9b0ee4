// SPDX-License-Identifier: GPL-3.0-or-later
// How the layers above hear from the link. The meaning layer decodes what the
// link read (LinkHooks); whoever runs the user interface is told about status
// changes and a failure stop (LinkObserver). Both are called on the link thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/LinkData.h"

namespace klink {

// A reply's bytes as read. Positions beyond what arrived read as zero, so
// that no decoding ever reads past a buffer.
struct ReplyView {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t operator[](std::size_t p) const { return p < size ? data[p] : 0; }
};

struct IdentificationReplies {
    ReplyView a1, a2, a3, ecuId;
};

class LinkHooks {
public:
    virtual ~LinkHooks() = default;
    // Once per poll pass, after all of the pass's requests. measured: both
    // answers came whole in this pass (the pass has no gap).
    virtual void decodePass(ReplyView liveData01, ReplyView liveData03, bool measured) = 0;
    // After each successful set-up: the eleven identification texts.
    virtual std::array<std::string, kIdentTextCount> buildIdentification(const IdentificationReplies& replies) = 0;
};

// What the ECU answered to such a command.
enum class CommandAnswer {
    Done,     // a whole, positive answer
    Refused,  // a whole negative answer (its code beside)
    Silent,   // no answer
    Unheard,  // nothing came back, not even the frame's echo: it never reached the line
    Dropped,  // the connection was lost before its pass: never sent
    Garbled,  // bytes, but no whole answer to the command
};

class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    // Every write of the status text, changed or not.
    virtual void statusWritten(const std::string& /*text1251*/) {}
    // The identification texts were rebuilt after a successful set-up.
    virtual void identificationRead() {}
    virtual void passCompleted(std::uint64_t /*passNumber*/) {}
    // Failure stop: "Старт" is already enabled in LinkData when this runs,
    // and the link pauses right after it returns. Must not block.
    virtual void linkStopped() {}
    // The port could not be opened: why, for the user ("Permission denied
    // (...)"). Comes before the failure stop. Must not block.
    virtual void portFailed(const std::string& /*device*/, const std::string& /*reason*/) {}
    // Something the user should know about the adapter, said once (English,
    // for the standard error). Must not block.
    virtual void adapterNote(const std::string& /*text*/) {}
    // A command went out and this came back (code: a refusal's reason).
    // Must not block.
    virtual void commandAnswered(const CommandKey& /*command*/, CommandAnswer /*answer*/, int /*code*/) {}
};

}  // namespace klink
