// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Elm327Line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "link/RequestFrame.h"

namespace klink {
namespace {

std::string squeezed(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return out;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool isHexLine(const std::string& s) {
    return !s.empty() && s.size() % 2 == 0 &&
           std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// What the adapter's words mean for the user.
std::string meaning(const std::string& trouble) {
    const std::string t = squeezed(trouble);
    if (t == "NODATA") return "no answer from the ECU";
    if (t == "?") return "the adapter did not take the request";
    if (t.rfind("BUSINIT", 0) == 0) return "the adapter could not wake the ECU (ignition on? the K-line wired?)";
    if (t == "BUFFERFULL") return "the adapter could not pass the answer on in time";
    if (t == "STOPPED") return "the adapter broke off";
    if (t.find("DATAERROR") != std::string::npos || t.find("RXERROR") != std::string::npos)
        return "the answer came damaged";
    if (t == "UNABLETOCONNECT") return "the adapter found no ECU";
    return "a fault on the car's line or in the adapter";
}

// Where the adapter names itself an ELM (any case) in its text, or npos.
std::size_t elmNamed(const std::string& text) {
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return upper.find("ELM");
}

// Whether the bytes are whole KWP2000 frames; the count at which one ends
// early otherwise.
bool wholeFrames(const std::vector<std::uint8_t>& b, std::size_t& expected) {
    std::size_t at = 0;
    while (at < b.size()) {
        const std::size_t head = (b[at] & 0x3F) ? 3 : 4;
        if (head == 4 && at + 3 >= b.size()) {
            expected = at + 4;
            return false;
        }
        const std::size_t length = (b[at] & 0x3F) ? (b[at] & 0x3F) : b[at + 3];
        const std::size_t end = at + head + length + 1;
        if (end > b.size()) {
            expected = end;
            return false;
        }
        at = end;
    }
    return true;
}

}  // namespace

std::string adapterWords(const std::string& text) {
    // An adapter's words reach the terminal, the window's box and a
    // recording's notes: printable ASCII only, and not too much of it.
    constexpr std::size_t kShown = 32;
    std::string out;
    for (char c : text) {
        if (out.size() == kShown) {
            out += "...";
            break;
        }
        out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return out;
}

ElmAnswer readElmAnswer(const std::string& text, const std::string& command) {
    ElmAnswer a;
    a.prompt = text.find('>') != std::string::npos;
    std::string line;
    const std::string echo = squeezed(command);
    const auto take = [&](const std::string& raw) {
        std::string l = raw;
        l.erase(std::remove(l.begin(), l.end(), '>'), l.end());
        l = trimmed(l);
        const std::string s = squeezed(l);
        if (s.empty() || s == echo || s == "SEARCHING...") return;
        if (s.rfind("BUSINIT", 0) == 0) {
            // "BUS INIT: ...OK" or "...ERROR"; the dots alone: still at it.
            if (s.find("ERROR") != std::string::npos) {
                if (a.trouble.empty()) a.trouble = l;
            } else if (s.find("OK") != std::string::npos) {
                a.initOk = true;
            } else {
                a.initUnderWay = true;
            }
            return;
        }
        if (s == "OK") {
            a.ok = true;
            return;
        }
        if (isHexLine(s)) {
            for (std::size_t i = 0; i < s.size(); i += 2)
                a.bytes.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
            return;
        }
        if (a.trouble.empty()) a.trouble = l;
    };
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            take(line);
            line.clear();
        } else if (c != '\0') {
            line.push_back(c);
        }
    }
    take(line);
    return a;
}

Elm327Line::Elm327Line(platform::SerialLine& port, unsigned rate) : port_(port), rate_(rate) {}

bool Elm327Line::refuse(const std::string& reason) {
    reason_ = reason;
    return false;
}

bool Elm327Line::open() {
    reason_.clear();
    port_.setPortRate(rate_);
    if (!port_.open()) return false;
    if (!setUp()) {
        port_.close();
        return false;
    }
    return true;
}

void Elm327Line::close() {
    port_.close();
    pending_.clear();
}

std::string Elm327Line::failureReason() const { return reason_.empty() ? port_.failureReason() : reason_; }

std::string Elm327Line::openedAs() const {
    const std::string over = port_.openedAs();
    return version_ + " at " + std::to_string(rate_) + " baud" + (over.empty() ? "" : " (" + over + ")");
}

std::string Elm327Line::wokenBy() const { return wokenBy_; }

ElmAnswer Elm327Line::command(const std::string& text, std::chrono::milliseconds time, std::string* raw) {
    port_.purgeReceive();
    const std::string line = text + "\r";
    port_.write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    std::string got;
    auto deadline = platform::Clock::now() + time;
    std::uint8_t buffer[8];
    closed_ = overlong_ = false;
    bool said = text.empty();  // a prompt before any word is a late one of the command before
    bool done = false;
    bool longer = false;  // the time was lengthened for a wake-up under way
    while (!stopping()) {
        const std::size_t n = port_.read(buffer, sizeof buffer);
        got.append(reinterpret_cast<const char*>(buffer), n);
        for (std::size_t i = 0; i < n && !done; ++i) {
            if (buffer[i] == '>')
                done = said;
            else if (buffer[i] > ' ')
                said = true;
        }
        if (done) break;
        if (platform::Clock::now() >= deadline) {
            // An adapter that says it is waking the ECU ("BUS INIT: ...",
            // its dots one by one) is let finish: a command now would break
            // the wake-up off, and its late words would pass for the answer
            // to that command.
            if (longer || !readElmAnswer(got, text).initUnderWay) break;
            longer = true;
            deadline += kWakeUpTime - time;
        }
        // More than any answer of this ECU holds (a 255-byte frame printed
        // with spaces is under 800 characters): an adapter that floods the
        // line is not read on until the time is out.
        if (got.size() > kLongestAnswer) {
            overlong_ = true;
            break;
        }
        if (n == 0 && (!port_.isOpen() || port_.gone())) {
            closed_ = true;  // the connection closed or the device went: nothing more comes
            break;
        }
    }
    if (raw) *raw = got;
    ElmAnswer a = readElmAnswer(got, text);
    if (overlong_ && a.trouble.empty()) a.trouble = "more text than any answer holds";
    return a;
}

bool Elm327Line::setUp() {
    version_.clear();
    fastInitKnown_ = true;
    wokenBy_.clear();
    // A bare return first ends whatever the adapter took in before (a K-line
    // line's bytes, noise): the restart's answer is then its own.
    command("", kCommandTime / 4);
    std::string raw;
    command("ATZ", kResetTime, &raw);
    if (stopping()) return refuse("the program ends");
    const std::size_t at = elmNamed(raw);
    if (at == std::string::npos) {
        // What came back says why: nothing, the request's own echo (a K-line
        // adapter), a text of some other device, or bytes at another rate.
        const bool network = port_.openedAs().find("TCP") != std::string::npos;
        const std::string rate = network ? std::string() : " at " + std::to_string(rate_) + " baud";
        if (raw.empty()) return refuse("no ELM327 answers on this port: nothing came back" + rate);
        if (squeezed(raw).find_first_not_of("ATZ\r\n") == std::string::npos)
            return refuse(
                "no ELM327 answers on this port: what was sent came back unchanged, as a K-line adapter echoes it "
                "(choose K-line, --adapter kline)");
        const ElmAnswer a = readElmAnswer(raw, "ATZ");
        if (!a.trouble.empty() && adapterWords(a.trouble) == a.trouble)
            return refuse("no ELM327 answers on this port: it answered \"" + a.trouble + "\" to AT Z");
        return refuse("no ELM327 answers on this port: unreadable bytes came back" + rate +
                      (network ? "" : " (is the adapter set to another rate?)"));
    }
    const std::size_t end = raw.find_first_of("\r\n>", at);
    version_ = trimmed(raw.substr(at, end == std::string::npos ? std::string::npos : end - at));

    // Echo and line feeds off, headers on: each answer's line is its frame
    // as the K-line carried it, checksum included. Some adapters keep their
    // echo (readElmAnswer drops it) or lack the long-message command (the
    // ECU's answers give their own length: not needed to receive them).
    command("ATE0", kCommandTime);
    command("ATL0", kCommandTime);
    command("ATAL", kCommandTime);
    struct Needed {
        const char* command;
        const char* what;
    };
    // ATST 0D: 52 ms, the first 4-ms step at or above the 50 ms the link
    // allows between the request and its answer on the K-line.
    static constexpr Needed kNeeded[] = {{"ATH1", "show the answers' headers"},
                                         {"ATSP5", "speak KWP2000 with the fast wake-up (protocol 5)"},
                                         {"ATSH8110F1", "address this ECU (header 81 10 F1)"},
                                         {"ATST0D", "wait 52 ms for an answer"}};
    for (const Needed& n : kNeeded) {
        const ElmAnswer a = command(n.command, kCommandTime);
        if (stopping()) return refuse("the program ends");
        if (!a.ok && a.trouble.empty()) return refuse(version_ + " does not " + n.what + ": no answer to " + n.command);
        if (!a.ok)
            return refuse(version_ + " does not " + n.what + ": it answered \"" + adapterWords(a.trouble) + "\" to " +
                          n.command);
    }
    return true;
}

void Elm327Line::write(const std::uint8_t* data, std::size_t size) {
    // The echo a K-line adapter gives: the request as written.
    pending_.assign(data, data + size);
    if (size < 5 || data[1] != kEcuAddress || data[2] != kTesterAddress) return;
    const std::size_t head = (data[0] & 0x3F) ? 3 : 4;
    const std::size_t length = (data[0] & 0x3F) ? (data[0] & 0x3F) : data[3];
    if (head + length + 1 != size || frameChecksum(data, size - 1) != data[size - 1]) return;
    std::string hex;
    char two[3];
    for (std::size_t i = head; i + 1 < size; ++i) {
        std::snprintf(two, sizeof two, "%02X", data[i]);
        hex += two;
    }
    const ElmAnswer a = command(hex, kRequestTime);
    if (a.initOk) {
        if (wokenBy_.empty()) wokenBy_ = "the adapter's own wake-up at the first request";
    }
    // The program's end, or a port that said itself it went away, explains
    // the answer missing.
    if (stopping() || port_.gone()) return;
    if (closed_) {
        note("the adapter closed the connection");
        return;
    }
    if (!a.trouble.empty()) {
        note("the adapter said \"" + adapterWords(a.trouble) + "\": " + meaning(a.trouble));
        return;
    }
    if (!a.prompt) {
        note("the adapter did not finish an answer within " + std::to_string(kRequestTime.count()) + " ms");
        return;
    }
    if (a.bytes.empty()) {
        note("the adapter answered a request with no data and no reason");
        return;
    }
    std::size_t expected = 0;
    // The ECU's answers are addressed to the tester from the ECU; bytes
    // that are not began without their header (a clone that drops AT H1).
    if (a.bytes.size() < 3 || (a.bytes[0] & 0xC0) != 0x80 || a.bytes[1] != kTesterAddress || a.bytes[2] != kEcuAddress)
        note("the adapter passed an answer without the header it begins with (does it keep AT H1, headers on?)");
    else if (!wholeFrames(a.bytes, expected))
        note("the adapter passed " + std::to_string(a.bytes.size()) + " bytes of an answer of " +
             std::to_string(expected) + ": it cannot pass answers this long");
    pending_.insert(pending_.end(), a.bytes.begin(), a.bytes.end());
}

std::size_t Elm327Line::read(std::uint8_t* buffer, std::size_t max) {
    const std::size_t n = std::min(max, pending_.size());
    std::copy(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void Elm327Line::wakeUp() {
    pending_.clear();
    // The session's protocol closed, so that the adapter wakes the ECU anew.
    command("ATPC", kCommandTime);
    if (!fastInitKnown_ || closed_ || stopping()) return;
    const ElmAnswer a = command("ATFI", kRequestTime);
    if (closed_ || stopping()) return;  // said already, or nothing to say
    if (a.initOk) {
        wokenBy_ = "the adapter's fast init (AT FI)";
    } else if (squeezed(a.trouble) == "?") {
        fastInitKnown_ = false;
        note(version_ + " has no fast-init command (AT FI): it wakes the ECU at the first request");
    } else if (a.trouble.empty()) {
        note("the adapter gave no answer to AT FI: " + meaning("BUS INIT"));
    } else {
        note("the adapter said \"" + adapterWords(a.trouble) + "\": " + meaning("BUS INIT"));
    }
}

void Elm327Line::interrupt() {
    interrupted_ = true;
    endRests();
    port_.interrupt();
}

bool Elm327Line::answersOn(platform::SerialLine& port, unsigned rate) {
    port.close();
    port.setPortRate(rate);
    bool answers = false;
    if (port.open()) {
        Elm327Line probe(port, rate);
        probe.command("", kCommandTime / 4);
        std::string raw;
        probe.command("ATI", kCommandTime, &raw);
        answers = elmNamed(raw) != std::string::npos;
    }
    port.close();
    port.setPortRate(platform::kLinkBaud);
    return answers;
}

}  // namespace klink
