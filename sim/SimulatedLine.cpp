// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedLine.h"

#include <algorithm>

#include "platform/TimedPause.h"

namespace sim {

using platform::ReadTimeouts;

namespace {
// How long a chip that fakes a break holds the line low, and how long
// clearing it blocks.
constexpr std::chrono::milliseconds kLongBreakLow{200};
constexpr std::chrono::milliseconds kLongBreakClear{240};
// One character at 360 baud: start bit, eight bits, stop bit.
constexpr auto kSlowCharacter = std::chrono::microseconds(10 * 1000000 / platform::kWakeBaud);
}  // namespace

SimulatedLine::SimulatedLine(SimOptions options, bool instant, platform::WakeMethod wake)
    : core_(options), instant_(instant), wakeMethod_(wake) {}

bool SimulatedLine::open() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++opens_;
    rx_.clear();
    failure_.clear();
    open_ = openSucceeds_;
    if (!open_) {
        failure_ = "No such file or directory";
        return false;
    }
    lock.unlock();
    if (setRate(platform::kLinkBaud)) return true;
    lock.lock();
    failure_ = "rate not granted: the port runs at " + std::to_string(rate_) + " baud, not " +
               std::to_string(platform::kLinkBaud);
    open_ = false;
    return false;
}

std::string SimulatedLine::failureReason() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void SimulatedLine::setWakeMethod(platform::WakeMethod method) {
    std::lock_guard<std::mutex> lock(mutex_);
    wakeMethod_ = method;
}

platform::WakeRecord SimulatedLine::lastWake() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastWake_;
}

platform::WakeMethod SimulatedLine::wakeMethod() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return wakeMethod_;
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

void SimulatedLine::setInstant(bool instant) {
    std::lock_guard<std::mutex> lock(mutex_);
    instant_ = instant;
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
    // At a rate the ECU does not speak the bytes mean nothing to it.
    if (!open_ || !openSucceeds_ || !platform::rateClose(rate_, platform::kLinkBaud)) return;
    deliver(core_.bytesWritten(data, size, Clock::now()));
}

void SimulatedLine::deliver(std::vector<TimedByte> bytes) {
    const AdapterModel& chip = core_.options().adapter;
    if (!instant_ && chip.latency.count() > 0) {
        // Packets: a packet leaves when it is full or when the latency
        // timer runs out after its first byte.
        std::size_t first = 0;
        while (first < bytes.size()) {
            const auto flushAt = bytes[first].at + chip.latency;
            std::size_t end = first;
            while (end < bytes.size() && end - first < chip.packetSize && bytes[end].at <= flushAt) ++end;
            const auto sent = end - first == chip.packetSize ? bytes[end - 1].at : flushAt;
            for (std::size_t i = first; i < end; ++i) bytes[i].at = sent;
            first = end;
        }
    }
    for (const auto& b : bytes) rx_.push_back(b);
    std::stable_sort(rx_.begin(), rx_.end(), [](const TimedByte& a, const TimedByte& b) { return a.at < b.at; });
    cv_.notify_all();
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
    return readTimed(rx_, lock, cv_, buffer, max, std::max(1, core_.options().readTimeoutDivisor),
                     [this] { return interrupted_; });
}

void SimulatedLine::purgeReceive() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    while (!rx_.empty() && (instant_ || rx_.front().at <= now)) rx_.pop_front();
}

void SimulatedLine::wakeUp() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open_) return;
    if (instant_) {
        // Nothing waits: a perfect 25 ms low, its echo already purged.
        const auto now = Clock::now();
        core_.lineLow(now, now + platform::WakeTiming::kLow);
        return;
    }
    platform::WakeMethod method = wakeMethod_;
    if (core_.options().strayByteBeforeWake) rx_.push_back({Clock::now(), 0x00});
    lock.unlock();
    const platform::WakeRecord rec = platform::runWake(*this, method, [this](const std::string& t) { note(t); });
    lock.lock();
    wakeMethod_ = method;
    lastWake_ = rec;
}

bool SimulatedLine::setRate(unsigned baud) {
    std::lock_guard<std::mutex> lock(mutex_);
    const AdapterModel& chip = core_.options().adapter;
    if (baud == platform::kWakeBaud && !chip.slowRate) return false;
    if (slowByteFrom_ && baud != platform::kWakeBaud) {
        // The rest of a slow byte goes out at the new rate: the low ends now
        // if its nine bit times are not yet over.
        const Clock::time_point from = *slowByteFrom_;
        slowByteFrom_.reset();
        core_.lineLow(from, std::min(Clock::now(), from + platform::WakeTiming::kLow));
    }
    rate_ = baud == platform::kLinkBaud ? chip.grantedLinkBaud : baud;
    return platform::rateClose(rate_, baud);
}

bool SimulatedLine::setBreak(bool on) {
    std::unique_lock<std::mutex> lock(mutex_);
    const AdapterModel& chip = core_.options().adapter;
    if (chip.breakStyle == BreakStyle::Refused) return false;
    if (chip.breakStyle == BreakStyle::Silent) return true;
    const auto now = Clock::now();
    if (on) {
        breakFrom_ = now;
        return true;
    }
    auto to = now;
    if (chip.breakStyle == BreakStyle::Long) {
        to = breakFrom_ + kLongBreakLow;
        lock.unlock();
        platform::pauseUntil(breakFrom_ + kLongBreakClear);
        lock.lock();
    }
    core_.lineLow(breakFrom_, to);
    // The adapter reads the low as a zero byte with a framing error.
    if (chip.echo && core_.options().fault != LineFault::NoAdapter) deliver({{to, 0x00}});
    return true;
}

void SimulatedLine::sendByte(std::uint8_t byte) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (byte != 0x00 || rate_ != platform::kWakeBaud) {
        lock.unlock();
        write(&byte, 1);
        return;
    }
    // Start bit and eight zero bits: nine bit times low, timed by the chip;
    // recorded when the rate changes back (which may cut it short).
    const auto now = Clock::now();
    slowByteFrom_ = now;
    if (core_.options().adapter.echo && core_.options().fault != LineFault::NoAdapter)
        deliver({{now + kSlowCharacter, 0x00}});
}

bool SimulatedLine::awaitZero(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!interrupted_) {
        const auto now = Clock::now();
        while (!rx_.empty() && rx_.front().at <= now) {
            const std::uint8_t b = rx_.front().byte;
            rx_.pop_front();
            if (b == 0x00) return true;  // others are read and dropped
        }
        if (now >= deadline) return false;
        cv_.wait_until(lock, rx_.empty() ? deadline : std::min(deadline, rx_.front().at));
    }
    return false;
}

bool SimulatedLine::devicePresent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openSucceeds_;
}

void SimulatedLine::interrupt() {
    endRests();
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
    cv_.notify_all();
}

}  // namespace sim
