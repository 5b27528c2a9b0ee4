// SPDX-License-Identifier: GPL-3.0-or-later
// The echoing K-line adapter with the ECU behind it: takes the bytes the
// tester writes, with their times, and says which bytes come back when.
// Shared by the in-process line and the pseudo-terminal peer.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <vector>

#include "platform/SerialLine.h"
#include "sim/EcuModel.h"

namespace sim {

using Clock = std::chrono::steady_clock;

enum class LineFault {
    None,
    NoAdapter,       // nothing on the port: no echo, no answer
    SilentEcu,       // the adapter echoes, the ECU never answers
    ShortReplies,    // answers stop halfway
    GarbledReplies,  // answers with bytes flipped
    NoisyReplies,    // random bytes before and inside the answers
};

// How the simulated adapter's serial chip behaves, as the Linux drivers of
// the common USB chips show it.
enum class BreakStyle {
    Exact,    // the line is low exactly while the break is set
    Long,     // faked with a zero byte at a very low rate: about 200 ms low,
              // and clearing the break blocks about 240 ms (CH340)
    Refused,  // the driver refuses the break (some PL2303 clones)
    Silent,   // the driver says yes and does nothing: no break support, and
              // a kernel (before 6.5) that does not pass the refusal on
};

struct AdapterModel {
    bool echo = true;  // a K-line adapter echoes every byte sent
    // Received bytes reach the host in packets: when packetSize bytes have
    // come or latency has passed since the packet's first byte (FTDI: 16 ms
    // unless asked for low latency). Zero: at once.
    std::chrono::milliseconds latency{0};
    std::size_t packetSize = 62;
    BreakStyle breakStyle = BreakStyle::Exact;
    unsigned grantedLinkBaud = 10400;  // what the chip makes of 10400 (CP210x: 14400)
    bool slowRate = true;              // the chip can run at 360 baud

    static AdapterModel ftdi() { return {true, std::chrono::milliseconds(16), 62, BreakStyle::Exact, 10400, true}; }
    static AdapterModel ch340() { return {true, std::chrono::milliseconds(1), 32, BreakStyle::Long, 10400, true}; }
    static AdapterModel pl2303Clone() {
        return {true, std::chrono::milliseconds(1), 64, BreakStyle::Refused, 10400, true};
    }
    static AdapterModel cp210x() { return {true, std::chrono::milliseconds(1), 64, BreakStyle::Exact, 14400, true}; }
    static AdapterModel noEcho() { return {false, std::chrono::milliseconds(0), 62, BreakStyle::Exact, 10400, true}; }
};

struct SimOptions {
    std::chrono::microseconds answerDelay{25000};
    bool bytePacing = false;  // bytes take their 10400-baud time on the wire
    LineFault fault = LineFault::None;
    int silentAfterRequests = -1;  // the ECU drops the session after this many answers
    bool record = true;            // keep every byte and request for the tests to judge
    std::uint32_t seed = 1;
    AdapterModel adapter{};
    // The line's read time-outs are divided by this: tests of the windows,
    // which judge what is shown and sent rather than when, run their passes
    // ten times quicker. 1 keeps the real 50 ms rules.
    int readTimeoutDivisor = 1;
    // A zero byte of noise (a glitch reads as one) lies in the receive queue
    // when a wake-up begins: it looks like the slow byte's echo.
    bool strayByteBeforeWake = false;
};

struct TimedByte {
    Clock::time_point at;
    std::uint8_t byte;
};

// Reads up to max bytes from a queue of bytes with their arrival times by
// the serial line's rules: until max came, the interval passed after a byte
// with no further one, or the total time is out (both divided by divisor),
// or stop() holds. The lock guards the queue; cv is told of new bytes.
template <typename Stop>
std::size_t readTimed(std::deque<TimedByte>& queue, std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                      std::uint8_t* buffer, std::size_t max, int divisor, Stop stop) {
    using platform::ReadTimeouts;
    const auto totalDeadline = Clock::now() + ReadTimeouts::total(max) / divisor;
    const auto interval = std::chrono::milliseconds(ReadTimeouts::kInterval) / divisor;
    auto intervalDeadline = Clock::time_point::max();
    std::size_t got = 0;
    while (got < max && !stop()) {
        const auto now = Clock::now();
        while (got < max && !queue.empty() && queue.front().at <= now) {
            buffer[got++] = queue.front().byte;
            intervalDeadline = queue.front().at + interval;
            queue.pop_front();
        }
        if (got == max) break;
        const auto deadline = std::min(totalDeadline, intervalDeadline);
        if (now >= deadline) break;
        cv.wait_until(lock, queue.empty() ? deadline : std::min(deadline, queue.front().at));
    }
    return got;
}

struct RecordedFrame {
    Clock::time_point at;
    std::vector<std::uint8_t> bytes;
};

class AdapterCore {
public:
    explicit AdapterCore(SimOptions options = {});

    // Bytes written by the tester at time t; returns what the line carries
    // back (echo, then the ECU's answer), each byte with its arrival time.
    std::vector<TimedByte> bytesWritten(const std::uint8_t* data, std::size_t size, Clock::time_point t);
    // The K-line was held low from `from` to `to`. The ECU takes it for the
    // fast-init wake-up only when it lasted 25 ms, give or take the
    // tolerance a real ECU allows; a long break (as some USB chips make)
    // wakes nothing.
    void lineLow(Clock::time_point from, Clock::time_point to);
    static constexpr std::chrono::milliseconds kWakeLowMin{21};
    static constexpr std::chrono::milliseconds kWakeLowMax{29};

    // No request frame is being received: a zero byte now is not data.
    bool idle() const { return assembling_.empty(); }
    EcuModel& ecu() { return ecu_; }
    const EcuModel& ecu() const { return ecu_; }
    SimOptions& options() { return options_; }

    const std::vector<TimedByte>& received() const { return received_; }
    const std::vector<RecordedFrame>& requests() const { return requests_; }
    // Starts of the low periods the ECU took for a wake-up.
    const std::vector<Clock::time_point>& wakeUps() const { return wakeUps_; }
    // Every low period, woken or not: start and length.
    const std::vector<std::pair<Clock::time_point, Clock::duration>>& lowPeriods() const { return lows_; }
    // Called with every complete request before the ECU answers it, with the
    // request's time; a living car uses it to move on.
    std::function<void(const std::vector<std::uint8_t>&, Clock::time_point)> beforeAnswer;

    static Clock::duration byteTime();

private:
    void frameComplete(Clock::time_point end, std::vector<TimedByte>& out);
    void damage(std::vector<std::uint8_t>& answer);

    SimOptions options_;
    EcuModel ecu_;
    std::mt19937 rng_;
    std::vector<std::uint8_t> assembling_;
    std::vector<TimedByte> received_;
    std::vector<RecordedFrame> requests_;
    std::vector<Clock::time_point> wakeUps_;
    std::vector<std::pair<Clock::time_point, Clock::duration>> lows_;
    int answers_ = 0;
    Clock::time_point lastByte_{};
};

}  // namespace sim
