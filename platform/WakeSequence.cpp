// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WakeSequence.h"

#include "platform/TimedPause.h"

#include <algorithm>
#include <string>

namespace platform {
namespace {

WakeRecord wakeBySlowByte(WakePort& port) {
    WakeRecord rec;
    rec.method = WakeMethod::SlowByte;
    // A byte already waiting (noise, a late reply) is no echo of this one.
    port.purge();
    rec.start = Clock::now();
    port.sendByte(0x00);
    // Start bit and eight zero data bits: nine bit times of 1/360 s, 25 ms,
    // timed by the chip. The rate never changes back before the byte is off
    // the wire: on a USB chip it leaves some time after the write returns,
    // so the switch comes nine bit times after the byte has left the driver,
    // and never sooner: a zero already waiting (noise) proves nothing. A port
    // that drains only once the byte is out (a UART on the board) switches
    // later, while the line is already high, which keeps the pattern.
    port.drain();
    rec.rising = std::max(rec.start, Clock::now()) + WakeTiming::kLow;
    pauseUntil(rec.rising);
    // The echo proves the byte is off the wire; a USB chip hands it over up
    // to its latency later (FTDI: 16 ms). It is awaited, and taken off the
    // line, until the pattern's end at least; a port that echoes nothing
    // gets the whole pattern's time.
    rec.echoSeen = port.awaitZero(std::max(rec.rising, rec.start + WakeTiming::kTotal));
    port.setRate(kLinkBaud);
    pauseUntil(rec.start + WakeTiming::kTotal);
    rec.end = Clock::now();
    return rec;
}

// why: set when the break was not what the driver said it was.
WakeRecord wakeByBreak(WakePort& port, Clock::time_point before, std::string& why) {
    WakeRecord rec;
    rec.method = WakeMethod::Break;
    const auto set = Clock::now();
    // The line goes low somewhere during the call; aim the release at 25 ms
    // after its middle, less what the release call itself is expected to take.
    const auto setCost = set - before;
    const auto lowFrom = before + setCost / 2;
    pauseUntil(lowFrom + WakeTiming::kLow - setCost / 2);
    const auto clearFrom = Clock::now();
    port.setBreak(false);
    rec.rising = Clock::now();
    const auto clearCost = rec.rising - clearFrom;
    if (clearCost > kFakedBreakClear) {
        why = "the port fakes a break (clearing it took " +
              std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(clearCost).count()) + " ms)";
    } else {
        // A K-line adapter hears its own break: a 0x00 with a framing error.
        rec.echoSeen = port.awaitZero(lowFrom + WakeTiming::kTotal);
        if (!rec.echoSeen) why = "the port reported a break, but none came back on the line";
    }
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
    // A break that was not made: the byte from the next wake-up on.
    auto checked = [&](WakeRecord rec, const std::string& why) {
        if (!why.empty()) {
            tell(why + "; waking the ECU with a 0x00 byte at 360 baud instead");
            method = WakeMethod::SlowByte;
        }
        return rec;
    };
    std::string why;
    if (method == WakeMethod::Break) {
        port.purge();
        const auto before = Clock::now();
        if (port.setBreak(true)) return checked(wakeByBreak(port, before, why), why);
        tell("the port refused a break; waking the ECU with a 0x00 byte at 360 baud instead");
        method = WakeMethod::SlowByte;
    }
    if (port.setRate(kWakeBaud)) return wakeBySlowByte(port);
    port.setRate(kLinkBaud);
    port.purge();
    const auto before = Clock::now();
    if (port.setBreak(true)) {
        tell("the port cannot run at 360 baud; waking the ECU with a break instead");
        method = WakeMethod::Break;
        const WakeRecord rec = wakeByBreak(port, before, why);
        // Neither way works: say so, and keep trying the break.
        if (!why.empty()) tell(why + "; the ECU cannot be woken");
        return rec;
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
