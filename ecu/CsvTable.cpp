// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/CsvTable.h"

#include <cstdio>

#include "ecu/ParameterCatalogue.h"
#include "platform/Cp1251.h"

namespace ecu {

std::string_view parameterUnit(int number) {
    // In the order of the catalogue; the captions name most of them ("В.",
    // "кг/час", "об/мин"); ADC readings are volts.
    // clang-format off
    static constexpr std::string_view kUnits[kParameterCount + 1] = {
        "",                                               // (none)
        "V",     "V",     "V", "V", "V", "", "", "V",     // 1..8
        "V",     "V",     "V", "",  "",  "", "", "",      // 9..16
        "",      "",      "",  "",  "",  "", "", "",      // 17..24
        "",      "",      "",  "",  "",  "", "", "",      // 25..32
        "",      "",      "",  "",  "",  "%", "%", "",    // 33..40
        "",      "",      "",  "",  "",  "", "", "",      // 41..48
        "",      "",      "",  "1/s2", "kg/h", "step", "kg/h", "rpm",  // 49..56
        "",      "rpm",   "",  "%", "V", "%", "%", "",    // 57..64
        "C",     "%",     "ms", "min", "C", "C", "", "V",  // 65..72
        "",      "mV",    "km/h", "l/h", "%", "deg", "deg",  // 73..79
    };
    // clang-format on
    return number >= 1 && static_cast<std::size_t>(number) <= kParameterCount ? kUnits[number] : std::string_view();
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvHeader() {
    std::string s = "pass,time [s],clock";
    for (const auto& p : ParameterCatalogue::instance().all()) {
        const std::string_view unit = parameterUnit(p.number);
        s += ',' + csvField(unit.empty() ? p.mnemonic : p.mnemonic + " [" + std::string(unit) + "]");
    }
    return s + "\r\n";
}

std::string csvRow(std::uint64_t pass, std::int64_t timeMs, const std::string& clock, const LiveData& d) {
    char time[40];
    std::snprintf(time, sizeof time, ",%lld.%03lld,", static_cast<long long>(timeMs / 1000),
                  static_cast<long long>(timeMs % 1000));
    std::string s = std::to_string(pass) + time + csvField(clock);
    for (const auto& p : ParameterCatalogue::instance().all()) {
        s += ',';
        switch (p.kind) {
            case ParameterKind::Flag:
                s += std::to_string(d.flag[static_cast<std::size_t>(p.number)].state);
                break;
            case ParameterKind::Reserved:
                break;
            case ParameterKind::BitByte:
                s += "0b" + d.chartReadout(p.number);
                break;
            case ParameterKind::Checksum:
                s += "0x" + d.chartReadout(p.number);
                break;
            default:
                s += csvField(cp1251::toUtf8(d.chartReadout(p.number)));
                break;
        }
    }
    return s + "\r\n";
}

}  // namespace ecu
