// SPDX-License-Identifier: GPL-3.0-or-later
// The eleven identification texts, byte for byte from the four replies read
// at each connection set-up. Zero bytes stay in the text (they end what is
// shown); nothing is converted or trimmed.
#pragma once

#include <array>
#include <string>

#include "link/LinkHooks.h"

namespace ecu {

// Captions of the texts on the passport panel (UTF-8), by text index.
extern const std::array<const char*, klink::kIdentTextCount> kIdentCaptions;
// Text k's name where both passports are one list (a report, whose fields
// are keys): its caption, the car's "Двигатель" told from the unit's.
std::string identFieldName(std::size_t k);

std::array<std::string, klink::kIdentTextCount> buildIdentTexts(const klink::IdentificationReplies& replies);

// Which reply text k comes from, in the order of IdentificationReplies
// (0: 21 A1, 1: 21 A2, 2: 21 A3, 3: 1A 80).
std::size_t identSourceReply(std::size_t k);
// The highest position text k reads from its reply.
std::size_t identLastPosition(std::size_t k);

}  // namespace ecu
