#include "link/RecordingLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/TimedPause.h"

namespace klink {

// ---- RecordingLine --------------------------------------------------------

RecordingLine::RecordingLine(std::unique_ptr<platform::SerialLine> inner) : inner_(std::move(inner)) {}

std::unique_ptr<RecordingLine> RecordingLine::create(std::unique_ptr<platform::SerialLine> inner,
                                                     const std::string& path, std::string& error) {
    std::unique_ptr<RecordingLine> line(new RecordingLine(std::move(inner)));
    if (!line->recorder_.start(path, line->inner_->name(), error)) return nullptr;
    return line;
}

void RecordingLine::record(WireEvent::Kind kind, const std::uint8_t* data, std::size_t size, std::string text) {
    WireEvent e;
    e.ms = recorder_.nowMs();
    e.kind = kind;
    if (data) e.bytes.assign(data, data + size);
    e.text = std::move(text);
    recorder_.record(std::move(e));
}

bool RecordingLine::open() {
    const bool ok = inner_->open();
    if (ok) {
        record(WireEvent::Kind::Open);
    } else {
        record(WireEvent::Kind::OpenFailed, nullptr, 0, inner_->failureReason());
    }
    return ok;
}

void RecordingLine::close() {
    if (inner_->isOpen()) record(WireEvent::Kind::Close);
    inner_->close();
}

void RecordingLine::write(const std::uint8_t* data, std::size_t size) {
    record(WireEvent::Kind::Request, data, size);
    inner_->write(data, size);
}

std::size_t RecordingLine::read(std::uint8_t* buffer, std::size_t max) {
    const std::size_t n = inner_->read(buffer, max);
    WireEvent e;
    e.ms = recorder_.nowMs();
    e.kind = WireEvent::Kind::Reply;
    e.bytes.assign(buffer, buffer + n);
    lastReadMs_ = e.ms;  // the rows' times are the recorded ones
    recorder_.record(std::move(e));
    return n;
}

void RecordingLine::wakeUp() {
    record(WireEvent::Kind::Wake);
    inner_->wakeUp();
}

// ---- ReplayLine -----------------------------------------------------------

namespace {
// How far ahead a request may be found: a pass holds a handful of requests,
// and a command the recorded drive sent (or the replay sends) is skipped.
constexpr std::size_t kLookAheadRequests = 12;
}  // namespace

ReplayLine::ReplayLine(std::vector<WireEvent> events, bool realtime)
    : events_(std::move(events)), realtime_(realtime) {}

std::unique_ptr<ReplayLine> ReplayLine::load(const std::string& path, bool realtime, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return nullptr;
    }
    std::stringstream text;
    text << in.rdbuf();
    return fromText(text.str(), realtime, error);
}

std::unique_ptr<ReplayLine> ReplayLine::fromText(std::string_view text, bool realtime, std::string& error) {
    std::vector<WireEvent> events;
    if (!parseRecording(text, events, error)) return nullptr;
    bool anyRequest = false;
    for (const auto& e : events) anyRequest = anyRequest || e.kind == WireEvent::Kind::Request;
    if (!anyRequest) {
        error = "the recording holds no exchange";
        return nullptr;
    }
    return std::unique_ptr<ReplayLine>(new ReplayLine(std::move(events), realtime));
}

bool ReplayLine::open() {
    if (start_ == platform::Clock::time_point{}) start_ = platform::Clock::now();
    // The recorded opening decides: a port that failed then fails now.
    while (cursor_ < events_.size()) {
        const WireEvent& e = events_[cursor_];
        if (e.kind == WireEvent::Kind::Open) {
            ++cursor_;
            break;
        }
        if (e.kind == WireEvent::Kind::OpenFailed) {
            ++cursor_;
            failure_ = e.text;
            return false;
        }
        if (e.kind == WireEvent::Kind::Request) break;
        ++cursor_;
    }
    open_ = true;
    return true;
}

std::size_t ReplayLine::find(WireEvent::Kind kind, const std::uint8_t* bytes, std::size_t size) const {
    std::size_t requests = 0;
    for (std::size_t i = cursor_; i < events_.size(); ++i) {
        const WireEvent& e = events_[i];
        if (e.kind == kind && (!bytes || (e.bytes.size() == size && std::equal(bytes, bytes + size, e.bytes.begin()))))
            return i;
        if (e.kind == WireEvent::Kind::Request && ++requests > kLookAheadRequests) break;
    }
    return events_.size();
}

void ReplayLine::write(const std::uint8_t* data, std::size_t size) {
    pendingReply_ = SIZE_MAX;
    if (find(WireEvent::Kind::Request, nullptr, 0) == events_.size()) {
        ended_ = true;  // no request left: the drive is over
        return;
    }
    const std::size_t at = find(WireEvent::Kind::Request, data, size);
    if (at == events_.size()) return;  // not in this drive: no answer
    cursor_ = at + 1;
    if (cursor_ < events_.size() && events_[cursor_].kind == WireEvent::Kind::Reply) pendingReply_ = cursor_++;
}

void ReplayLine::waitFor(std::int64_t ms) {
    if (!realtime_) return;
    std::unique_lock<std::mutex> lock(waitMutex_);
    waitCv_.wait_until(lock, start_ + std::chrono::milliseconds(ms), [this] { return interrupted_.load(); });
}

std::size_t ReplayLine::read(std::uint8_t* buffer, std::size_t max) {
    if (pendingReply_ == SIZE_MAX || interrupted_) return 0;
    const WireEvent& reply = events_[pendingReply_];
    pendingReply_ = SIZE_MAX;
    waitFor(reply.ms);
    lastReplyMs_ = reply.ms;
    const std::size_t n = std::min(max, reply.bytes.size());
    std::copy(reply.bytes.begin(), reply.bytes.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    return n;
}

void ReplayLine::wakeUp() {
    const std::size_t at = find(WireEvent::Kind::Wake, nullptr, 0);
    if (at != events_.size()) {
        cursor_ = at + 1;
        waitFor(events_[at].ms + platform::WakeTiming::kTotal.count());
    }
}

void ReplayLine::interrupt() {
    interrupted_ = true;
    std::lock_guard<std::mutex> lock(waitMutex_);
    waitCv_.notify_all();
}

// ---- RecordingObserver ----------------------------------------------------

void RecordingObserver::statusWritten(const std::string& text1251) {
    recorder_.status(text1251, recorder_.nowMs());
    if (next_) next_->statusWritten(text1251);
}

void RecordingObserver::passCompleted(std::uint64_t passNumber) {
    recorder_.pass(passNumber, recorder_.nowMs());
    if (next_) next_->passCompleted(passNumber);
}

}  // namespace klink
