// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ElmCore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {
namespace {

std::string upperNoSpaces(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return out;
}

bool hexDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::vector<std::uint8_t> hexBytes(const std::string& s) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
    return out;
}

// The time one character takes at the rate (start, eight bits, stop).
std::chrono::microseconds charTime(unsigned rate) { return std::chrono::microseconds(10'000'000 / rate); }

}  // namespace

ElmCore::ElmCore(ElmOptions options) : options_(std::move(options)) { reset(); }

void ElmCore::reset() {
    echo_ = true;
    linefeeds_ = options_.linefeeds;
    headers_ = false;
    spaces_ = true;
    protocol_ = 0;
    initialised_ = false;
    header_ = {0xC1, 0x33, 0xF1};
}

std::vector<TimedByte> ElmCore::bytesWritten(const std::uint8_t* data, std::size_t size, Clock::time_point t,
                                             unsigned rate) {
    std::vector<TimedByte> back;
    const auto each = charTime(options_.rate);
    if (rate != options_.rate) {
        // Each character arrives as garbage; the adapter answers "?" to the
        // line it makes of them, which the tester reads as garbage too.
        for (std::size_t i = 0; i < size; ++i)
            if (data[i] == '\r' || i + 1 == size)
                for (std::uint8_t b : {0xF8, 0x80, 0xFE}) back.push_back({t + options_.latency * 2, b});
        return back;
    }
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n') continue;
        if (c != '\r') {
            typed_.push_back(c);
            continue;
        }
        const std::string line = typed_;
        typed_.clear();
        commands_.push_back(line);
        const bool echoed = echo_ || options_.echoStays;
        std::chrono::milliseconds took{0};
        std::string text = run(line, t, took);
        if (echoed) text = line + "\r" + text;
        if (linefeeds_) {
            std::string withFeeds;
            for (char k : text) {
                withFeeds.push_back(k);
                if (k == '\r') withFeeds.push_back('\n');
            }
            text = withFeeds;
        }
        text += ">";
        auto at = t + options_.latency + took + options_.latency;
        for (char k : text) {
            at += each;
            back.push_back({at, static_cast<std::uint8_t>(k)});
        }
    }
    return back;
}

std::string ElmCore::run(const std::string& line, Clock::time_point t, std::chrono::milliseconds& took) {
    const std::string c = upperNoSpaces(line);
    if (c.empty()) return "\r";
    if (c.rfind("AT", 0) != 0) {
        if (!hexDigits(c) || c.size() % 2) return "?\r\r";
        return request(c, t, took);
    }
    const std::string a = c.substr(2);
    const auto ok = [] { return std::string("OK\r\r"); };
    if (a == "Z" || a == "WS") {
        reset();
        took = options_.resetTime;
        return "\r\r" + options_.version + "\r\r";
    }
    if (a == "I") return options_.version + "\r\r";
    if (a == "@1") return "OBDII to RS232 Interpreter\r\r";
    if (a == "E0" || a == "E1") {
        echo_ = a == "E1";
        return ok();
    }
    if (a == "L0" || a == "L1") {
        linefeeds_ = a == "L1";
        return ok();
    }
    if (a == "H0" || a == "H1") {
        headers_ = a == "H1";
        return ok();
    }
    if (a == "S0" || a == "S1") {
        spaces_ = a == "S1";
        return ok();
    }
    if (a == "AL" || a == "NL") return options_.knowsAllowLong ? ok() : "?\r\r";
    if (a.rfind("SP", 0) == 0 && a.size() == 3) {
        protocol_ = a[2] - '0';
        initialised_ = false;
        return ok();
    }
    if (a.rfind("SH", 0) == 0 && a.size() == 8 && hexDigits(a.substr(2))) {
        header_ = hexBytes(a.substr(2));
        return ok();
    }
    if ((a.rfind("ST", 0) == 0 || a.rfind("SW", 0) == 0) && a.size() == 4 && hexDigits(a.substr(2))) return ok();
    if (a == "AT0" || a == "AT1" || a == "AT2") return ok();
    if (a == "PC") {
        initialised_ = false;
        return ok();
    }
    if (a == "DPN") return protocol_ ? std::to_string(protocol_) + "\r\r" : "0\r\r";
    if (a == "FI") {
        if (!options_.knowsFastInit || protocol_ != 5) return "?\r\r";
        took = std::chrono::milliseconds(50) + options_.ecuAnswer;
        return fastInit(t) ? "BUS INIT: OK\r\r" : "BUS INIT: ...ERROR\r\r";
    }
    return "?\r\r";
}

