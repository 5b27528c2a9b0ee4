// SPDX-License-Identifier: GPL-3.0-or-later
// The serial line the link talks through: a real port (PosixSerialLine) or the
// simulated adapter and ECU. The link relies only on what is declared here.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>

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

// How the wake-up's 25 ms low is made.
enum class WakeMethod {
    // A 0x00 byte at 360 baud: start bit and eight zero bits, timed by the
    // UART itself. Works on every common USB chip.
    SlowByte,
    // A break held for 25 ms by the program's own clock. Some USB chips fake
    // or refuse a break (see the README); a refused one falls back to SlowByte.
    Break,
};

// The kind of adapter on the port: a plain K-line one (the computer makes
// the wake-up and hears its own echo) or an ELM327-type one that speaks text
// commands and makes the wake-up itself.
enum class AdapterKind { KLine, Elm327 };

// The K-line's rate and how far a port's granted rate may stray from it.
constexpr unsigned kLinkBaud = 10400;
constexpr unsigned kWakeBaud = 360;
constexpr bool rateClose(unsigned granted, unsigned wanted) {
    const unsigned diff = granted > wanted ? granted - wanted : wanted - granted;
    return diff * 50 <= wanted;  // within 2 %
}

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

    // Milliseconds on the line's clock, read right after a read: since the
    // line was made, or, for a recorded drive, the time the reply was
    // recorded, so that a replay reproduces the times of the drive.
    virtual std::int64_t clockMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch_).count();
    }
    // True once a recorded drive has run out: the link stops.
    virtual bool ended() const { return false; }

    // True once interrupt() was called: the program ends.
    bool wasInterrupted() const {
        std::lock_guard<std::mutex> lock(restMutex_);
        return restEnded_;
    }
    // True when the device went away under the open port (an unplugged USB
    // adapter): nothing more comes from it until it is opened again.
    virtual bool gone() const { return false; }

    // Whether the device the line opens is there now (an unplugged USB
    // adapter's is not); asked while the link waits to reconnect.
    virtual bool devicePresent() const { return true; }
    // A pause on the line's clock while the link waits to reconnect: real
    // time, except for a replay, which moves on at once. interrupt() ends it.
    virtual void rest(std::chrono::milliseconds time) {
        std::unique_lock<std::mutex> lock(restMutex_);
        restCv_.wait_for(lock, time, [this] { return restEnded_; });
    }

    // What the user calls the port ("/dev/ttyUSB0").
    virtual std::string name() const { return {}; }
    // Why the last open() failed, for the user: "Permission denied (...)".
    virtual std::string failureReason() const { return {}; }
    // For a recording: how the port was set up at the last opening ("10400
    // baud granted") and how the ECU was woken at the last wake-up ("a 0x00
    // byte at 360 baud"); empty where there is nothing to say. Link thread.
    virtual std::string openedAs() const { return {}; }
    virtual std::string wokenBy() const { return {}; }
    // Takes effect at the next open().
    virtual void setDevice(const std::string&) {}
    virtual void setWakeMethod(WakeMethod) {}
    // The port's rate from the next open(): the K-line's 10400 unless an
    // adapter that speaks text commands (38400 and others) is behind it.
    virtual void setPortRate(unsigned) {}
    virtual void setAdapter(AdapterKind) {}
    // Asked after an attempt to connect that nothing echoed: why the port
    // looks like it has another kind of adapter than the one chosen ("this
    // looks like an ELM327 adapter: choose it"), or empty. Link thread; the
    // line is open again afterwards.
    virtual std::string otherAdapter() { return {}; }

    // Where the line tells the user what it had to do otherwise (a refused
    // break, say): once per kind of event. Called on the link thread.
    virtual void setNoteSink(std::function<void(const std::string&)> sink) { noteSink_ = std::move(sink); }

protected:
    // Ends rest() at once, now and from now on (interrupt() calls it).
    void endRests() {
        std::lock_guard<std::mutex> lock(restMutex_);
        restEnded_ = true;
        restCv_.notify_all();
    }
    // Each text is said once.
    void note(const std::string& text) {
        if (!noteSink_ || said_.count(text)) return;
        said_.insert(text);
        noteSink_(text);
    }

private:
    mutable std::mutex restMutex_;
    std::condition_variable restCv_;
    bool restEnded_ = false;
    Clock::time_point epoch_ = Clock::now();
    std::function<void(const std::string&)> noteSink_;
    std::set<std::string> said_;
};

}  // namespace platform
