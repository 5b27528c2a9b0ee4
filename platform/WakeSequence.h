// SPDX-License-Identifier: GPL-3.0-or-later
// The fast-init wake-up as a sequence of a port's primitive operations. The
// Linux port and the simulated adapters run the same sequence, so what the
// tests see of the simulator's chips is what a real chip gets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/SerialLine.h"

namespace platform {

// Times of the wake-up's edges, for judging the wire.
struct WakeRecord {
    Clock::time_point start{};   // line driven low
    Clock::time_point rising{};  // line released
    Clock::time_point end{};     // the operation returned
    WakeMethod method = WakeMethod::SlowByte;
    bool echoSeen = false;  // the slow byte came back before the rate switched
};

class WakePort {
public:
    virtual ~WakePort() = default;
    // False when the port refuses the rate or grants one more than 2 % off.
    virtual bool setRate(unsigned baud) = 0;
    // False when the driver refuses the break.
    virtual bool setBreak(bool on) = 0;
    virtual void sendByte(std::uint8_t byte) = 0;
    // Returns once what was sent has left the driver (tcdrain); a USB chip
    // may still be sending it then.
    virtual void drain() {}
    // Waits until the deadline for a 0x00 byte to come back, reading and
    // dropping any other; true if one came. A break comes back as a 0x00
    // too (a framing error with a zero byte).
    virtual bool awaitZero(Clock::time_point deadline) = 0;
    virtual void purge() = 0;
};

// A break whose clearing call takes longer than this was made some other way
// (a zero byte at a very low rate, as some USB chips fake it): far too long.
constexpr std::chrono::milliseconds kFakedBreakClear{30};

// Wakes the ECU by method. A break the port refuses is made with the slow
// byte instead, and a slow rate the port refuses with a break; method is
// then changed to what worked, and note says so. A break the driver accepts
// but does not make (no echo of it comes back), or fakes (clearing it takes
// too long), makes method the slow byte from the next wake-up on, with a
// note. The sequence returns 50 ms after the line went low.
WakeRecord runWake(WakePort& port, WakeMethod& method, const std::function<void(const std::string&)>& note);

// "byte" or "break"; false for anything else.
bool parseWakeMethod(const std::string& text, WakeMethod& method);
const char* wakeMethodName(WakeMethod method);
// How the method makes the low: "a 0x00 byte at 360 baud", "a 25 ms break".
const char* wakeDescription(WakeMethod method);

}  // namespace platform
