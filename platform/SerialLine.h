// The serial line the link talks through: a real port (PosixSerialLine) or the
// simulated adapter and ECU. The link relies only on what is declared here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace platform {

using Clock = std::chrono::steady_clock;

// Read time-outs of the K-line exchange, in milliseconds. A read of up to M
// bytes ends when M bytes arrived, when kInterval passes after a received byte
// with no further byte, or kPerByte * M + kConstant after it began.
struct ReadTimeouts {
    static constexpr int kInterval = 50;
    static constexpr int kPerByte = 50;
    static constexpr int kConstant = 50;
    static constexpr std::chrono::milliseconds total(std::size_t max) {
        return std::chrono::milliseconds(kPerByte * static_cast<long>(max) + kConstant);
    }
};

// Timing of the fast-init wake-up pattern: line low for kLow, then high, and
// the operation returns kTotal after it began.
struct WakeTiming {
    static constexpr std::chrono::milliseconds kLow{25};
    static constexpr std::chrono::milliseconds kTotal{50};
};

class SerialLine {
public:
    virtual ~SerialLine() = default;

    // Opens and configures the device (10400 baud, 8N1, raw) and applies the
    // read time-outs. False when any of it fails; the line is then closed.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Hands the bytes to the device. Failures are not reported: the exchange
    // that follows sees them as a missing reply.
    virtual void write(const std::uint8_t* data, std::size_t size) = 0;

    // Reads up to max bytes with the ReadTimeouts rules; returns the count.
    virtual std::size_t read(std::uint8_t* buffer, std::size_t max) = 0;

    // Drops everything in the receive queue.
    virtual void purgeReceive() = 0;

    // Fast-init wake pattern: the line low for 25 ms from the start, then
    // high; returns 50 ms after the start, a pause that nothing ends early.
    virtual void wakeUp() = 0;

    // Makes a read under way, and every later read, return at once. Used only
    // when the program ends, so that the link thread can be joined promptly.
    virtual void interrupt() = 0;
};

}  // namespace platform
