// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/WireRecording.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/Cp1251.h"
#include "platform/FileAccess.h"
#include "platform/Hex.h"

namespace klink {

const char* const kRecordingMagic = "# m797 wire recording 1";

namespace {

struct KindName {
    WireEvent::Kind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {WireEvent::Kind::Open, "open"},     {WireEvent::Kind::OpenFailed, "open-failed"},
    {WireEvent::Kind::Close, "close"},   {WireEvent::Kind::Wake, "wake"},
    {WireEvent::Kind::Request, ">"},     {WireEvent::Kind::Reply, "<"},
    {WireEvent::Kind::Status, "status"}, {WireEvent::Kind::Pass, "pass"},
    {WireEvent::Kind::Note, "note"},
};

const char* nameOf(WireEvent::Kind k) {
    for (const auto& n : kKindNames)
        if (n.kind == k) return n.name;
    return "?";
}

// "81 10 F1" into bytes; false if it is anything else.
bool parseHex(std::string_view s, std::vector<std::uint8_t>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        if (i + 1 >= s.size() || platform::hexValue(s[i]) < 0 || platform::hexValue(s[i + 1]) < 0) return false;
        out.push_back(static_cast<std::uint8_t>(platform::hexValue(s[i]) * 16 + platform::hexValue(s[i + 1])));
        i += 2;
        if (i < s.size() && s[i++] != ' ') return false;
        if (i == s.size() && s.back() == ' ') return false;
    }
    return true;
}

// One line; an empty string when it is good, else why not.
std::string parseLine(std::string_view line, std::int64_t previousMs, WireEvent& e) {
    const auto space = line.find(' ');
    const std::string_view msText = line.substr(0, space);
    const char* end = msText.data() + msText.size();
    auto [p, ec] = std::from_chars(msText.data(), end, e.ms);
    if (ec != std::errc() || p != end || msText.empty() || e.ms < 0)
        return "a line must begin with its time in milliseconds";
    if (e.ms < previousMs) return "time runs backwards";
    if (space == std::string_view::npos) return "an event must follow the time";
    std::string_view rest = line.substr(space + 1);
    const auto kindEnd = rest.find(' ');
    const std::string_view kind = rest.substr(0, kindEnd);
    const std::string_view arg = kindEnd == std::string_view::npos ? std::string_view() : rest.substr(kindEnd + 1);
    bool known = false;
    for (const auto& n : kKindNames) {
        if (kind == n.name) {
            e.kind = n.kind;
            known = true;
        }
    }
    if (!known) return "unknown event \"" + std::string(kind.substr(0, 20)) + "\"";
    switch (e.kind) {
        case WireEvent::Kind::Request:
            if (!parseHex(arg, e.bytes) || e.bytes.empty() || e.bytes.size() > 260)
                return "a request must be hexadecimal bytes";
            break;
        case WireEvent::Kind::Reply:
            if (!parseHex(arg, e.bytes)) return "a reply must be hexadecimal bytes";
            if (e.bytes.size() > kMaxRecordedReply)
                return "a reply of " + std::to_string(e.bytes.size()) + " bytes; no exchange reads more than " +
                       std::to_string(kMaxRecordedReply);
            break;
        case WireEvent::Kind::Status:
        case WireEvent::Kind::OpenFailed:
        case WireEvent::Kind::Note:
            e.text = std::string(arg);
            break;
        case WireEvent::Kind::Pass: {
            std::uint64_t n = 0;
            auto [q, ec2] = std::from_chars(arg.data(), arg.data() + arg.size(), n);
            if (ec2 != std::errc() || q != arg.data() + arg.size() || arg.empty()) return "a pass needs its number";
            e.text = std::string(arg);
            break;
        }
        default:
            if (!arg.empty()) return std::string(nameOf(e.kind)) + " takes nothing after it";
            break;
    }
    return {};
}

}  // namespace

