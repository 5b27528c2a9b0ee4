// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PausableThread.h"

namespace platform {

PausableThread::PausableThread(std::function<void()> body) : body_(std::move(body)) {
    thread_ = std::thread([this] {
        if (checkpoint()) body_();
        std::lock_guard<std::mutex> lock(mutex_);
        parked_ = true;
    });
}

PausableThread::~PausableThread() {
    terminate();
    join();
}

void PausableThread::resume() {
    std::lock_guard<std::mutex> lock(mutex_);
    pauseRequested_ = false;
    cv_.notify_all();
}

void PausableThread::pause() {
    std::lock_guard<std::mutex> lock(mutex_);
    pauseRequested_ = true;
}

void PausableThread::terminate() {
    std::lock_guard<std::mutex> lock(mutex_);
    terminate_ = true;
    cv_.notify_all();
}

void PausableThread::join() {
    if (thread_.joinable() && !onWorker()) thread_.join();
}

bool PausableThread::waitWhilePaused(std::unique_lock<std::mutex>& lock) {
    if (pauseRequested_ && !terminate_) {
        parked_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return !pauseRequested_ || terminate_; });
        parked_ = false;
    }
    return !terminate_;
}

bool PausableThread::terminating() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return terminate_;
}

bool PausableThread::checkpoint() {
    std::unique_lock<std::mutex> lock(mutex_);
    return waitWhilePaused(lock);
}

bool PausableThread::suspendSelf(const std::function<void()>& publish) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (publish) publish();
    if (!onWorker()) return !terminate_;
    pauseRequested_ = true;
    return waitWhilePaused(lock);
}

bool PausableThread::isParked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return parked_;
}

}  // namespace platform
