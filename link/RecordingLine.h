// Lines for a drive kept and looked at again: RecordingLine passes everything
// to the real line and writes the wire to a recording; ReplayLine answers each
// request with the reply recorded for it, in order.
#pragma once

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
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
    // Starts the recording; on failure returns nothing and says why.
    static std::unique_ptr<RecordingLine> create(std::unique_ptr<platform::SerialLine> inner, const std::string& path,
                                                 std::string& error);

    bool open() override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override { inner_->purgeReceive(); }
    void wakeUp() override;
    void interrupt() override { inner_->interrupt(); }
    std::string name() const override { return inner_->name(); }
    std::string failureReason() const override { return inner_->failureReason(); }
    void setDevice(const std::string& device) override { inner_->setDevice(device); }
    void setWakeMethod(platform::WakeMethod method) override { inner_->setWakeMethod(method); }
    std::int64_t clockMs() const override { return lastReadMs_.load(); }
    WireRecorder& recorder() { return recorder_; }

    platform::SerialLine& inner() { return *inner_; }

private:
    explicit RecordingLine(std::unique_ptr<platform::SerialLine> inner);
    void record(WireEvent::Kind kind, const std::uint8_t* data = nullptr, std::size_t size = 0, std::string text = {});

    std::unique_ptr<platform::SerialLine> inner_;
    WireRecorder recorder_;
    std::atomic<std::int64_t> lastReadMs_{0};
};

class ReplayLine : public platform::SerialLine {
public:
    // Reads the recording; on a bad one returns nothing and says which line.
    // realtime: replies come at the recorded pace; otherwise at once.
    static std::unique_ptr<ReplayLine> load(const std::string& path, bool realtime, std::string& error);
    static std::unique_ptr<ReplayLine> fromText(std::string_view text, bool realtime, std::string& error);

    bool open() override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override {}
    void wakeUp() override;
    void interrupt() override;
    std::string name() const override { return "replay"; }
    std::string failureReason() const override { return failure_; }
    std::int64_t clockMs() const override { return lastReplyMs_.load(); }
    bool ended() const override { return ended_.load(); }

private:
    ReplayLine(std::vector<WireEvent> events, bool realtime);
    // The next event of kind at or after the cursor, looking no further
    // than a few requests ahead; events.size() if none.
    std::size_t find(WireEvent::Kind kind, const std::uint8_t* bytes, std::size_t size) const;
    void waitFor(std::int64_t ms);

    std::vector<WireEvent> events_;
    std::size_t cursor_ = 0;
    std::size_t pendingReply_ = SIZE_MAX;
    bool realtime_;
    bool open_ = false;
    std::string failure_;
    platform::Clock::time_point start_{};
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> ended_{false};
    std::atomic<std::int64_t> lastReplyMs_{0};
    std::mutex waitMutex_;
    std::condition_variable waitCv_;
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
    void adapterNote(const std::string& text) override {
        if (next_) next_->adapterNote(text);
    }

private:
    WireRecorder& recorder_;
    LinkObserver* next_;
};

}  // namespace klink