bool RecordingParser::line(std::string_view text, std::optional<WireEvent>& event, std::string& error) {
    event.reset();
    ++lineNo_;
    auto bad = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo_) + ": " + why;
        return false;
    };
    if (lineNo_ == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.remove_prefix(3);  // an editor's mark
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t') return bad("binary data, not a wire recording");
    if (lineNo_ == 1) {
        const std::string_view stem = "# m797 wire recording ";
        if (text.compare(0, stem.size(), stem) == 0) {
            const std::string_view number = text.substr(stem.size());
            int format = 0;
            auto [p, ec] = std::from_chars(number.data(), number.data() + number.size(), format);
            if (ec == std::errc() && p == number.data() + number.size() && format > kRecordingFormat)
                return bad("a recording of a newer format (" + std::string(number) + "); this program reads format " +
                           std::to_string(kRecordingFormat));
        }
        if (text != kRecordingMagic)
            return bad("not a wire recording of this program (it must begin with \"" + std::string(kRecordingMagic) +
                       "\")");
        return true;
    }
    if (text.empty()) return true;
    if (text[0] == '#') {
        // The header's device (or the older "# started ... on DEVICE").
        constexpr std::string_view kDevice = "# device ";
        if (text.compare(0, kDevice.size(), kDevice) == 0) device_ = std::string(text.substr(kDevice.size()));
        constexpr std::string_view kStarted = "# started ";
        if (text.compare(0, kStarted.size(), kStarted) == 0) {
            const std::string_view when = text.substr(kStarted.size());
            const auto on = when.find(" on ");
            if (device_.empty() && on != std::string_view::npos) device_ = std::string(when.substr(on + 4));
            started_ = platform::parseHeaderTime(when.substr(0, on));
        }
        return true;
    }
    WireEvent e;
    const std::string why = parseLine(text, lastMs_, e);
    if (!why.empty()) return bad(why);
    lastMs_ = e.ms;
    event = std::move(e);
    return true;
}

bool RecordingSplitter::takeLine(std::string_view line, const std::function<void(WireEvent&&)>& event,
                                 std::string& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::optional<WireEvent> e;
    if (!parser_.line(line, e, error)) return false;
    if (e) event(std::move(*e));
    return true;
}

bool RecordingSplitter::feed(std::string_view piece, const std::function<void(WireEvent&&)>& event,
                             std::string& error) {
    total_ += piece.size();
    if (total_ > kMaxRecordingSize) {
        error = "the recording is larger than " + std::to_string(kMaxRecordingSize >> 20) + " MiB";
        return false;
    }
    while (!piece.empty()) {
        const auto nl = piece.find('\n');
        const std::string_view part = piece.substr(0, nl);
        if (partial_.size() + part.size() > kMaxRecordingLine) {
            // The line's beginning, the same however the stream was cut.
            std::string head = partial_;
            head.append(part.substr(0, kMaxRecordingLine + 1 - std::min(partial_.size(), kMaxRecordingLine + 1)));
            head.resize(std::min(head.size(), kMaxRecordingLine + 1));
            error = whyUnfinished(head, "longer than " + std::to_string(kMaxRecordingLine) + " characters");
            return false;
        }
        if (nl == std::string_view::npos) {
            partial_.append(part);
            return true;
        }
        if (partial_.empty()) {
            if (!takeLine(part, event, error)) return false;
        } else {
            partial_.append(part);
            const bool ok = takeLine(partial_, event, error);
            partial_.clear();
            if (!ok) return false;
        }
        piece.remove_prefix(nl + 1);
    }
    return true;
}

std::string RecordingSplitter::whyUnfinished(std::string_view head, const std::string& otherwise) const {
    const std::string at = "line " + std::to_string(parser_.lines() + 1) + ": ";
    const auto cr = head.find('\r');
    if (cr != std::string_view::npos && cr + 1 < head.size())
        return at + "the lines end in a carriage return alone; a recording's lines end in a line feed";
    // Say what is wrong with the line itself before that it is long or cut.
    if (!head.empty() && head.back() == '\r') head.remove_suffix(1);
    RecordingParser probe = parser_;
    std::optional<WireEvent> ignored;
    std::string why;
    if (!probe.line(head, ignored, why)) return why;
    return at + otherwise;
}

bool RecordingSplitter::finish(const std::function<void(WireEvent&&)>& event, std::string& error) {
    if (total_ == 0) {
        error = "the file is empty";
        return false;
    }
    if (!partial_.empty()) {
        // A recording cut inside its last line (a full disk, a crash) keeps
        // every whole line before it; anything else wrong with it is said.
        // (A file whose lines end in a carriage return alone is one line.)
        const auto cr = partial_.find('\r');
        if (cr != std::string::npos && cr + 1 < partial_.size()) {
            error = whyUnfinished(partial_, {});
            return false;
        }
        partial_.clear();
        note_ = "the recording ends in the middle of line " + std::to_string(parser_.lines() + 1) +
                "; replayed up to the line before it";
    }
    (void)event;
    return true;
}

