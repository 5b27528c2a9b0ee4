// SPDX-License-Identifier: GPL-3.0-or-later
// The checker of the wire-fault campaign: it hears every exchange the link
// made on the faulty line, judges each reply on its own (written apart from
// the link's answer check, from the ECU's own block sizes), and decodes what
// a pass actually received into fresh buffers. What the program shows must
// be exactly that: a row for each pass whose two answers came whole, none
// for any other, the codes of the last whole answer, and only the
// identification texts whose replies came whole.
#pragma once

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "cli/LogRows.h"
#include "ecu/CsvTable.h"
#include "ecu/Identification.h"
#include "ecu/LiveDecoder.h"
#include "link/WireLayout.h"
#include "platform/Cp1251.h"
#include "platform/WallClock.h"
#include "sim/EcuModel.h"
#include "sim/FaultyEcuLine.h"

namespace campaign {

// A frame's header and data lengths at a; false when bytes n do not hold
// a whole one with its checksum right.
inline bool wholeFrame(const std::uint8_t* a, std::size_t n, std::size_t& h, std::size_t& len) {
    if (n < 4 || (a[0] & 0xC0) != 0x80) return false;
    h = (a[0] & 0x3F) ? 3 : 4;
    len = h == 3 ? (a[0] & 0x3F) : a[3];
    if (len == 0 || n < h + len + 1) return false;
    unsigned sum = 0;
    for (std::size_t i = 0; i < h + len; ++i) sum += a[i];
    return (sum & 0xFF) == a[h + len];
}

// What a pass received for its request as the program must read it: the
// echo, then the final answer, every "answer pending" (7F, service, 78)
// before it taken out; an answer of the error codes in the long form with
// its length byte taken out, as the short form stands.
inline std::vector<std::uint8_t> finalReply(const sim::FaultExchange& e, bool asShortForm = true) {
    const std::size_t echo = e.request.size();
    std::vector<std::uint8_t> r = e.arrived;
    std::size_t h = 0, len = 0;
    const bool echoed = echo > 3 && r.size() >= echo && std::equal(e.request.begin(), e.request.end(), r.begin());
    while (echoed && r.size() > echo && wholeFrame(r.data() + echo, r.size() - echo, h, len) && len == 3 &&
           r[echo + h] == 0x7F && r[echo + h + 1] == e.request[3] && r[echo + h + 2] == 0x78)
        r.erase(r.begin() + static_cast<std::ptrdiff_t>(echo), r.begin() + static_cast<std::ptrdiff_t>(echo + h + 4));
    // What the link reads at most.
    if (e.readMax > 0 && r.size() > e.readMax) r.resize(e.readMax);
    if (asShortForm && echoed && e.request[3] == 0x18 && r.size() > echo + 4 && r[echo] == 0x80)
        r.erase(r.begin() + static_cast<std::ptrdiff_t>(echo + 3));
    return r;
}

// A whole, positive answer of the expected header to service (and
// parameter), reaching lastPosition (counted with the echo), and nothing
// else: not behind an earlier request's late answer, nor with bytes after it.
inline bool answered(const sim::FaultExchange& e, std::uint8_t service, int parameter, std::size_t headerLength,
                     std::size_t lastPosition) {
    if (e.carried > 0) return false;
    const std::size_t echo = e.request.size();
    const std::vector<std::uint8_t> r = finalReply(e, false);
    std::size_t h = 0, len = 0;
    if (r.size() < echo + 4 || !std::equal(e.request.begin(), e.request.end(), r.begin())) return false;
    const std::uint8_t* a = r.data() + echo;
    if (!wholeFrame(a, r.size() - echo, h, len) || r.size() - echo != h + len + 1) return false;
    // The error codes come in either form, the count after the service byte.
    if (service == 0x18) {
        lastPosition = echo + h + 1 + 3 * static_cast<std::size_t>(r.size() > echo + h + 1 ? r[echo + h + 1] : 0);
    } else if (h != headerLength) {
        return false;
    }
    if (a[h] != service + 0x40) return false;
    if (parameter >= 0 && (len < 2 || a[h + 1] != parameter)) return false;
    return echo + h + len - 1 >= lastPosition;
}

inline bool isRequest(const sim::FaultExchange& e, std::uint8_t service, int parameter = -1) {
    return e.request.size() > 4 && e.request[3] == service && (parameter < 0 || e.request[4] == parameter);
}

template <std::size_t N>
std::array<std::uint8_t, N> bufferOf(const sim::FaultExchange& e) {
    const std::vector<std::uint8_t> r = finalReply(e);
    std::array<std::uint8_t, N> b{};
    std::copy_n(r.begin(), std::min(N, r.size()), b.begin());
    return b;
}

class Checker {
public:
    explicit Checker(platform::WallTime started) : started_(started) { carried_.setFlagNames(); }

