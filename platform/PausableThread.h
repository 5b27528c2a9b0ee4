// SPDX-License-Identifier: GPL-3.0-or-later
// A worker thread that is created suspended, can be paused and resumed from
// outside, pauses itself, and ends on request. Pauses take effect only where
// the body calls checkpoint(), so the body decides which points are safe.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class PausableThread {
public:
    // Starts the thread, which waits before running body until resume().
    explicit PausableThread(std::function<void()> body);
    ~PausableThread();  // terminates and joins
    PausableThread(const PausableThread&) = delete;
    PausableThread& operator=(const PausableThread&) = delete;

    void resume();
    // Asks the thread to pause at its next checkpoint.
    void pause();
    // Asks the body to end; wakes a paused thread. The body sees it at its
    // next checkpoint (which returns false) and should return.
    void terminate();
    void join();

    // Called by the body. Blocks while paused; false once terminate was asked.
    bool checkpoint();
    // Called by the body to pause itself: runs publish under the state lock
    // (so a resume cannot slip in between), then blocks until resumed.
    // From any other thread it only runs publish. False once terminating.
    bool suspendSelf(const std::function<void()>& publish);

    // True while the body is blocked in a pause (or has not begun).
    bool isParked() const;
    // True once terminate() was called.
    bool terminating() const;
    bool onWorker() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    bool waitWhilePaused(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool pauseRequested_ = true;  // created suspended
    bool terminate_ = false;
    bool parked_ = true;
    std::function<void()> body_;
    std::thread thread_;
};

}  // namespace platform
