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

std::array<std::string, klink::kIdentTextCount> buildIdentTexts(const klink::IdentificationReplies& replies);

// A text as shown: up to its first zero byte.
inline std::string shownIdent(const std::string& text) { return text.substr(0, text.find('\0')); }

}  // namespace ecu
