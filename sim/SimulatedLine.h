// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated adapter and ECU behind the SerialLine interface, in the same
// process: what the tests and "--simulate" put behind the link. Reads keep
// the real time-out rules on the real clock; in instant mode nothing waits,
// for tests that run thousands of passes. The wake-up runs the same sequence
// as a real port, against the adapter model's chip.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/SerialLine.h"
#include "platform/WakeSequence.h"
#include "sim/AdapterCore.h"

namespace sim {

class SimulatedLine : public platform::SerialLine, private platform::WakePort {
public:
    explicit SimulatedLine(SimOptions options = {}, bool instant = false,
                           platform::WakeMethod wake = platform::WakeMethod::SlowByte);

    bool open() override;
    void close() override;
    bool isOpen() const override;
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override;
    void wakeUp() override;
    void interrupt() override;
    bool devicePresent() const override;
    std::string name() const override { return "simulated"; }
    std::string failureReason() const override;
    void setWakeMethod(platform::WakeMethod method) override;

    // Runs fn on the adapter and ECU state under the line's lock.
    template <typename Fn>
    auto withCore(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(core_);
    }
    // Instant mode from now on (true) or the real time-outs (false).
    void setInstant(bool instant);
    // Whether the device is there: opening it succeeds, and an open line
    // carries bytes (false: unplugged, silent until it comes back).
    void setOpenSucceeds(bool ok);
    int openCount() const;
    platform::WakeRecord lastWake() const;
    platform::WakeMethod wakeMethod() const;
    std::string wokenBy() const override { return platform::wakeDescription(wakeMethod()); }

private:
    // WakePort, against the adapter model's chip.
    bool setRate(unsigned baud) override;
    bool setBreak(bool on) override;
    void sendByte(std::uint8_t byte) override;
    bool awaitZero(Clock::time_point deadline) override;
    void purge() override { purgeReceive(); }
    // Queues bytes that reached the chip, with the times the host gets them.
    void deliver(std::vector<TimedByte> bytes);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    AdapterCore core_;
    bool instant_;
    bool open_ = false;
    bool openSucceeds_ = true;
    bool interrupted_ = false;
    int opens_ = 0;
    unsigned rate_ = platform::kLinkBaud;
    Clock::time_point breakFrom_{};
    // A 0x00 at 360 baud on its way out: the line is low from here for 25
    // ms, unless the rate changes before, which cuts the low short.
    std::optional<Clock::time_point> slowByteFrom_;
    std::string failure_;
    platform::WakeMethod wakeMethod_;
    platform::WakeRecord lastWake_{};
    std::deque<TimedByte> rx_;
};

}  // namespace sim
