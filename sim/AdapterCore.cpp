// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/AdapterCore.h"

namespace sim {
namespace {

// Length of a request frame once its first bytes are known; 0 while unknown.
std::size_t expectedLength(const std::vector<std::uint8_t>& f) {
    if (f.empty()) return 0;
    const std::size_t inFormat = f[0] & 0x3F;
    if (inFormat) return 3 + inFormat + 1;
    if (f.size() < 4) return 0;
    return 4 + f[3] + 1;
}

}  // namespace

AdapterCore::AdapterCore(SimOptions options) : options_(options), rng_(options.seed) {}

Clock::duration AdapterCore::byteTime() {
    // Start bit, eight data bits, stop bit at 10400 baud.
    return std::chrono::nanoseconds(1000000000LL * 10 / 10400);
}

std::vector<TimedByte> AdapterCore::bytesWritten(const std::uint8_t* data, std::size_t size, Clock::time_point t) {
    std::vector<TimedByte> out;
    if (options_.fault == LineFault::NoAdapter) return out;
    const auto step = options_.bytePacing ? byteTime() : Clock::duration::zero();
    for (std::size_t i = 0; i < size; ++i) {
        const auto at = t + step * static_cast<long>(i + 1);
        if (options_.record) received_.push_back({at, data[i]});
        if (options_.adapter.echo) out.push_back({at, data[i]});  // the adapter's echo
        // The ECU forgets a frame that stalls (inter-byte time-out).
        if (!assembling_.empty() && at - lastByte_ > std::chrono::milliseconds(20)) assembling_.clear();
        lastByte_ = at;
        // A frame always starts with the 0x80 bit; anything else between
        // frames is line noise or the wake byte, which the ECU ignores.
        if (assembling_.empty() && !(data[i] & 0x80)) continue;
        assembling_.push_back(data[i]);
        const std::size_t want = expectedLength(assembling_);
        if (want && assembling_.size() >= want) frameComplete(at, out);
    }
    return out;
}

void AdapterCore::lineLow(Clock::time_point from, Clock::time_point to) {
    if (options_.fault == LineFault::NoAdapter) return;
    if (options_.record) lows_.emplace_back(from, to - from);
    assembling_.clear();
    if (to - from < kWakeLowMin || to - from > kWakeLowMax) return;
    if (options_.record) wakeUps_.push_back(from);
    ecu_.wakeUp();
}

void AdapterCore::frameComplete(Clock::time_point end, std::vector<TimedByte>& out) {
    std::vector<std::uint8_t> frame;
    frame.swap(assembling_);
    if (options_.record) requests_.push_back({end, frame});
    if (options_.fault == LineFault::SilentEcu) return;
    if (options_.silentAfterRequests >= 0 && answers_ >= options_.silentAfterRequests) {
        ecu_.dropSession();
        return;
    }
    if (beforeAnswer) beforeAnswer(frame, end);
    auto answer = ecu_.respond(frame.data(), frame.size());
    if (answer.empty()) return;
    ++answers_;
    // The set-up answer stays whole so that damaged answers reach the poll pass.
    if (frame.size() > 3 && frame[3] != 0x81) damage(answer);
    const auto step = options_.bytePacing ? byteTime() : Clock::duration::zero();
    auto at = end + options_.answerDelay;
    for (auto b : answer) {
        at += step;
        out.push_back({at, b});
    }
}

void AdapterCore::damage(std::vector<std::uint8_t>& answer) {
    std::uniform_int_distribution<int> byte(0, 255);
    switch (options_.fault) {
        case LineFault::ShortReplies:
            answer.resize(answer.size() / 2);
            break;
        case LineFault::GarbledReplies:
            for (auto& b : answer)
                if (byte(rng_) < 40) b = static_cast<std::uint8_t>(byte(rng_));
            break;
        case LineFault::NoisyReplies: {
            std::vector<std::uint8_t> noisy;
            const int lead = byte(rng_) % 4;
            for (int i = 0; i < lead; ++i) noisy.push_back(static_cast<std::uint8_t>(byte(rng_)));
            for (auto b : answer) {
                noisy.push_back(b);
                if (byte(rng_) < 12) noisy.push_back(static_cast<std::uint8_t>(byte(rng_)));
            }
            answer.swap(noisy);
            break;
        }
        default:
            break;
    }
}

}  // namespace sim
