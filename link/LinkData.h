// SPDX-License-Identifier: GPL-3.0-or-later
// The part of the shared data area that the link writes: status and
// identification texts, the command area and the sample flags.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "link/LinkCommandBlock.h"
#include "platform/SharedText.h"

namespace klink {

constexpr std::size_t kIdentTextCount = 11;

// An identification text as shown: up to its first zero byte, another
// control byte the ECU sent in it as a space. Drawn, such a byte would blank
// the whole text (no font has it); printed, it would break the line or
// reach the terminal as a command.
inline std::string shownText(const std::string& text) {
    std::string shown = text.substr(0, text.find('\0'));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return shown;
}

struct LinkData {
    platform::SharedText statusText;                   // 1251
    platform::SharedTexts<kIdentTextCount> identText;  // 1251, may hold zero bytes
    LinkCommandBlock command;
    std::atomic<std::uint8_t> sampleReady{0};  // raised after every pass; the sampler clears it
    std::atomic<std::uint8_t> dataValid{0};    // raised after every pass; never cleared
    // "Старт" enabled: the link is not running. The user interface clears it
    // on "Старт" and sets it on "Стоп"; the link sets it on a failure stop.
    std::atomic<std::uint8_t> startEnabled{1};
    // Counts the connections made again after the link had given up and
    // waited for the port (reconnecting): the charts break their traces there.
    std::atomic<std::uint32_t> reconnections{0};
};

}  // namespace klink
