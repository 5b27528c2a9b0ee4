#include "platform/WakeSequence.h"

#include "platform/TimedPause.h"

namespace platform {
namespace {

WakeRecord wakeBySlowByte(WakePort& port) {
    WakeRecord rec;
    rec.method = WakeMethod::SlowByte;
    rec.start = Clock::now();
    port.sendByte(0x00);
    // Start bit and eight zero data bits: nine bit times of 1/360 s, 25 ms,
    // timed by the chip. The rate may change back only once the byte is off
    // the wire, which its echo proves; a port that echoes nothing gets the
    // whole 50 ms.
    rec.rising = rec.start + WakeTiming::kLow;
    rec.echoSeen = port.awaitEcho(rec.start + WakeTiming::kTotal);
    port.setRate(kLinkBaud);
    pauseUntil(rec.start + WakeTiming::kTotal);
    rec.end = Clock::now();
    return rec;
}

WakeRecord wakeByBreak(WakePort& port, Clock::time_point before) {
    WakeRecord rec;
    rec.method = WakeMethod::Break;
    const auto set = Clock::now();
    // The line goes low somewhere during the call; aim the release at 25 ms
    // after its middle, less what the release call itself is expected to take.
    const auto setCost = set - before;
    const auto lowFrom = before + setCost / 2;
    pauseUntil(lowFrom + WakeTiming::kLow - setCost / 2);
    port.setBreak(false);
    rec.rising = Clock::now();
    pauseUntil(lowFrom + WakeTiming::kTotal);
    rec.end = Clock::now();
    rec.start = lowFrom;
    return rec;
}

}  // namespace

WakeRecord runWake(WakePort& port, WakeMethod& method, const std::function<void(const std::string&)>& note) {
    auto tell = [&note](const std::string& text) {
        if (note) note(text);
    };
    if (method == WakeMethod::Break) {
        const auto before = Clock::now();
        if (port.setBreak(true)) return wakeByBreak(port, before);
        tell("the port refused a break; waking the ECU with a 0x00 byte at 360 baud instead");
        method = WakeMethod::SlowByte;
    }
    if (port.setRate(kWakeBaud)) return wakeBySlowByte(port);
    port.setRate(kLinkBaud);
    const auto before = Clock::now();
    if (port.setBreak(true)) {
        tell("the port cannot run at 360 baud; waking the ECU with a break instead");
        method = WakeMethod::Break;
        return wakeByBreak(port, before);
    }
    tell("the port can neither run at 360 baud nor send a break: the ECU cannot be woken");
    WakeRecord rec;
    rec.start = rec.rising = before;
    pauseUntil(before + WakeTiming::kTotal);
    rec.end = Clock::now();
    return rec;
}

bool parseWakeMethod(const std::string& text, WakeMethod& method) {
    if (text == "byte") {
        method = WakeMethod::SlowByte;
    } else if (text == "break") {
        method = WakeMethod::Break;
    } else {
        return false;
    }
    return true;
}

const char* wakeMethodName(WakeMethod method) { return method == WakeMethod::Break ? "break" : "byte"; }

const char* wakeDescription(WakeMethod method) {
    return method == WakeMethod::Break ? "a 25 ms break" : "a 0x00 byte at 360 baud";
}

}  // namespace platform
