// SPDX-License-Identifier: GPL-3.0-or-later
// Pauses on the monotonic clock. A pause is never ended early: signals and
// spurious wake-ups only make it sleep again until its deadline.
#pragma once

#include <chrono>

#include "platform/SerialLine.h"

namespace platform {

void pauseUntil(Clock::time_point deadline);
inline void pauseFor(std::chrono::nanoseconds d) { pauseUntil(Clock::now() + d); }

}  // namespace platform
