// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated Wi-Fi ELM327-type adapter: listens on a loopback TCP port and
// serves one connection at a time, with the ECU behind it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/ElmCore.h"

namespace sim {

class TcpPeer {
public:
    explicit TcpPeer(ElmOptions options = {});
    ~TcpPeer();
    TcpPeer(const TcpPeer&) = delete;
    TcpPeer& operator=(const TcpPeer&) = delete;

    bool ok() const { return listener_ >= 0; }
    // "tcp:127.0.0.1:PORT", as the programs' --port takes it.
    std::string address() const { return "tcp:127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_.load(); }

    template <typename Fn>
    auto withElm(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(core_);
    }

private:
    void run();

    std::mutex mutex_;
    ElmCore core_;
    int listener_ = -1;
    int stopFd_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace sim
