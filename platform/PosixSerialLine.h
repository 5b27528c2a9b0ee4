// A serial port on Linux, configured through termios2 so that the K-line's
// 10400 baud can be set exactly.
#pragma once

#include <atomic>
#include <string>

#include "platform/SerialLine.h"

namespace platform {

enum class WakeMethod {
    Automatic,  // break on a real port; the slow byte on a pseudo-terminal
    Break,      // TIOCSBRK / TIOCCBRK on the monotonic clock
    SlowByte,   // a 0x00 byte written at 360 baud
};

// Times of the wake-up's edges, for judging the wire.
struct WakeRecord {
    Clock::time_point start{};    // line driven low
    Clock::time_point rising{};   // line released
    Clock::time_point end{};      // the operation returned
    WakeMethod method = WakeMethod::Automatic;
};

class PosixSerialLine : public SerialLine {
public:
    explicit PosixSerialLine(std::string device, WakeMethod wake = WakeMethod::Automatic);
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

    const std::string& device() const { return device_; }
    // The output rate the driver reports after configuration.
    unsigned grantedBaud() const { return grantedBaud_; }
    WakeRecord lastWake() const { return lastWake_; }

private:
    bool configure();
    bool setRate(unsigned baud);
    void wakeByBreak();
    void wakeBySlowByte();
    bool isPseudoTerminal() const;

    std::string device_;
    WakeMethod wakeMethod_;
    int fd_ = -1;
    int wakeFd_ = -1;  // eventfd that interrupt() signals
    std::atomic<bool> interrupted_{false};
    unsigned grantedBaud_ = 0;
    WakeRecord lastWake_{};
};

}  // namespace platform
