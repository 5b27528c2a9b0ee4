#include "link/WireRecording.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

#include "platform/Cp1251.h"

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
};

const char* nameOf(WireEvent::Kind k) {
    for (const auto& n : kKindNames)
        if (n.kind == k) return n.name;
    return "?";
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "81 10 F1" into bytes; false if it is anything else.
bool parseHex(std::string_view s, std::vector<std::uint8_t>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        if (i + 1 >= s.size() || hexDigit(s[i]) < 0 || hexDigit(s[i + 1]) < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hexDigit(s[i]) * 16 + hexDigit(s[i + 1])));
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
            if (!parseHex(arg, e.bytes) || e.bytes.size() > kMaxRecordedReply)
                return "a reply must be hexadecimal bytes";
            break;
        case WireEvent::Kind::Status:
        case WireEvent::Kind::OpenFailed:
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

bool parseRecording(std::string_view text, std::vector<WireEvent>& events, std::string& error) {
    events.clear();
    if (text.empty()) {
        error = "the file is empty";
        return false;
    }
    std::size_t lineNo = 0, pos = 0;
    std::int64_t lastMs = 0;
    while (pos < text.size()) {
        ++lineNo;
        const auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            error = "line " + std::to_string(lineNo) + ": the recording ends in the middle of a line";
            return false;
        }
        std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (unsigned char c : line) {
            if (c < 0x20 && c != '\t') {
                error = "line " + std::to_string(lineNo) + ": binary data, not a wire recording";
                return false;
            }
        }
        if (lineNo == 1) {
            if (line != kRecordingMagic) {
                error = "line 1: not a wire recording of this program (it must begin with \"" +
                        std::string(kRecordingMagic) + "\")";
                return false;
            }
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        WireEvent e;
        const std::string why = parseLine(line, lastMs, e);
        if (!why.empty()) {
            error = "line " + std::to_string(lineNo) + ": " + why;
            return false;
        }
        lastMs = e.ms;
        events.push_back(std::move(e));
    }
    return true;
}

std::string formatEvent(const WireEvent& e) {
    std::string s = std::to_string(e.ms) + " " + nameOf(e.kind);
    static const char kHex[] = "0123456789ABCDEF";
    switch (e.kind) {
        case WireEvent::Kind::Request:
        case WireEvent::Kind::Reply:
            for (std::uint8_t b : e.bytes) {
                s += ' ';
                s += kHex[b >> 4];
                s += kHex[b & 0xF];
            }
            break;
        case WireEvent::Kind::Status:
        case WireEvent::Kind::OpenFailed:
        case WireEvent::Kind::Pass:
            s += ' ' + e.text;
            break;
        default:
            break;
    }
    return s;
}

WireRecorder::~WireRecorder() {
    if (file_) std::fclose(file_);
}

bool WireRecorder::start(const std::string& path, const std::string& device, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        error = std::strerror(errno);
        return false;
    }
    epoch_ = platform::Clock::now();
    const std::time_t now = std::time(nullptr);
    char when[64] = "";
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&now));
    std::fprintf(file_, "%s\n# started %s on %s\n", kRecordingMagic, when, device.c_str());
    std::fflush(file_);
    return true;
}

std::int64_t WireRecorder::nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(platform::Clock::now() - epoch_).count();
}

void WireRecorder::record(WireEvent e) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return;
    if (e.ms < lastMs_) e.ms = lastMs_;  // events from one thread, but keep the file readable
    lastMs_ = e.ms;
    const std::string line = formatEvent(e);
    std::fprintf(file_, "%s\n", line.c_str());
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
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) std::fflush(file_);
}

}  // namespace klink
