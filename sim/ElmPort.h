// SPDX-License-Identifier: GPL-3.0-or-later
// A serial port in this process with a simulated ELM327-type adapter on it:
// what the tester writes reaches the adapter at once, and its characters
// come back at their times, read by the serial line's time-out rules.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/SerialLine.h"
#include "sim/ElmCore.h"
#include "sim/LivingCar.h"

namespace sim {

class ElmPort : public platform::SerialLine {
public:
    explicit ElmPort(ElmOptions options = {});

    bool open() override;
    void close() override;
    bool isOpen() const override;
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override;
    // A K-line wake-up made on this port is a pause: the adapter makes its own.
    void wakeUp() override;
    void interrupt() override;
    void setPortRate(unsigned baud) override { rate_.store(baud); }
    std::string name() const override { return "simulated"; }
    std::string failureReason() const override { return present_ ? "" : "No such file or directory"; }
    bool devicePresent() const override { return present_; }

    template <typename Fn>
    auto withCore(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(core_);
    }
    void setPresent(bool present) { present_ = present; }
    // A car that lives: its values move on as they are asked for.
    void bringToLife(CarFaults faults = {});

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    ElmCore core_;
    std::deque<TimedByte> coming_;
    bool open_ = false;
    std::atomic<bool> present_{true};
    std::atomic<bool> interrupted_{false};
    std::atomic<unsigned> rate_{platform::kLinkBaud};
    std::unique_ptr<LivingCar> car_;
};

}  // namespace sim
