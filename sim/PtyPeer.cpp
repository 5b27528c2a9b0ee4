// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sim {

PtyPeer::PtyPeer(SimOptions options) : core_(options) { begin(); }

PtyPeer::PtyPeer(ElmOptions elm) : elm_(std::make_unique<ElmCore>(std::move(elm))) { begin(); }

void PtyPeer::begin() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) return;
    char* name = nullptr;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || (name = ptsname(master_)) == nullptr) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = name;
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

PtyPeer::~PtyPeer() {
    stop_ = true;
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        (void)::write(stopFd_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    hangUp();
    if (stopFd_ >= 0) ::close(stopFd_);
}

std::vector<TimedByte> PtyPeer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrived_;
}

void PtyPeer::hangUp() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyPeer::run() {
    std::uint8_t buf[256];
    while (!stop_) {
        int timeoutMs = 20;
        int fd;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            fd = master_;
            const auto now = Clock::now();
            // Send what is due, in time order.
            std::stable_sort(pending_.begin(), pending_.end(),
                             [](const TimedByte& a, const TimedByte& b) { return a.at < b.at; });
            std::size_t due = 0;
            while (due < pending_.size() && pending_[due].at <= now) ++due;
            if (due && fd >= 0) {
                std::vector<std::uint8_t> out;
                for (std::size_t i = 0; i < due; ++i) out.push_back(pending_[i].byte);
                (void)::write(fd, out.data(), out.size());
            }
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(due));
            if (!pending_.empty()) {
                const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(pending_.front().at - now);
                timeoutMs = std::clamp(static_cast<int>(wait.count()), 0, 20);
            }
        }
        if (fd < 0) return;
        pollfd p[2] = {{fd, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int r = poll(p, 2, timeoutMs);
        if (r <= 0 || p[1].revents) continue;
        if (!(p[0].revents & POLLIN)) {
            // No slave open yet (or it closed): the master reports a hang-up.
            if (p[0].revents & (POLLHUP | POLLERR)) ::usleep(2000);
            continue;
        }
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) continue;
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(mutex_);
        for (ssize_t i = 0; i < n; ++i) {
            arrived_.push_back({now, buf[i]});
            std::vector<TimedByte> back;
            if (elm_) {
                // A pseudo-terminal has no rate: the adapter's own is the one used.
                back = elm_->bytesWritten(&buf[i], 1, now, elm_->options().rate);
            } else if (buf[i] == 0x00 && core_.idle()) {
                // A pseudo-terminal has no rate: the zero byte stands for the
                // 25 ms low it makes at 360 baud, and its echo travels at once.
                core_.lineLow(now, now + std::chrono::milliseconds(25));
                if (core_.options().fault != LineFault::NoAdapter) back.push_back({now, 0x00});
            } else {
                back = core_.bytesWritten(&buf[i], 1, now);
            }
            pending_.insert(pending_.end(), back.begin(), back.end());
        }
    }
}

}  // namespace sim