bool parseRecording(std::string_view text, std::vector<WireEvent>& events, std::string& error) {
    events.clear();
    RecordingSplitter splitter;
    const auto keep = [&events](WireEvent&& e) { events.push_back(std::move(e)); };
    return splitter.feed(text, keep, error) && splitter.finish(keep, error);
}

std::string formatEvent(const WireEvent& e) {
    std::string s = std::to_string(e.ms) + " " + nameOf(e.kind);
    switch (e.kind) {
        case WireEvent::Kind::Request:
        case WireEvent::Kind::Reply:
            for (std::uint8_t b : e.bytes) {
                s += ' ';
                platform::appendHex(s, b);
            }
            break;
        case WireEvent::Kind::Status:
        case WireEvent::Kind::OpenFailed:
        case WireEvent::Kind::Pass:
        case WireEvent::Kind::Note:
            s += ' ' + e.text;
            break;
        default:
            break;
    }
    return s;
}

WireRecorder::~WireRecorder() { finish(); }

bool WireRecorder::start(const std::string& path, const RecordingHeader& header, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = platform::openFile(path, "wb");  // lines end in LF on every system
    if (!file_) {
        error = std::strerror(errno);
        return false;
    }
    path_ = path;
    epoch_ = platform::Clock::now();
    started_ = platform::wallNow();
    std::string head = std::string(kRecordingMagic) + "\n# program " + header.program + "\n# started " +
                       platform::headerTime(started_) + "\n# device " + header.device + "\n";
    if (!header.options.empty()) head += "# options " + header.options + "\n";
    if (std::fputs(head.c_str(), file_) < 0 || std::fflush(file_) != 0)
        fail(errno);
    else
        written_ = head.size();
    return true;
}

void WireRecorder::setFailureReport(std::function<void(const std::string&)> report) {
    std::string already;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        report_ = std::move(report);
        if (failed_) already = failure_;
    }
    if (!already.empty() && report_) report_(already);  // the header already failed
}

void WireRecorder::fail(int error) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (failed_) return;
    failed_ = true;
    failure_ = path_ + ": the recording stopped: " + std::strerror(error != 0 ? error : EIO);
}

std::int64_t WireRecorder::nowMs() const {
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(platform::Clock::now() - epoch_).count();
}

void WireRecorder::record(WireEvent e) {
    std::string report;
    std::function<void(const std::string&)> to;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!file_) return;
        if (e.ms < lastMs_) e.ms = lastMs_;  // events from one thread, but keep the file readable
        lastMs_ = e.ms;
        const std::string line = formatEvent(e) + "\n";
        // Each line reaches the system at once: a killed program's recording
        // holds everything up to its last moment. A line is there whole or
        // not at all: what a failed write left of it is cut off again.
        if (std::fputs(line.c_str(), file_) < 0 || std::fflush(file_) != 0) {
            const int err = errno;
            std::fclose(file_);
            file_ = nullptr;
            platform::truncateFile(path_, written_);
            fail(err);
            report = failure_;
            to = report_;
        } else {
            written_ += line.size();
        }
    }
    if (!report.empty() && to) to(report);
}

void WireRecorder::status(const std::string& text1251, std::int64_t ms) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (anyStatus_ && text1251 == lastStatus_) return;
        anyStatus_ = true;
        lastStatus_ = text1251;
    }
    WireEvent e;
    e.ms = ms;
    e.kind = WireEvent::Kind::Status;
    e.text = cp1251::toUtf8(text1251);
    record(std::move(e));
}

void WireRecorder::pass(std::uint64_t number, std::int64_t ms) {
    WireEvent e;
    e.ms = ms;
    e.kind = WireEvent::Kind::Pass;
    e.text = std::to_string(number);
    record(std::move(e));
}

void WireRecorder::note(const std::string& utf8, std::int64_t ms) {
    WireEvent e;
    e.ms = ms;
    e.kind = WireEvent::Kind::Note;
    e.text = utf8;
    for (char& c : e.text)
        if (c == '\n' || c == '\r') c = ' ';
    record(std::move(e));
}

bool WireRecorder::finish() {
    std::string report;
    std::function<void(const std::string&)> to;
    bool whole = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_) {
            const bool ok = std::fflush(file_) == 0;
            const int err = errno;
            if (std::fclose(file_) != 0 || !ok) {
                file_ = nullptr;
                fail(ok ? errno : err);
                report = failure_;
                to = report_;
            }
            file_ = nullptr;
        }
        whole = !failed_;
    }
    if (!report.empty() && to) to(report);
    return whole;
}

}  // namespace klink
