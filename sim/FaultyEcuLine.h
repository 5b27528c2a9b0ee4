// SPDX-License-Identifier: GPL-3.0-or-later
// An ECU behind a bad wire, on a simulated clock: every exchange is answered
// by the ECU model, then spoilt now and then by a fault drawn at random from
// every kind a K-line shows (silence, echo only, a cut, a short but whole
// answer, a refusal, another identifier or service, a wrong checksum, noise,
// a pause inside the frame, a stray byte before the wake-up, the port
// vanishing, an answer too late for its request, "answer pending" before
// the final answer). The car's data changes at every pass, so that a stale
// byte shows. What came on the line for each request is kept, for a
// checker that decodes it on its own. Nothing waits: a drive of a million
// passes runs in seconds.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <vector>

#include "platform/SerialLine.h"
#include "sim/EcuModel.h"

namespace sim {

enum class WireFault : std::uint8_t {
    None,
    Silence,       // not even the echo
    EchoOnly,      // the adapter echoes, the ECU says nothing
    Cut,           // the bytes stop anywhere, the echo included
    ShortWhole,    // fewer data bytes, with the length and checksum to match
    Negative,      // 7F, the service and a reason
    WrongLid,      // the answer of another local identifier or option
    WrongService,  // a positive answer to another service
    BadChecksum,
    NoiseBefore,      // a byte or three before the echo or between echo and answer
    NoiseAfter,       // bytes after the answer: no answer then, as it looks like a late one
    Pause,            // a pause inside the frame: past 50 ms the read ends there
    StrayBeforeWake,  // a zero byte lies on the line at the next wake-up, which then fails
    PortGone,         // the adapter is unplugged for a while
    Late,             // the answer comes after the read ended, behind the next request's echo or the one after
    Pending,          // 7F, the service, 78 ("answer pending"), the final answer later (or never)
    Count
};
const char* wireFaultName(WireFault fault);

struct FaultExchange {
    std::int64_t ms = 0;  // when the last read ended, on the line's clock
    std::vector<std::uint8_t> request;
    // Everything that came on the line for this request, in order, an
    // answer that followed "answer pending" within the wait for it
    // included; and the most the link's first read took.
    std::vector<std::uint8_t> arrived;
    std::size_t readMax = 0;
    WireFault fault = WireFault::None;
    // Bytes of an earlier request's late answer that came in after this
    // request's echo, before anything of its own.
    std::size_t carried = 0;
};

class FaultyEcuLine : public platform::SerialLine {
public:
    // faultShare: how many exchanges are spoilt (0..1).
    explicit FaultyEcuLine(std::uint32_t seed, double faultShare = 0.25);

    bool open() override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override;
    void wakeUp() override;
    void interrupt() override { interrupted_ = true; }
    std::int64_t clockMs() const override { return nowMs_; }
    bool devicePresent() const override { return nowMs_ >= goneUntilMs_; }
    void rest(std::chrono::milliseconds time) override { nowMs_ += time.count(); }
    std::string name() const override { return "faulty"; }
    std::string failureReason() const override { return "No such device (the adapter is unplugged)"; }

    // Each exchange as it ends, at the purge after its reads (the link's
    // thread). Set before the link runs.
    std::function<void(const FaultExchange&)> onExchange;
    // How often each fault was drawn.
    const std::vector<std::uint64_t>& faultCounts() const { return counts_; }
    std::uint64_t exchanges() const { return exchanges_; }

private:
    WireFault draw(const std::uint8_t* request, std::size_t size);
    void newCarData(std::uint8_t service, std::uint8_t parameter);
    std::vector<std::uint8_t> spoil(WireFault fault, const std::uint8_t* request, std::size_t size,
                                    std::vector<std::uint8_t> answer, std::int64_t& extraMs);
    std::uint8_t randomByte() { return static_cast<std::uint8_t>(rng_() & 0xFF); }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(rng_() % n); }

    EcuModel ecu_;
    std::mt19937 rng_;
    double faultShare_;
    bool open_ = false;
    bool interrupted_ = false;
    bool strayAtWake_ = false;
    std::int64_t nowMs_ = 0;
    std::int64_t goneUntilMs_ = 0;
    FaultExchange current_;
    bool reported_ = true;               // current_ went to onExchange
    std::vector<std::uint8_t> pending_;  // on the line now
    // What comes later in this exchange, each after its delay: a final
    // answer after "answer pending". What the link does not wait for
    // becomes late.
    std::vector<std::pair<std::int64_t, std::vector<std::uint8_t>>> following_;
    std::vector<std::uint8_t> late_;  // an answer that lands behind a later request's echo
    std::size_t lateSkip_ = 0;        // requests it passes by before it lands
    std::vector<std::uint64_t> counts_;
    std::uint64_t exchanges_ = 0;
};

}  // namespace sim
