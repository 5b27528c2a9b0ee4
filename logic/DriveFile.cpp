// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/DriveFile.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "ecu/EcuDecoder.h"
#include "lines/LineFactory.h"
#include "link/Com_Port.h"

namespace logic {

void keepMeasuredPass(std::uint64_t pass, const klink::Com_Port& link, const klink::LinkData& data,
                      const ecu::EcuDecoder& decoder, const ecu::LiveDataStore& live, std::uint32_t& reconnectionsKept,
                      ecu::SessionHistory& into) {
    if (!link.passGap().empty()) return;
    static thread_local ecu::PassRecord r;  // a pass's bytes, not made anew for each
    r.pass = pass;
    r.timeMs = link.passTimeMs();
    r.thrBefore = decoder.thrBeforeLastPass();
    const std::uint32_t reconnections = data.reconnections.load(std::memory_order_acquire);
    r.afterGap = reconnections != reconnectionsKept && !into.empty();
    reconnectionsKept = reconnections;
    r.liveData01 = link.liveData01Reply();
    r.liveData03 = link.liveData03Reply();
    live.read([](const ecu::LiveData& d) {
        ecu::takeSamples(d, r);
        return 0;
    });
    into.add(r);
}

namespace {

// Keeps each measured pass as the window does, on the link's thread, and
// says when the recording has run out.
class Keeper : public klink::LinkObserver {
public:
    Keeper(ecu::SessionHistory& into, const klink::LinkData& data, const ecu::LiveDataStore& live)
        : into_(into), data_(data), live_(live) {}
    void attach(const klink::Com_Port& link, const ecu::EcuDecoder& decoder) {
        link_ = &link;
        decoder_ = &decoder;
    }
    void passCompleted(std::uint64_t pass) override {
        keepMeasuredPass(pass, *link_, data_, *decoder_, live_, reconnectionsKept_, into_);
    }
    void linkStopped() override {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        cv_.notify_all();
    }
    // Waits a moment for the end; true once the link has stopped.
    bool waitStopped(std::chrono::milliseconds moment) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, moment, [this] { return stopped_; });
    }

private:
    ecu::SessionHistory& into_;
    const klink::LinkData& data_;
    const ecu::LiveDataStore& live_;
    const klink::Com_Port* link_ = nullptr;
    const ecu::EcuDecoder* decoder_ = nullptr;
    std::uint32_t reconnectionsKept_ = 0;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopped_ = false;
};

}  // namespace

std::string readRecordedDrive(const std::string& path, ecu::SessionHistory& into, platform::WallTime& started,
                              const std::function<bool()>& stopAsked) {
    lines::LineRequest request;
    request.source = lines::Source::Replay;
    request.replay = path;
    lines::MadeLine made = lines::makeLine(request, stopAsked);
    if (!made.line) return made.error.empty() ? "stopped" : made.error;
    started = made.started;
    klink::LinkData data;
    ecu::LiveDataStore live;
    live.write([](ecu::LiveData& d) {
        d.setFlagNames();
        return 0;
    });
    ecu::EcuDecoder decoder(live);
    Keeper keeper(into, data, live);
    klink::Com_Port link(*made.line, data, &decoder, &keeper);
    keeper.attach(link, decoder);
    link.setReconnect(made.reconnects);
    link.start();
    bool stopped = false;
    while (!keeper.waitStopped(std::chrono::milliseconds(50)))
        if (stopAsked && stopAsked()) {
            stopped = true;
            break;
        }
    link.shutdown();
    return stopped ? "stopped" : std::string();
}

}  // namespace logic