bool ElmCore::fastInit(Clock::time_point t) {
    // The wake-up pattern, then StartCommunication with the header given.
    initialised_ = false;
    if (options_.silentEcu) return false;
    ecu_.wakeUp();
    std::vector<std::uint8_t> start = {static_cast<std::uint8_t>((header_[0] & 0xC0) | 1), header_[1], header_[2],
                                       0x81};
    unsigned sum = 0;
    for (auto b : start) sum += b;
    start.push_back(static_cast<std::uint8_t>(sum));
    if (beforeAnswer) beforeAnswer(start, t);
    const auto answer = ecu_.respond(start.data(), start.size());
    initialised_ = answer.size() > 3 && answer[answer.size() - 4] == 0xC1;
    return initialised_;
}

std::string ElmCore::request(const std::string& hex, Clock::time_point t, std::chrono::milliseconds& took) {
    if (protocol_ != 5) return "NO DATA\r\r";
    const std::vector<std::uint8_t> data = hexBytes(hex);
    if (data.size() > (options_.knowsAllowLong ? 8u : 7u)) return "?\r\r";
    std::string text;
    if (!initialised_) {
        took += std::chrono::milliseconds(50) + options_.ecuAnswer;
        if (!fastInit(t)) return "BUS INIT: ...ERROR\r\r";
        text = "BUS INIT: OK\r";
    }
    // The length goes into the format byte's low bits unless the header
    // asks for a separate length byte.
    std::vector<std::uint8_t> frame;
    if (header_[0] & 0x3F) {
        frame = {static_cast<std::uint8_t>((header_[0] & 0xC0) | data.size()), header_[1], header_[2]};
    } else {
        frame = {header_[0], header_[1], header_[2], static_cast<std::uint8_t>(data.size())};
    }
    frame.insert(frame.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (auto b : frame) sum += b;
    frame.push_back(static_cast<std::uint8_t>(sum));
    frames_.push_back(frame);
    took += options_.ecuAnswer;
    if (options_.silentEcu) return text + "NO DATA\r\r";
    if (beforeAnswer) beforeAnswer(frame, t);
    const std::vector<std::uint8_t> answer = ecu_.respond(frame.data(), frame.size());
    if (answer.empty()) return text + "NO DATA\r\r";
    took += std::chrono::milliseconds(answer.size() * 1);  // about 1 ms a byte at 10400 baud
    return text + printed(answer) + "\r";
}

std::string ElmCore::printed(const std::vector<std::uint8_t>& frame) const {
    std::vector<std::uint8_t> shown = frame;
    if (!headers_) {
        const std::size_t head = (frame[0] & 0x3F) ? 3 : 4;
        shown.assign(frame.begin() + static_cast<long>(head), frame.end() - 1);
    }
    bool full = false;
    if (options_.passesAtMost && shown.size() > options_.passesAtMost) {
        shown.resize(options_.passesAtMost);
        full = true;
    }
    std::string out;
    char hex[4];
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (i && options_.bytesPerLine && i % options_.bytesPerLine == 0) out += "\r";
        std::snprintf(hex, sizeof hex, spaces_ ? "%02X " : "%02X", shown[i]);
        out += hex;
    }
    out += "\r";
    if (full) out += "BUFFER FULL\r";
    return out;
}

}  // namespace sim
