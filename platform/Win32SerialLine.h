// SPDX-License-Identifier: GPL-3.0-or-later
// A serial port on Windows through the Win32 communications calls: the port
// opened unshared, the device-control block at 10400 baud 8N1, the read
// time-outs as the link wants them (interval 50 ms, 50 ms per byte plus
// 50 ms, no write time-out), the receive side purged after every read.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "platform/DeviceLine.h"
#include "platform/WakeSequence.h"

namespace platform {

class Win32SerialLine : public DeviceLine, private WakePort {
public:
    // port: "COM1" .. "COM256" (or a full device path).
    explicit Win32SerialLine(std::string port, WakeMethod wake = WakeMethod::SlowByte);
    ~Win32SerialLine() override;
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    bool open() override;
    void close() override;
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override;
    void wakeUp() override;
    void interrupt() override;
    bool devicePresent() const override;
    bool gone() const override { return gone_; }
    std::string openedAs() const override { return std::to_string(grantedBaud_) + " baud granted"; }
    // How the last wake-up was made, a break that failed included (the next
    // one is made with the byte).
    std::string wokenBy() const override { return wakeDescription(wokenMethod_.load()); }
    void setWakeMethod(WakeMethod method) override { wakeMethod_ = method; }
    void setPortRate(unsigned baud) override { portRate_.store(baud); }

    // "\\.\COM12" for "COM12": the prefix that ports above COM9 need.
    static std::string devicePath(const std::string& port);

private:
    bool fail(const std::string& reason);
    bool setRate(unsigned baud) override;
    bool setBreak(bool on) override;
    void sendByte(std::uint8_t byte) override;
    void drain() override;
    // The device went away under the open port: said once, and no wake-up
    // is tried on it until it is opened again.
    void lost(DWORD error);
    bool awaitZero(Clock::time_point deadline) override;
    // One ReadFile: what has come, or after a slice of waiting for it.
    bool readSome(std::uint8_t* buffer, DWORD max, DWORD& got);
    static constexpr DWORD kReadSliceMs = 10;
    void purge() override { purgeReceive(); }

    std::atomic<WakeMethod> wakeMethod_;
    std::atomic<WakeMethod> wokenMethod_{WakeMethod::SlowByte};
    std::atomic<unsigned> portRate_{kLinkBaud};
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::atomic<bool> interrupted_{false};
    unsigned grantedBaud_ = 0;
    bool gone_ = false;  // the device went away under the open port (link thread)
};

}  // namespace platform

#endif
