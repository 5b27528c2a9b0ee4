// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/TcpPeer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

namespace sim {

TcpPeer::TcpPeer(ElmOptions options) : core_(std::move(options)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
        ::close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(a.sin_port);
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

TcpPeer::~TcpPeer() {
    stop_ = true;
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        (void)::write(stopFd_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
    if (stopFd_ >= 0) ::close(stopFd_);
}

void TcpPeer::run() {
    int client = -1;
    std::deque<TimedByte> pending;
    std::uint8_t buf[256];
    while (!stop_) {
        int timeoutMs = 20;
        const auto now = Clock::now();
        if (client >= 0 && !pending.empty()) {
            std::vector<std::uint8_t> out;
            while (!pending.empty() && pending.front().at <= now) {
                out.push_back(pending.front().byte);
                pending.pop_front();
            }
            if (!out.empty()) (void)::send(client, out.data(), out.size(), MSG_NOSIGNAL);
            if (!pending.empty()) {
                const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(pending.front().at - now);
                timeoutMs = std::clamp(static_cast<int>(wait.count()), 0, 20);
            }
        }
        pollfd p[2] = {{client >= 0 ? client : listener_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int r = poll(p, 2, timeoutMs);
        if (r <= 0 || p[1].revents) continue;
        if (client < 0) {
            client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) connections_.fetch_add(1);
            continue;
        }
        const ssize_t n = ::recv(client, buf, sizeof buf, 0);
        if (n <= 0) {
            // The tester closed the connection: wait for the next one.
            ::close(client);
            client = -1;
            pending.clear();
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        const auto back = core_.bytesWritten(buf, static_cast<std::size_t>(n), Clock::now(), core_.options().rate);
        pending.insert(pending.end(), back.begin(), back.end());
        std::stable_sort(pending.begin(), pending.end(),
                         [](const TimedByte& x, const TimedByte& y) { return x.at < y.at; });
    }
    if (client >= 0) ::close(client);
}

}  // namespace sim
