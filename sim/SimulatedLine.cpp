#include "sim/SimulatedLine.h"

#include <algorithm>

#include "platform/TimedPause.h"

namespace sim {

using platform::ReadTimeouts;

SimulatedLine::SimulatedLine(SimOptions options, bool instant) : core_(options), instant_(instant) {}

bool SimulatedLine::open() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++opens_;
    open_ = openSucceeds_;
    rx_.clear();
    return open_;
}

void SimulatedLine::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    rx_.clear();
}

bool SimulatedLine::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void SimulatedLine::setOpenSucceeds(bool ok) {
    std::lock_guard<std::mutex> lock(mutex_);
    openSucceeds_ = ok;
}

int SimulatedLine::openCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return opens_;
}

void SimulatedLine::write(const std::uint8_t* data, std::size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return;
    for (const auto& b : core_.bytesWritten(data, size, Clock::now())) rx_.push_back(b);
    std::stable_sort(rx_.begin(), rx_.end(),
                     [](const TimedByte& a, const TimedByte& b) { return a.at < b.at; });
}

std::size_t SimulatedLine::read(std::uint8_t* buffer, std::size_t max) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open_ || max == 0) return 0;
    std::size_t got = 0;
    if (instant_) {
        while (got < max && !rx_.empty()) {
            buffer[got++] = rx_.front().byte;
            rx_.pop_front();
        }
        return got;
    }
    const auto totalDeadline = Clock::now() + ReadTimeouts::total(max);
    auto intervalDeadline = Clock::time_point::max();
    while (got < max && !interrupted_) {
        const auto now = Clock::now();
        while (got < max && !rx_.empty() && rx_.front().at <= now) {
            buffer[got++] = rx_.front().byte;
            intervalDeadline = rx_.front().at + std::chrono::milliseconds(ReadTimeouts::kInterval);
            rx_.pop_front();
        }
        if (got == max) break;
        const auto deadline = std::min(totalDeadline, intervalDeadline);
        if (now >= deadline) break;
        const auto wake = rx_.empty() ? deadline : std::min(deadline, rx_.front().at);
        cv_.wait_until(lock, wake);
    }
    return got;
}

void SimulatedLine::purgeReceive() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    while (!rx_.empty() && (instant_ || rx_.front().at <= now)) rx_.pop_front();
}

void SimulatedLine::wakeUp() {
    const auto start = Clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_) {
            for (const auto& b : core_.wakeUp(start)) rx_.push_back(b);
        }
    }
    if (!instant_) platform::pauseUntil(start + platform::WakeTiming::kTotal);
}

void SimulatedLine::interrupt() {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
    cv_.notify_all();
}

}  // namespace sim
