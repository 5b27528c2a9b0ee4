// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/RecordingLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "link/Com_Port.h"
#include "platform/FileAccess.h"
#include "platform/TimedPause.h"

namespace klink {

// ---- RecordingLine --------------------------------------------------------

RecordingLine::RecordingLine(std::unique_ptr<platform::SerialLine> inner) : inner_(std::move(inner)) {}

std::unique_ptr<RecordingLine> RecordingLine::create(std::unique_ptr<platform::SerialLine> inner,
                                                     const std::string& path, RecordingHeader header,
                                                     std::string& error) {
    std::unique_ptr<RecordingLine> line(new RecordingLine(std::move(inner)));
    if (header.device.empty()) header.device = line->inner_->name();
    if (!line->recorder_.start(path, header, error)) return nullptr;
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
        if (const std::string how = inner_->openedAs(); !how.empty()) recorder_.note(how, recorder_.nowMs());
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

void RecordingLine::setNoteSink(std::function<void(const std::string&)> sink) {
    inner_->setNoteSink([this, sink = std::move(sink)](const std::string& text) {
        recorder_.note(text, recorder_.nowMs());
        if (sink) sink(text);
    });
}

void RecordingLine::wakeUp() {
    record(WireEvent::Kind::Wake);
    inner_->wakeUp();
    // The method actually used, after any fallback, each time it changes.
    if (const std::string how = inner_->wokenBy(); !how.empty() && how != lastWake_) {
        lastWake_ = how;
        recorder_.note("woken by " + how, recorder_.nowMs());
    }
}

// ---- ReplayLine -----------------------------------------------------------

ReplayLine::ReplayLine(bool realtime) : speed_(realtime ? 1 : 0) {}

void ReplayLine::setSpeed(int speed) {
    std::lock_guard<std::mutex> lock(waitMutex_);
    if (start_ != platform::Clock::time_point{}) {
        anchorMs_ = lastReplyMs_.load();
        start_ = platform::Clock::now();
    }
    speed_ = speed;
    ++paceChanges_;
    waitCv_.notify_all();
}

void ReplayLine::add(WireEvent&& e) {
    Stored s{};
    s.ms = e.ms;
    s.kind = static_cast<std::uint8_t>(e.kind);
    s.offset = static_cast<std::uint32_t>(arena_.size());
    if (e.kind == WireEvent::Kind::Request || e.kind == WireEvent::Kind::Reply) {
        arena_.append(e.bytes.begin(), e.bytes.end());
        s.size = static_cast<std::uint16_t>(e.bytes.size());
    } else if (e.kind == WireEvent::Kind::OpenFailed) {
        arena_.append(e.text);
        s.size = static_cast<std::uint16_t>(e.text.size());
    }
    const auto index = static_cast<std::uint32_t>(events_.size());
    if (e.kind == WireEvent::Kind::Request) {
        requests_[std::string(e.bytes.begin(), e.bytes.end())].push_back(index);
        if (e.bytes.size() > 4 && e.bytes[3] == 0x21 && e.bytes[4] == 0x01) liveData_.push_back(index);
    }
    if (e.kind == WireEvent::Kind::Pass) passes_.push_back(index);
    if (e.kind == WireEvent::Kind::Note && e.text == Com_Port::kReconnectingNote) reconnected_ = true;
    events_.push_back(s);
}

bool ReplayLine::finishLoading(std::string& error) {
    if (requests_.empty()) {
        error = "the recording holds no exchange";
        return false;
    }
    events_.shrink_to_fit();
    arena_.shrink_to_fit();
    passes_.shrink_to_fit();
    tailFrom_ = passes_.size() >= 2 ? passes_[passes_.size() - 2] : 0;
    return true;
}

std::unique_ptr<ReplayLine> ReplayLine::load(const std::string& path, bool realtime, std::string& error,
                                             const std::function<bool()>& stopAsked) {
    platform::FileReader file;
    if (!file.open(path, error)) return nullptr;
    std::unique_ptr<ReplayLine> line(new ReplayLine(realtime));
    RecordingSplitter splitter;
    const auto keep = [&line](WireEvent&& e) { line->add(std::move(e)); };
    std::vector<char> buffer(1 << 16);
    for (;;) {
        std::size_t n = 0;
        const auto r = file.read(buffer.data(), buffer.size(), n, stopAsked, error);
        if (r == platform::FileReader::Result::Stopped) {
            error.clear();
            return nullptr;
        }
        if (r == platform::FileReader::Result::Failed) return nullptr;
        if (r == platform::FileReader::Result::End) break;
        if (!splitter.feed(std::string_view(buffer.data(), n), keep, error)) return nullptr;
    }
    if (!splitter.finish(keep, error)) return nullptr;
    line->device_ = splitter.parser().device();
    line->started_ = splitter.parser().started();
    line->loadNote_ = splitter.note();
    if (!line->finishLoading(error)) return nullptr;
    return line;
}

std::unique_ptr<ReplayLine> ReplayLine::fromText(std::string_view text, bool realtime, std::string& error) {
    std::unique_ptr<ReplayLine> line(new ReplayLine(realtime));
    RecordingSplitter splitter;
    const auto keep = [&line](WireEvent&& e) { line->add(std::move(e)); };
    if (!splitter.feed(text, keep, error) || !splitter.finish(keep, error)) return nullptr;
    line->device_ = splitter.parser().device();
    line->started_ = splitter.parser().started();
    line->loadNote_ = splitter.note();
    if (!line->finishLoading(error)) return nullptr;
    return line;
}

bool ReplayLine::open() {
    if (!loadNote_.empty()) {
        note(loadNote_);
        loadNote_.clear();
    }
    {
        std::lock_guard<std::mutex> lock(waitMutex_);
        if (start_ == platform::Clock::time_point{}) start_ = platform::Clock::now();
    }
    // The recorded opening decides: a port that failed then fails now.
    while (cursor_ < events_.size()) {
        const WireEvent::Kind k = kindAt(cursor_);
        if (k == WireEvent::Kind::Open) {
            ++cursor_;
            break;
        }
        if (k == WireEvent::Kind::OpenFailed) {
            const Stored& e = events_[cursor_++];
            failure_ = arena_.substr(e.offset, e.size);
            return false;
        }
        if (k == WireEvent::Kind::Request) break;
        ++cursor_;
    }
    open_ = true;
    return true;
}

std::size_t ReplayLine::windowEnd() const {
    auto p = std::lower_bound(passes_.begin(), passes_.end(), cursor_);
    if (p != passes_.end() && p + 1 != passes_.end()) return *(p + 1);
    return events_.size();
}

void ReplayLine::answerWith(std::size_t request, bool advance) {
    // What the line noted while it read (a port that went away) may stand
    // between a request and its reply.
    std::size_t reply = request + 1;
    while (reply < events_.size() && kindAt(reply) == WireEvent::Kind::Note) ++reply;
    inTurn_ = advance;
    // The recording ends on this very request (the drive was cut while it
    // waited for the answer): the replay ends here too, without a pass that
    // measured nothing.
    if (reply == events_.size()) {
        ended_ = true;
        return;
    }
    if (advance) cursor_ = reply;
    if (reply < events_.size() && kindAt(reply) == WireEvent::Kind::Reply) {
        pendingReply_ = reply;
        if (advance) ++cursor_;
    }
}

void ReplayLine::write(const std::uint8_t* data, std::size_t size) {
    pendingReply_ = SIZE_MAX;
    const auto found = requests_.find(std::string(data, data + size));
    if (found == requests_.end()) return;  // the drive never asked it: no answer
    const std::vector<std::uint32_t>& at = found->second;
    const auto next = std::lower_bound(at.begin(), at.end(), cursor_);
    if (next != at.end() && *next < windowEnd()) {
        // A request the drive made only after the next pass's live data is
        // asked out of turn: answered, but the replay never moves past
        // another pass's live data for it.
        const auto live = std::lower_bound(liveData_.begin(), liveData_.end(), cursor_);
        if (live == liveData_.end() || *live >= *next) {
            answerWith(*next, true);
            return;
        }
    } else if (next == at.end() && at.back() >= tailFrom_) {
        // Asked to the drive's end, and nothing of it is left: the drive is over.
        ended_ = true;
        return;
    }
    // Not asked at this point of the drive: the answer it had last before,
    // else the first it had.
    answerWith(next != at.begin() ? *(next - 1) : *next, false);
}

void ReplayLine::waitFor(std::int64_t ms) {
    std::unique_lock<std::mutex> lock(waitMutex_);
    for (;;) {
        if (speed_ == 0 || interrupted_) return;
        const std::uint64_t changes = paceChanges_;
        const auto due = start_ + std::chrono::milliseconds((ms - anchorMs_) / speed_);
        // A change of pace while waiting starts the wait again at the new one.
        if (!waitCv_.wait_until(lock, due, [&] { return interrupted_.load() || paceChanges_ != changes; })) return;
        if (interrupted_) return;
    }
}

std::size_t ReplayLine::read(std::uint8_t* buffer, std::size_t max) {
    if (pendingReply_ == SIZE_MAX || interrupted_) return 0;
    const std::size_t at = pendingReply_;
    const Stored& reply = events_[at];
    pendingReply_ = SIZE_MAX;
    // The drive read on after this reply (an answer pending, then the final
    // one): the next read gives the next reply.
    std::size_t next = at + 1;
    while (next < events_.size() && kindAt(next) == WireEvent::Kind::Note) ++next;
    if (next < events_.size() && kindAt(next) == WireEvent::Kind::Reply) {
        pendingReply_ = next;
        if (inTurn_) cursor_ = next + 1;
    }
    // A reply answered out of turn is not waited for, and its time is not
    // the drive's: the clock stays where the drive is.
    if (inTurn_ && reply.ms >= lastReplyMs_.load()) {
        waitFor(reply.ms);
        lastReplyMs_ = reply.ms;
    }
    const std::size_t n = std::min<std::size_t>(max, reply.size);
    std::copy(arena_.begin() + reply.offset, arena_.begin() + reply.offset + static_cast<std::ptrdiff_t>(n), buffer);
    return n;
}

void ReplayLine::wakeUp() {
    const std::size_t end = windowEnd();
    for (std::size_t i = cursor_; i < end; ++i) {
        if (kindAt(i) == WireEvent::Kind::Request) break;
        if (kindAt(i) == WireEvent::Kind::Wake) {
            cursor_ = i + 1;
            waitFor(events_[i].ms + platform::WakeTiming::kTotal.count());
            return;
        }
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

void RecordingObserver::adapterNote(const std::string& text) {
    recorder_.note(text, recorder_.nowMs());
    if (next_) next_->adapterNote(text);
}

}  // namespace klink
