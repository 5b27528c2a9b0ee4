// SPDX-License-Identifier: GPL-3.0-or-later
// Lines for a drive kept and looked at again: RecordingLine passes everything
// to the real line and writes the wire to a recording; ReplayLine answers each
// request with the reply recorded for it.
#pragma once

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/LinkHooks.h"
#include "link/WireRecording.h"
#include "platform/SerialLine.h"

namespace klink {

class RecordingLine : public platform::SerialLine {
public:
    // Starts the recording (header: what made it); on failure returns
    // nothing and says why.
    static std::unique_ptr<RecordingLine> create(std::unique_ptr<platform::SerialLine> inner, const std::string& path,
                                                 RecordingHeader header, std::string& error);

    bool open() override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override { inner_->purgeReceive(); }
    void wakeUp() override;
    void interrupt() override { inner_->interrupt(); }
    bool devicePresent() const override { return inner_->devicePresent(); }
    bool gone() const override { return inner_->gone(); }
    bool ended() const override { return inner_->ended(); }
    void rest(std::chrono::milliseconds time) override { inner_->rest(time); }
    std::string name() const override { return inner_->name(); }
    std::string failureReason() const override { return inner_->failureReason(); }
    void setDevice(const std::string& device) override { inner_->setDevice(device); }
    void setWakeMethod(platform::WakeMethod method) override { inner_->setWakeMethod(method); }
    void setPortRate(unsigned baud) override { inner_->setPortRate(baud); }
    void setAdapter(platform::AdapterKind kind) override { inner_->setAdapter(kind); }
    std::string otherAdapter() override { return inner_->otherAdapter(); }
    std::string openedAs() const override { return inner_->openedAs(); }
    std::string wokenBy() const override { return inner_->wokenBy(); }
    // The inner line's notes go into the recording too, as they happen.
    void setNoteSink(std::function<void(const std::string&)> sink) override;
    std::int64_t clockMs() const override { return lastReadMs_.load(); }
    WireRecorder& recorder() { return recorder_; }

    platform::SerialLine& inner() { return *inner_; }

private:
    explicit RecordingLine(std::unique_ptr<platform::SerialLine> inner);
    void record(WireEvent::Kind kind, const std::uint8_t* data = nullptr, std::size_t size = 0, std::string text = {});

    std::unique_ptr<platform::SerialLine> inner_;
    WireRecorder recorder_;
    std::atomic<std::int64_t> lastReadMs_{0};
    std::string lastWake_;
};

// Answers each request with the reply recorded for the same request bytes:
// the next one the drive made (within the pass under way and the one after
// it), else the last one made before. A request the drive never made gets
// no answer, as on a silent line. The replay ends when the link asks for
// something the drive asked for to its end and has nothing left of it.
class ReplayLine : public platform::SerialLine {
public:
    // Reads the recording piece by piece (a pipe is waited for); on a bad one
    // returns nothing and says which line. stopAsked ends the reading early
    // (error is then empty). realtime: replies come at the recorded pace;
    // otherwise at once.
    static std::unique_ptr<ReplayLine> load(const std::string& path, bool realtime, std::string& error,
                                            const std::function<bool()>& stopAsked = {});
    static std::unique_ptr<ReplayLine> fromText(std::string_view text, bool realtime, std::string& error);

    bool open() override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override {}
    void wakeUp() override;
    void interrupt() override;
    // The device the drive was recorded on.
    std::string name() const override { return device_.empty() ? std::string("replay") : device_; }
    // When the drive was recorded, if the recording says.
    const std::optional<platform::WallTime>& started() const { return started_; }
    std::string failureReason() const override { return failure_; }
    std::int64_t clockMs() const override { return lastReplyMs_.load(); }
    bool ended() const override { return ended_.load(); }
    // The drive reconnected after its link gave up: a replay must too.
    bool reconnected() const { return reconnected_; }
    // The drive's own pauses are in its times: waiting to reconnect takes none.
    void rest(std::chrono::milliseconds) override {}
    // From now on the replies come at speed times the recorded pace, or at
    // once for 0. Any thread.
    void setSpeed(int speed);
    int speed() const {
        std::lock_guard<std::mutex> lock(waitMutex_);
        return speed_;
    }

private:
    // One event, compactly: a long drive holds millions of them.
    struct Stored {
        std::int64_t ms;
        std::uint32_t offset;  // of its bytes or text in arena_
        std::uint16_t size;
        std::uint8_t kind;
    };
    explicit ReplayLine(bool realtime);
    void add(WireEvent&& e);
    bool finishLoading(std::string& error);
    WireEvent::Kind kindAt(std::size_t i) const { return static_cast<WireEvent::Kind>(events_[i].kind); }
    // Where the search for the next request ends: at the second pass mark
    // from the cursor on.
    std::size_t windowEnd() const;
    void answerWith(std::size_t request, bool advance);
    void waitFor(std::int64_t ms);

    std::vector<Stored> events_;
    std::string arena_;
    std::map<std::string, std::vector<std::uint32_t>> requests_;  // request bytes -> where
    std::vector<std::uint32_t> passes_;                           // where the pass marks are
    std::vector<std::uint32_t> liveData_;                         // where the 21 01 requests are
    std::string loadNote_;                                        // said at the first opening
    std::size_t tailFrom_ = 0;                                    // events after the last pass but one: the drive's end
    std::string device_;
    std::optional<platform::WallTime> started_;
    bool reconnected_ = false;
    std::size_t cursor_ = 0;
    std::size_t pendingReply_ = SIZE_MAX;
    bool inTurn_ = false;  // the pending reply is the drive's next
    // The pace: the recorded time anchorMs_ was reached at start_, and
    // from there speed_ recorded milliseconds pass in one (0: no waiting).
    int speed_;
    std::int64_t anchorMs_ = 0;
    bool open_ = false;
    std::string failure_;
    platform::Clock::time_point start_{};
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> ended_{false};
    std::atomic<std::int64_t> lastReplyMs_{0};
    mutable std::mutex waitMutex_;
    std::condition_variable waitCv_;
    std::uint64_t paceChanges_ = 0;  // under waitMutex_
};

// Passes the link's news on to the program and writes the status changes and
// the ends of passes into the recording.
class RecordingObserver : public LinkObserver {
public:
    RecordingObserver(WireRecorder& recorder, LinkObserver* next) : recorder_(recorder), next_(next) {}
    void statusWritten(const std::string& text1251) override;
    void identificationRead() override {
        if (next_) next_->identificationRead();
    }
    void passCompleted(std::uint64_t passNumber) override;
    void linkStopped() override {
        if (next_) next_->linkStopped();
    }
    void portFailed(const std::string& device, const std::string& reason) override {
        if (next_) next_->portFailed(device, reason);
    }
    void adapterNote(const std::string& text) override;
    void commandAnswered(const CommandKey& command, CommandAnswer answer, int code) override {
        if (next_) next_->commandAnswered(command, answer, code);
    }

private:
    WireRecorder& recorder_;
    LinkObserver* next_;
};

}  // namespace klink
