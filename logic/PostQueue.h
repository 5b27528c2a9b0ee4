// SPDX-License-Identifier: GPL-3.0-or-later
// Steps handed to the user-interface thread from any thread: they wait in
// order under a short lock, and the face's event loop is woken only when the
// first of them arrives (the face's wake carries nothing but "run them").
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <utility>

namespace logic {

class PostQueue {
public:
    explicit PostQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

    // Any thread.
    void post(std::function<void()> step) {
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            first = steps_.empty();
            steps_.push_back(std::move(step));
        }
        if (first) wake_();
    }

    // The user-interface thread: every step waiting, in the order posted.
    // A step posted meanwhile wakes the loop again.
    void run() {
        std::deque<std::function<void()>> steps;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            steps.swap(steps_);
        }
        for (auto& step : steps) step();
    }

private:
    std::function<void()> wake_;
    std::mutex mutex_;
    std::deque<std::function<void()>> steps_;
};

}  // namespace logic