    // Every exchange, in order.
    void exchange(const sim::FaultExchange& e) {
        using M = sim::EcuModel;
        // A request left unanswered (its echo alone) may be answered late,
        // behind the same request's echo next time: that next answer is none.
        const std::vector<std::uint8_t> reply = finalReply(e, false);
        if (isRequest(e, 0x81)) owed_.clear();  // just woken: nothing from before comes
        const auto owed = owed_.find(e.request);
        const bool late = owed != owed_.end() && e.ms <= owed->second;
        if (owed != owed_.end()) owed_.erase(owed);
        if (reply.size() == e.request.size() && std::equal(e.request.begin(), e.request.end(), reply.begin()))
            owed_[e.request] = e.ms + klink::kFinalAnswerWait.count();
        const auto answered = [late](const sim::FaultExchange& x, std::uint8_t service, int parameter,
                                     std::size_t header, std::size_t last) {
            return !late && campaign::answered(x, service, parameter, header, last);
        };
        if (isRequest(e, 0x21, 0x01)) {
            ++pass_;
            live01_ = e;
            live01Answered_ = answered(e, 0x21, 0x01, 4, 11 + M::kBlock01Size);
            awaiting03_ = true;
        } else if (awaiting03_ && isRequest(e, 0x21, 0x03)) {
            awaiting03_ = false;
            const bool ok = live01Answered_ && answered(e, 0x21, 0x03, 3, 10 + M::kBlock03Size);
            if (!ok) return;
            ++measured_;
            const auto b01 = bufferOf<klink::kLiveData01ReplySize>(live01_);
            const auto b03 = bufferOf<klink::kLiveData03ReplySize>(e);
            ecu::decodeLiveData({b01.data(), b01.size()}, {b03.data(), b03.size()}, carried_);
            rows.push_back(cli::logRow(pass_, e.ms, carried_));
            csv.push_back(ecu::csvRow(pass_, e.ms, started_.later(e.ms), carried_));
            if (keepRows) byPass[pass_] = rows.back();
        } else if (isRequest(e, 0x18)) {
            if (answered(e, 0x18, -1, 3, 12)) codes_ = bufferOf<klink::kDtcReplySize>(e);
        } else if (isRequest(e, 0x21, 0xA1)) {
            ident_[0] = answered(e, 0x21, 0xA1, 3, 17) ? e : sim::FaultExchange{};
        } else if (isRequest(e, 0x21, 0xA2)) {
            ident_[1] = answered(e, 0x21, 0xA2, 3, 17) ? e : sim::FaultExchange{};
        } else if (isRequest(e, 0x21, 0xA3)) {
            ident_[2] = answered(e, 0x21, 0xA3, 3, 20) ? e : sim::FaultExchange{};
        } else if (isRequest(e, 0x1A, 0x80)) {
            ident_[3] = answered(e, 0x1A, 0x80, 4, 11 + M::kEcuIdSize) ? e : sim::FaultExchange{};
            identification();
        }
    }

    // What the program must print, in order; taken by whoever compares.
    std::deque<std::string> rows, csv, identLines;
    // The identification texts the screen must show after the last set-up:
    // those of a reply that did not come whole are empty.
    std::array<std::string, klink::kIdentTextCount> screenTexts{};
    // The measured passes' rows by pass number, while keepRows.
    std::map<std::uint64_t, std::string> byPass;
    bool keepRows = true;
    std::uint64_t passes() const { return pass_; }
    std::uint64_t measured() const { return measured_; }
    // The code lines of the last whole answer; empty when none came.
    std::vector<std::string> codeLines() const {
        if (!codes_) return {};
        return cli::logDtcLines(*codes_);
    }

private:
    void identification() {
        const auto a1 = bufferOf<klink::kIdentA1ReplySize>(ident_[0]);
        const auto a2 = bufferOf<klink::kIdentA2ReplySize>(ident_[1]);
        const auto a3 = bufferOf<klink::kIdentA3ReplySize>(ident_[2]);
        const auto id = bufferOf<klink::kEcuIdReplySize>(ident_[3]);
        const auto texts = ecu::buildIdentTexts(
            {{a1.data(), a1.size()}, {a2.data(), a2.size()}, {a3.data(), a3.size()}, {id.data(), id.size()}});
        screenTexts = texts;
        for (std::size_t k = 0; k < texts.size(); ++k) {
            if (ident_[ecu::identSourceReply(k)].arrived.empty()) continue;
            identLines.push_back("ident " + std::to_string(k) + ": " + cp1251::toUtf8(klink::shownText(texts[k])));
        }
        ident_ = {};
    }

    platform::WallTime started_;
    std::uint64_t pass_ = 0;
    std::uint64_t measured_ = 0;
    bool awaiting03_ = false;
    sim::FaultExchange live01_;
    bool live01Answered_ = false;
    std::map<std::vector<std::uint8_t>, std::int64_t> owed_;  // until when each request's late answer may come
    ecu::LiveData carried_;                                   // only measured passes decode into it
    std::optional<std::array<std::uint8_t, klink::kDtcReplySize>> codes_;
    std::array<sim::FaultExchange, 4> ident_{};
};

}  // namespace campaign
