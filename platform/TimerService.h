// SPDX-License-Identifier: GPL-3.0-or-later
// Periodic timers, each on its own thread, identified by a number as the
// multimedia timer's are: started with a period and a resolution, killed by
// identifier. Killing an unknown or already dead identifier does nothing; a
// callback may kill its own timer. Ticks follow a monotonic schedule, so
// they do not drift.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class TimerService {
public:
    using Id = std::uint32_t;  // 0 is never a valid timer

    TimerService() = default;
    ~TimerService();
    TimerService(const TimerService&) = delete;
    TimerService& operator=(const TimerService&) = delete;

    Id setEvent(unsigned periodMs, unsigned resolutionMs, std::function<void()> callback);
    void killEvent(Id id);
    // Kills every timer and joins every timer thread, those that ended
    // themselves included; after it no callback runs or is still returning.
    void killAll();
    bool isRunning(Id id) const;

private:
    struct Timer {
        std::thread thread;
        std::mutex mutex;
        std::condition_variable cv;
        bool cancelled = false;
    };
    void reap();

    mutable std::mutex mutex_;
    std::map<Id, std::shared_ptr<Timer>> timers_;
    std::map<Id, std::shared_ptr<Timer>> dead_;  // killed from their own callback, joined later
    Id next_ = 1;
};

}  // namespace platform
