// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LogRows.h"

#include <cstdio>

#include "ecu/DtcTable.h"
#include "ecu/ParameterCatalogue.h"
#include "platform/Cp1251.h"
#include "platform/Hex.h"

namespace cli {

std::string logHeader() {
    std::string s = "pass,time";
    for (const auto& p : ecu::ParameterCatalogue::instance().all()) s += "," + p.mnemonic;
    return s;
}

std::string logRow(std::uint64_t pass, std::int64_t timeMs, const ecu::LiveData& d) {
    char time[32];
    std::snprintf(time, sizeof time, ",%lld.%03lld", static_cast<long long>(timeMs / 1000),
                  static_cast<long long>(timeMs % 1000));
    std::string s = std::to_string(pass) + time;
    for (const auto& p : ecu::ParameterCatalogue::instance().all()) {
        s += ',';
        const auto n = static_cast<std::size_t>(p.number);
        switch (p.kind) {
            case ecu::ParameterKind::Flag:
                s += std::to_string(d.flag[n].state);
                break;
            case ecu::ParameterKind::Reserved:
                break;
            // The other kinds show what their chart's readout shows.
            default:
                s += cp1251::toUtf8(d.chartReadout(p.number));
                break;
        }
    }
    return s;
}

std::vector<std::string> logDtcLines(const klink::DtcReplyBuffer::Bytes& bytes) {
    const ecu::DtcReply reply{{bytes.data(), bytes.size()}};
    std::vector<std::string> lines{"dtc count: " + std::to_string(reply.count())};
    for (std::size_t k = 0; k < reply.count(); ++k) {
        const ecu::DtcRecord r = reply.record(k);
        const std::string* text = ecu::dtcText(r.high, r.low);
        lines.push_back("dtc: " + ecu::shownCode(r.high, r.low) + " " + platform::hexByte(r.status) + " " +
                        (text ? cp1251::toUtf8(*text) : std::string()));
    }
    return lines;
}

}  // namespace cli
