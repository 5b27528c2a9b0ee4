// A recording of the wire: one text line per event, each with its time in
// milliseconds since the recording began.
//
//   # m797 wire recording 1
//   0 open
//   3 > 81 10 F1 82 04
//   756 <
//   757 wake
//   807 > 81 10 F1 81 03
//   836 < 81 10 F1 81 03 83 F1 10 C1 EF 8F C3
//   2301 status Данные получены.
//   2301 pass 1
//
// ">" is a request as written, "<" what was read back (the adapter's echo
// included, possibly nothing), "status" a change of the status text (UTF-8),
// "pass" the end of a poll pass. Written as it goes and flushed at every
// pass, so a crash or an unplugged adapter loses at most one pass.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SerialLine.h"

namespace klink {

struct WireEvent {
    enum class Kind { Open, OpenFailed, Close, Wake, Request, Reply, Status, Pass };
    std::int64_t ms = 0;
    Kind kind = Kind::Open;
    std::vector<std::uint8_t> bytes;  // Request, Reply
    std::string text;                 // OpenFailed: the reason; Status: UTF-8; Pass: the number
};

extern const char* const kRecordingMagic;  // the first line
// The longest reply an exchange reads, and so the longest a recording holds.
constexpr std::size_t kMaxRecordedReply = 1024;

// Reads a whole recording. On a bad one returns false and says which line
// and why ("line 7: a reply must be hexadecimal bytes").
bool parseRecording(std::string_view text, std::vector<WireEvent>& events, std::string& error);
// One event as its line, without the newline.
std::string formatEvent(const WireEvent& e);

// Writes events to a file as they happen. Thread-safe.
class WireRecorder {
public:
    WireRecorder() = default;
    ~WireRecorder();
    WireRecorder(const WireRecorder&) = delete;
    WireRecorder& operator=(const WireRecorder&) = delete;

    // Creates the file; false with the reason in error.
    bool start(const std::string& path, const std::string& device, std::string& error);
    // Milliseconds since the recording began.
    std::int64_t nowMs() const;
    void record(WireEvent e);
    // A status text (1251) that differs from the last one recorded.
    void status(const std::string& text1251, std::int64_t ms);
    // The end of a pass: recorded and flushed to the file.
    void pass(std::uint64_t number, std::int64_t ms);

private:
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    platform::Clock::time_point epoch_{};
    std::int64_t lastMs_ = 0;
    std::string lastStatus_;
    bool anyStatus_ = false;
};

}  // namespace klink
