// The echoing K-line adapter with the ECU behind it: takes the bytes the
// tester writes, with their times, and says which bytes come back when.
// Shared by the in-process line and the pseudo-terminal peer.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

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

struct SimOptions {
    std::chrono::microseconds answerDelay{25000};
    bool bytePacing = false;   // bytes take their 10400-baud time on the wire
    LineFault fault = LineFault::None;
    int silentAfterRequests = -1;  // the ECU drops the session after this many answers
    bool record = true;            // keep every byte and request for the tests to judge
    std::uint32_t seed = 1;
};

struct TimedByte {
    Clock::time_point at;
    std::uint8_t byte;
};

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
    // The wake pattern began at t; returns the echo it produces.
    std::vector<TimedByte> wakeUp(Clock::time_point t);

    // No request frame is being received: a zero byte now is not data.
    bool idle() const { return assembling_.empty(); }
    EcuModel& ecu() { return ecu_; }
    const EcuModel& ecu() const { return ecu_; }
    SimOptions& options() { return options_; }

    const std::vector<TimedByte>& received() const { return received_; }
    const std::vector<RecordedFrame>& requests() const { return requests_; }
    const std::vector<Clock::time_point>& wakeUps() const { return wakeUps_; }
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
    int answers_ = 0;
    Clock::time_point lastByte_{};
};

}  // namespace sim
