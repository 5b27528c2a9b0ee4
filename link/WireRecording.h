// SPDX-License-Identifier: GPL-3.0-or-later
// A recording of the wire: one text line per event, each with its time in
// milliseconds since the recording began. The header's comment lines say
// what made it, so that whoever receives it can tell:
//
//   # m797 wire recording 1
//   # program m797-log 1.0.0
//   # started 2026-12-09 10:15:02.345 +0300
//   # device /dev/ttyUSB0
//   # options --dtc --passes 4
//   0 open
//   0 note granted 10400 baud
//   3 > 81 10 F1 82 04
//   756 <
//   757 wake
//   757 note woken by a 0x00 byte at 360 baud
//   807 > 81 10 F1 81 03
//   836 < 81 10 F1 81 03 83 F1 10 C1 EF 8F C3
//   2301 status Данные получены.
//   2301 pass 1
//
// ">" is a request as written, "<" what was read back (the adapter's echo
// included, possibly nothing), "status" a change of the status text (UTF-8),
// "note" what the adapter or the port made the program do, "pass" the end of
// a poll pass. Every line goes to the file as it happens, so a crash, a kill
// or an unplugged adapter loses nothing already said.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SerialLine.h"
#include "platform/WallClock.h"

namespace klink {

struct WireEvent {
    enum class Kind { Open, OpenFailed, Close, Wake, Request, Reply, Status, Pass, Note };
    std::int64_t ms = 0;
    Kind kind = Kind::Open;
    std::vector<std::uint8_t> bytes;  // Request, Reply
    std::string text;                 // OpenFailed: the reason; Status, Note: UTF-8; Pass: the number
};

extern const char* const kRecordingMagic;  // the first line
constexpr int kRecordingFormat = 1;
// The longest reply an exchange reads, and so the longest a recording holds.
constexpr std::size_t kMaxRecordedReply = 1024;
// What a reader accepts: one line (the longest reply spelled out fits), and
// the whole recording (some thirty hours of polling).
constexpr std::size_t kMaxRecordingLine = 4096;
constexpr std::uint64_t kMaxRecordingSize = std::uint64_t{1} << 30;

// Reads a recording line by line, so that no more than one line is held.
class RecordingParser {
public:
    // One line, without its line end. False with the reason in error
    // ("line 7: a reply must be hexadecimal bytes"); otherwise event holds
    // the line's event, or nothing for a comment or a blank line.
    bool line(std::string_view text, std::optional<WireEvent>& event, std::string& error);
    // The device the header names, if any.
    const std::string& device() const { return device_; }
    // When the drive began, if the header says.
    const std::optional<platform::WallTime>& started() const { return started_; }
    std::size_t lines() const { return lineNo_; }

private:
    std::size_t lineNo_ = 0;
    std::int64_t lastMs_ = 0;
    std::string device_;
    std::optional<platform::WallTime> started_;
};

// Splits a byte stream into lines for the parser and checks the limits; for
// the streamed reading of a file.
class RecordingSplitter {
public:
    // Takes the next piece; calls event for each event. False with the
    // reason when the recording is bad.
    bool feed(std::string_view piece, const std::function<void(WireEvent&&)>& event, std::string& error);
    // The stream has ended.
    bool finish(const std::function<void(WireEvent&&)>& event, std::string& error);
    const RecordingParser& parser() const { return parser_; }
    // What the reader should know of a recording it could read: that its
    // last line was cut, say. Empty when nothing.
    const std::string& note() const { return note_; }

private:
    bool takeLine(std::string_view line, const std::function<void(WireEvent&&)>& event, std::string& error);
    // Why a line that never ended, or ran too long (its beginning: head), is
    // refused: what is wrong with it if anything, else otherwise.
    std::string whyUnfinished(std::string_view head, const std::string& otherwise) const;
    RecordingParser parser_;
    std::string partial_;
    std::string note_;
    std::uint64_t total_ = 0;
};

// Reads a whole recording held in memory.
bool parseRecording(std::string_view text, std::vector<WireEvent>& events, std::string& error);
// One event as its line, without the newline.
std::string formatEvent(const WireEvent& e);

// What the header says about the run that made the recording.
struct RecordingHeader {
    std::string program;  // "m797-log 1.0.0"
    std::string device;
    std::string options;  // "--dtc --passes 4"
};

// Writes events to a file as they happen. Thread-safe. A write that fails
// ends the recording: the program goes on without it, and says so once.
class WireRecorder {
public:
    WireRecorder() = default;
    ~WireRecorder();
    WireRecorder(const WireRecorder&) = delete;
    WireRecorder& operator=(const WireRecorder&) = delete;

    // Creates the file (a UTF-8 name); false with the reason in error.
    bool start(const std::string& path, const RecordingHeader& header, std::string& error);
    // Where the failure of a write is said, once: why, for the user. Called
    // on the thread that recorded the event.
    void setFailureReport(std::function<void(const std::string&)> report);
    // Milliseconds since the recording began.
    std::int64_t nowMs() const;
    // Times from this clock instead (a simulated line's). Before start.
    void setClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
    // When it began, on the wall clock (what its header says); set by start.
    platform::WallTime started() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }
    void record(WireEvent e);
    // A status text (1251) that differs from the last one recorded.
    void status(const std::string& text1251, std::int64_t ms);
    void pass(std::uint64_t number, std::int64_t ms);
    void note(const std::string& utf8, std::int64_t ms);
    // Closes the file; false when the recording is not whole (a write failed).
    bool finish();

private:
    void fail(int error);  // under the lock

    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string path_;
    platform::Clock::time_point epoch_{};
    platform::WallTime started_;
    std::int64_t lastMs_ = 0;
    std::uint64_t written_ = 0;  // bytes of whole lines in the file
    std::function<std::int64_t()> clock_;
    std::string lastStatus_;
    bool anyStatus_ = false;
    bool failed_ = false;
    std::string failure_;
    std::function<void(const std::string&)> report_;
};

}  // namespace klink
