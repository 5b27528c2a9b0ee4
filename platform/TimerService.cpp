// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TimerService.h"

#include <chrono>

namespace platform {

TimerService::~TimerService() { killAll(); }

void TimerService::killAll() {
    std::map<Id, std::shared_ptr<Timer>> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        all.swap(timers_);
        all.insert(dead_.begin(), dead_.end());
        dead_.clear();
    }
    for (auto& [id, t] : all) {
        {
            std::lock_guard<std::mutex> l(t->mutex);
            t->cancelled = true;
        }
        t->cv.notify_all();
        if (t->thread.joinable() && t->thread.get_id() != std::this_thread::get_id()) t->thread.join();
    }
}

TimerService::Id TimerService::setEvent(unsigned periodMs, unsigned /*resolutionMs*/, std::function<void()> callback) {
    reap();
    auto timer = std::make_shared<Timer>();
    std::lock_guard<std::mutex> lock(mutex_);
    const Id id = next_++;
    if (next_ == 0) next_ = 1;
    timer->thread = std::thread([timer, periodMs, cb = std::move(callback)] {
        const auto period = std::chrono::milliseconds(periodMs);
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock<std::mutex> l(timer->mutex);
        for (;;) {
            if (timer->cv.wait_until(l, next, [&] { return timer->cancelled; })) return;
            l.unlock();
            cb();
            l.lock();
            next += period;
            // After a stall, skip the ticks that are already past instead of
            // firing them back to back.
            const auto now = std::chrono::steady_clock::now();
            while (next <= now) next += period;
        }
    });
    timers_[id] = timer;
    return id;
}

void TimerService::killEvent(Id id) {
    std::shared_ptr<Timer> t;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        t = it->second;
        timers_.erase(it);
        if (t->thread.get_id() == std::this_thread::get_id()) dead_[id] = t;
    }
    {
        std::lock_guard<std::mutex> l(t->mutex);
        t->cancelled = true;
    }
    t->cv.notify_all();
    if (t->thread.get_id() != std::this_thread::get_id() && t->thread.joinable()) t->thread.join();
}

bool TimerService::isRunning(Id id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timers_.count(id) > 0;
}

void TimerService::reap() {
    std::map<Id, std::shared_ptr<Timer>> dead;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = dead_.begin(); it != dead_.end();) {
            if (it->second->thread.get_id() != std::this_thread::get_id()) {
                dead.insert(*it);
                it = dead_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& [id, t] : dead)
        if (t->thread.joinable()) t->thread.join();
}

}  // namespace platform
