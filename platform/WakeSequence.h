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
    // Waits for a byte to come back until the deadline; true if one came.
    virtual bool awaitEcho(Clock::time_point deadline) = 0;
    virtual void purge() = 0;
};

// Wakes the ECU by method. A break the port refuses is made with the slow
// byte instead, and a slow rate the port refuses with a break; method is
// then changed to what worked, and note says so. The sequence returns 50 ms
// after the line went low.
WakeRecord runWake(WakePort& port, WakeMethod& method, const std::function<void(const std::string&)>& note);

// "byte" or "break"; false for anything else.
bool parseWakeMethod(const std::string& text, WakeMethod& method);
const char* wakeMethodName(WakeMethod method);
// How the method makes the low: "a 0x00 byte at 360 baud", "a 25 ms break".
const char* wakeDescription(WakeMethod method);

}  // namespace platform
