// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ElmPort.h"

#include "platform/TimedPause.h"

namespace sim {

ElmPort::ElmPort(ElmOptions options) : core_(std::move(options)) {}

void ElmPort::bringToLife(CarFaults faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    car_ = std::make_unique<LivingCar>(Clock::now(), 7, faults);
    core_.beforeAnswer = [this](const std::vector<std::uint8_t>& frame, Clock::time_point t) {
        if (frame.size() > 4 && frame[3] == 0x21 && (frame[4] == 0x01 || frame[4] == 0x03))
            car_->advance(core_.ecu(), t);
    };
}

bool ElmPort::open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = present_.load();
    coming_.clear();
    return open_;
}

void ElmPort::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

bool ElmPort::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void ElmPort::write(const std::uint8_t* data, std::size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || !present_) return;
    for (const TimedByte& b : core_.bytesWritten(data, size, Clock::now(), rate_.load())) coming_.push_back(b);
}

std::size_t ElmPort::read(std::uint8_t* buffer, std::size_t max) {
    std::unique_lock<std::mutex> lock(mutex_);
    return readTimed(coming_, lock, arrived_, buffer, max, 1, [this] { return interrupted_.load(); });
}

void ElmPort::purgeReceive() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    while (!coming_.empty() && coming_.front().at <= now) coming_.pop_front();
}

void ElmPort::wakeUp() { platform::pauseFor(platform::WakeTiming::kTotal); }

void ElmPort::interrupt() {
    endRests();
    interrupted_.store(true);
    arrived_.notify_all();
}

}  // namespace sim
