// SPDX-License-Identifier: GPL-3.0-or-later
// An ELM327-type adapter with the ECU behind it: takes the text commands the
// tester writes and says which characters come back when. It makes the
// K-line wake-up itself, frames each request with the header it was given
// (the data length put into the format byte) and prints each answer as hex
// text, header and checksum included when headers are on. The common clones'
// ways are options; the in-process port, the pseudo-terminal and the
// loopback TCP peer share this core.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/AdapterCore.h"
#include "sim/EcuModel.h"

namespace sim {

struct ElmOptions {
    std::string version = "ELM327 v1.4b";
    unsigned rate = 38400;                    // the adapter's serial rate
    bool knowsFastInit = true;                // AT FI; without it the first request wakes the ECU
    bool knowsAllowLong = true;               // AT AL
    bool echoStays = false;                   // AT E0 is answered OK, and the echo stays
    bool linefeeds = true;                    // as most adapters start (the pin's default)
    std::size_t bytesPerLine = 0;             // a long answer split over lines of this many bytes (0: one line)
    std::size_t passesAtMost = 0;             // longer answers are cut there and "BUFFER FULL" said (0: any)
    bool silentEcu = false;                   // the K-line stays quiet: "BUS INIT: ...ERROR", "NO DATA"
    std::chrono::milliseconds latency{0};     // each way between the computer and the adapter
    std::chrono::milliseconds ecuAnswer{25};  // the ECU's time to answer on the K-line
    std::chrono::milliseconds resetTime{0};   // AT Z's restart

    // As sold: the chip itself, the two common clones, a Bluetooth one.
    static ElmOptions genuine() { return {}; }
    static ElmOptions clone15() {
        ElmOptions o;
        o.version = "ELM327 v1.5";
        o.knowsFastInit = false;
        o.knowsAllowLong = false;
        o.bytesPerLine = 8;
        return o;
    }
    static ElmOptions clone21() {
        ElmOptions o;
        o.version = "ELM327 v2.1";
        o.echoStays = true;
        o.passesAtMost = 64;
        return o;
    }
    static ElmOptions bluetooth() {
        ElmOptions o = clone15();
        o.latency = std::chrono::milliseconds(40);
        return o;
    }
};

class ElmCore {
public:
    explicit ElmCore(ElmOptions options = {});

    // Characters written by the tester at time t at the given serial rate;
    // returns what the adapter sends back, each byte with its time. At a
    // rate other than the adapter's, both sides read garbage.
    std::vector<TimedByte> bytesWritten(const std::uint8_t* data, std::size_t size, Clock::time_point t, unsigned rate);

    EcuModel& ecu() { return ecu_; }
    const ElmOptions& options() const { return options_; }
    // Every command line received, in order (for the tests).
    const std::vector<std::string>& commands() const { return commands_; }
    // Each request frame as the adapter put it on the K-line.
    const std::vector<std::vector<std::uint8_t>>& frames() const { return frames_; }

    // Called with each request frame before the ECU answers it (the living car).
    std::function<void(const std::vector<std::uint8_t>&, Clock::time_point)> beforeAnswer;

private:
    // One command line; the text to send back and how long the adapter took.
    std::string run(const std::string& line, Clock::time_point t, std::chrono::milliseconds& took);
    std::string request(const std::string& hex, Clock::time_point t, std::chrono::milliseconds& took);
    bool fastInit(Clock::time_point t);
    std::string printed(const std::vector<std::uint8_t>& frame) const;
    void reset();

    ElmOptions options_;
    EcuModel ecu_;
    std::string typed_;
    std::vector<std::string> commands_;
    std::vector<std::vector<std::uint8_t>> frames_;
    bool echo_ = true;
    bool linefeeds_ = true;
    bool headers_ = false;
    bool spaces_ = true;
    int protocol_ = 0;
    bool initialised_ = false;
    std::vector<std::uint8_t> header_{0xC1, 0x33, 0xF1};
};

}  // namespace sim
