// SPDX-License-Identifier: GPL-3.0-or-later
// A line over a TCP connection, for adapters reached through the network (a
// Wi-Fi adapter on its own network, commonly 192.168.0.10 port 35000). The
// device is named "tcp:HOST:PORT". Reads keep the serial line's time-out
// rules, so that whatever speaks through it sees no difference; a TCP line
// cannot make the K-line's wake-up pattern itself.
#pragma once

#include <atomic>
#include <string>

#include "platform/DeviceLine.h"

namespace platform {

// "tcp:HOST:PORT" split; false when the name is not one.
bool splitTcpName(const std::string& name, std::string& host, std::string& port);
bool isTcpName(const std::string& name);

class TcpLine : public DeviceLine {
public:
    explicit TcpLine(std::string name);
    ~TcpLine() override;
    TcpLine(const TcpLine&) = delete;
    TcpLine& operator=(const TcpLine&) = delete;

    // How long a connection may take before the host counts as unreachable.
    static constexpr std::chrono::milliseconds kConnectTime{3000};

    bool open() override;
    void close() override;
    bool isOpen() const override { return socket_ != kNone; }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override;
    // The pause a wake-up takes; the adapter on the other end makes the pattern.
    void wakeUp() override;
    void interrupt() override;
    std::string openedAs() const override { return "connected over TCP"; }

private:
    static constexpr long long kNone = -1;
    // Waits up to ms for the socket to become readable (or writable); 1 when
    // it did, 0 when not, -1 on a failure.
    int waitFor(bool writable, int ms) const;
    bool fail(const std::string& reason);

    long long socket_ = kNone;
    std::atomic<bool> interrupted_{false};
};

}  // namespace platform
