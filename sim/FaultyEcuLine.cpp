// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/FaultyEcuLine.h"

#include <algorithm>

namespace sim {
namespace {

constexpr const char* kFaultNames[] = {"none",
                                       "silence",
                                       "echo only",
                                       "cut",
                                       "short but whole",
                                       "negative",
                                       "wrong identifier",
                                       "wrong service",
                                       "bad checksum",
                                       "noise before",
                                       "noise after",
                                       "pause",
                                       "stray byte before the wake-up",
                                       "port gone",
                                       "late",
                                       "answer pending"};
static_assert(std::size(kFaultNames) == static_cast<std::size_t>(WireFault::Count));

// The answer's header length and data length; false when it has none.
bool frameParts(const std::vector<std::uint8_t>& f, std::size_t& header, std::size_t& length) {
    if (f.size() < 4) return false;
    header = (f[0] & 0x3F) != 0 ? 3 : 4;
    length = (f[0] & 0x3F) != 0 ? (f[0] & 0x3F) : f[3];
    return f.size() >= header + length + 1 && length > 0;
}

}  // namespace

const char* wireFaultName(WireFault fault) { return kFaultNames[static_cast<std::size_t>(fault)]; }

FaultyEcuLine::FaultyEcuLine(std::uint32_t seed, double faultShare)
    : rng_(seed), faultShare_(faultShare), counts_(static_cast<std::size_t>(WireFault::Count), 0) {}

bool FaultyEcuLine::open() {
    open_ = devicePresent();
    return open_;
}

WireFault FaultyEcuLine::draw(const std::uint8_t*, std::size_t) {
    if (std::uniform_real_distribution<double>(0, 1)(rng_) >= faultShare_) return WireFault::None;
    auto f = static_cast<WireFault>(1 + below(static_cast<std::size_t>(WireFault::Count) - 1));
    // An unplugged adapter is rarer than a spoilt frame.
    if (f == WireFault::PortGone && below(8) != 0) f = WireFault::Cut;
    return f;
}

void FaultyEcuLine::newCarData(std::uint8_t service, std::uint8_t parameter) {
    if (service == 0x21 && parameter == 0x01) {
        // Every byte of both blocks new, the throttle's fraction mostly a
        // quarter step (other bytes keep the last fraction).
        for (auto& b : ecu_.block01) b = randomByte();
        for (auto& b : ecu_.block03) b = randomByte();
        if (below(4) != 0) ecu_.block03[17 - 11] = static_cast<std::uint8_t>(below(4) * 0x40);
    } else if (service == 0x18) {
        ecu_.dtcs.clear();
        // Now and then more than the short form holds: the long form's count.
        const std::size_t n = below(8) == 0 ? 21 + below(10) : below(7);
        for (std::size_t i = 0; i < n; ++i) ecu_.dtcs.push_back({randomByte(), randomByte(), randomByte()});
    }
}

std::vector<std::uint8_t> FaultyEcuLine::spoil(WireFault fault, const std::uint8_t* request, std::size_t size,
                                               std::vector<std::uint8_t> answer, std::int64_t& extraMs) {
    std::vector<std::uint8_t> out(request, request + size);
    std::size_t header = 0, length = 0;
    const bool framed = frameParts(answer, header, length);
    const auto reframed = [&](std::vector<std::uint8_t> data) { return frameResponse(data, header == 4); };
    std::vector<std::uint8_t> data;
    if (framed)
        data.assign(answer.begin() + static_cast<std::ptrdiff_t>(header),
                    answer.begin() + static_cast<std::ptrdiff_t>(header + length));
    switch (fault) {
        case WireFault::Silence:
            return {};
        case WireFault::EchoOnly:
            return out;
        case WireFault::Cut:
            out.insert(out.end(), answer.begin(), answer.end());
            out.resize(below(out.size()));
            return out;
        case WireFault::ShortWhole:
            if (framed && data.size() > 1)
                answer =
                    reframed({data.begin(), data.begin() + 1 + static_cast<std::ptrdiff_t>(below(data.size() - 1))});
            break;
        case WireFault::Negative: {
            static constexpr std::uint8_t kCodes[] = {0x10, 0x11, 0x12, 0x21, 0x22, 0x31, 0x78};
            answer = frameResponse({0x7F, size > 3 ? request[3] : std::uint8_t{0}, kCodes[below(std::size(kCodes))]});
            break;
        }
        case WireFault::WrongLid:
            if (framed && data.size() > 1) {
                data[1] = static_cast<std::uint8_t>(data[1] ^ (1 + below(255)));
                answer = reframed(data);
            }
            break;
        case WireFault::WrongService:
            if (framed) {
                data[0] = static_cast<std::uint8_t>(data[0] == 0x61 ? 0x5A : 0x61);
                answer = reframed(data);
            }
            break;
        case WireFault::BadChecksum:
            if (!answer.empty()) answer.back() = static_cast<std::uint8_t>(answer.back() ^ (1 + below(255)));
            break;
        case WireFault::NoiseBefore: {
            std::vector<std::uint8_t> noise(1 + below(3));
            for (auto& b : noise) b = randomByte();
            out.insert(below(2) ? out.end() : out.begin(), noise.begin(), noise.end());
            break;
        }
        case WireFault::NoiseAfter:
            for (std::size_t i = 1 + below(5); i > 0; --i) answer.push_back(randomByte());
            break;
        case WireFault::Pause: {
            out.insert(out.end(), answer.begin(), answer.end());
            const std::size_t at = below(out.size());
            const std::int64_t pause = 10 + static_cast<std::int64_t>(below(110));
            // Past the interval time-out the read ends at the pause.
            if (pause > platform::ReadTimeouts::kInterval) out.resize(at);
            extraMs += std::min<std::int64_t>(pause, platform::ReadTimeouts::kInterval);
            return out;
        }
        case WireFault::StrayBeforeWake:
            strayAtWake_ = true;
            break;
        case WireFault::PortGone:
            goneUntilMs_ = nowMs_ + 500 + static_cast<std::int64_t>(below(7500));
            return {};
        case WireFault::Late:
            if (late_.empty()) {
                late_ = answer;
                lateSkip_ = below(2);
                return out;
            }
            break;
        case WireFault::Pending: {
            if (answer.empty()) break;  // an ECU that does not answer has nothing pending
            const std::uint8_t service = size > 3 ? request[3] : std::uint8_t{0};
            const std::vector<std::uint8_t> pending = frameResponse({0x7F, service, 0x78});
            out.insert(out.end(), pending.begin(), pending.end());
            // Each within a second and a half: the final answer comes well
            // inside the five seconds the link waits.
            const auto later = [this] { return 60 + static_cast<std::int64_t>(below(1500)); };
            // Another "pending" now and then, and now and then no final answer.
            if (below(4) == 0) following_.push_back({later(), pending});
            if (below(8) != 0) following_.push_back({later(), answer});
            return out;
        }
        default:
            break;
    }
    out.insert(out.end(), answer.begin(), answer.end());
    return out;
}

void FaultyEcuLine::write(const std::uint8_t* data, std::size_t size) {
    ++exchanges_;
    nowMs_ += static_cast<std::int64_t>(size);  // about a millisecond a byte at 10400 baud
    current_ = {};
    reported_ = false;
    current_.request.assign(data, data + size);
    pending_.clear();
    if (!devicePresent() || !open_) {
        current_.fault = WireFault::PortGone;
        late_.clear();
        return;
    }
    // An earlier answer that came too late lands behind this echo, and this
    // request's own answer, if any, after it.
    const bool landing = !late_.empty() && lateSkip_ == 0;
    if (!late_.empty() && lateSkip_ > 0) --lateSkip_;
    const WireFault fault = draw(data, size);
    ++counts_[static_cast<std::size_t>(fault)];
    current_.fault = fault;
    if (size > 4) newCarData(data[3], data[4]);
    std::int64_t extra = 0;
    pending_ = spoil(fault, data, size, ecu_.respond(data, size), extra);
    nowMs_ += extra;
    if (landing) {
        pending_.insert(pending_.begin() + static_cast<std::ptrdiff_t>(std::min(size, pending_.size())), late_.begin(),
                        late_.end());
        current_.carried = late_.size();
        late_.clear();
    }
    current_.arrived = pending_;
    for (const auto& [ms, bytes] : following_)
        current_.arrived.insert(current_.arrived.end(), bytes.begin(), bytes.end());
}

std::size_t FaultyEcuLine::read(std::uint8_t* buffer, std::size_t max) {
    if (interrupted_) return 0;
    // Nothing on the line: what comes later in this exchange comes now.
    if (pending_.empty() && !following_.empty()) {
        nowMs_ += following_.front().first;
        pending_ = std::move(following_.front().second);
        following_.erase(following_.begin());
    }
    const std::size_t n = std::min(max, pending_.size());
    std::copy(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    // The answer comes after 25 ms; the read ends 50 ms after its last byte,
    // or at the whole time-out when nothing came.
    nowMs_ += n > 0 ? 25 + static_cast<std::int64_t>(n) + platform::ReadTimeouts::kInterval
                    : platform::ReadTimeouts::total(max).count();
    if (current_.readMax == 0) current_.readMax = max;
    current_.ms = nowMs_;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void FaultyEcuLine::purgeReceive() {
    pending_.clear();
    // What the link did not wait for still comes, after the next echo.
    for (auto& [ms, bytes] : following_) late_.insert(late_.end(), bytes.begin(), bytes.end());
    if (!following_.empty()) lateSkip_ = 0;
    following_.clear();
    if (!reported_) {
        reported_ = true;
        if (onExchange) onExchange(current_);
    }
}

void FaultyEcuLine::wakeUp() {
    const std::int64_t start = nowMs_;
    nowMs_ = start + platform::WakeTiming::kTotal.count();
    // The wake-up pattern ends whatever the ECU still had to say.
    late_.clear();
    if (!devicePresent() || !open_) return;
    // A stray zero on the line spoilt the wake-up's timing: the ECU sleeps on.
    if (strayAtWake_) {
        strayAtWake_ = false;
        return;
    }
    ecu_.wakeUp();
    // Another identification at every set-up, so that an old one shows.
    for (auto& b : ecu_.ecuId) b = static_cast<std::uint8_t>(0x30 + below(43));
    for (auto& b : ecu_.identA1) b = static_cast<std::uint8_t>(0xC0 + below(64));
    for (auto& b : ecu_.identA2) b = static_cast<std::uint8_t>(0x30 + below(10));
    for (auto& b : ecu_.identA3) b = static_cast<std::uint8_t>(0x30 + below(10));
}

}  // namespace sim
