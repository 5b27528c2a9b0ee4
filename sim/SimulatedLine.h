// The simulated adapter and ECU behind the SerialLine interface, in the same
// process: what the tests and "--simulate" put behind the link. Reads keep
// the real time-out rules on the real clock; in instant mode nothing waits,
// for tests that run thousands of passes.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/SerialLine.h"
#include "sim/AdapterCore.h"

namespace sim {

class SimulatedLine : public platform::SerialLine {
public:
    explicit SimulatedLine(SimOptions options = {}, bool instant = false);

    bool open() override;
    void close() override;
    bool isOpen() const override;
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override;
    void wakeUp() override;
    void interrupt() override;

    // Runs fn on the adapter and ECU state under the line's lock.
    template <typename Fn>
    auto withCore(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(core_);
    }
    // Whether opening the port succeeds (a missing or busy device when false).
    void setOpenSucceeds(bool ok);
    int openCount() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    AdapterCore core_;
    bool instant_;
    bool open_ = false;
    bool openSucceeds_ = true;
    bool interrupted_ = false;
    int opens_ = 0;
    std::deque<TimedByte> rx_;
};

}  // namespace sim
