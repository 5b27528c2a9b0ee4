// SPDX-License-Identifier: GPL-3.0-or-later
// A serial port on Linux, configured through termios2 so that the K-line's
// 10400 baud can be set exactly.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "platform/DeviceLine.h"
#include "platform/WakeSequence.h"

namespace platform {

class PosixSerialLine : public DeviceLine, private WakePort {
public:
    explicit PosixSerialLine(std::string device, WakeMethod wake = WakeMethod::SlowByte);
    ~PosixSerialLine() override;
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;

    bool open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
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
    void setWakeMethod(WakeMethod method) override;
    void setPortRate(unsigned baud) override { portRate_.store(baud); }

    // The output rate the driver reports after configuration.
    unsigned grantedBaud() const { return grantedBaud_; }
    WakeRecord lastWake() const { return lastWake_; }
    WakeMethod wakeMethod() const { return wakeMethod_.load(); }

protected:
    // Every ioctl goes through here, so that the tests can play a driver
    // that refuses a request or grants another rate than the one asked.
    virtual int control(unsigned long request, void* arg);

private:
    bool fail(const std::string& reason);
    // Raw 8N1 at the link's rate; the reason it failed, or empty.
    std::string configure();
    // WakePort
    bool setRate(unsigned baud) override;
    bool setBreak(bool on) override;
    void sendByte(std::uint8_t byte) override;
    void drain() override;
    // The device went away under the open port: said once, and nothing is
    // tried on it until it is opened again.
    void lost(int error);
    bool awaitZero(Clock::time_point deadline) override;
    void purge() override { purgeReceive(); }

    std::atomic<WakeMethod> wakeMethod_;
    std::atomic<WakeMethod> wokenMethod_{WakeMethod::SlowByte};
    std::atomic<unsigned> portRate_{kLinkBaud};
    int fd_ = -1;
    int wakeFd_ = -1;  // eventfd that interrupt() signals
    std::atomic<bool> interrupted_{false};
    unsigned grantedBaud_ = 0;
    WakeRecord lastWake_{};
    bool gone_ = false;  // link thread
};

}  // namespace platform
