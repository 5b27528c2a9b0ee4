// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/CsvTable.h"

#include <cstdio>
#include <utility>

#include "ecu/ParameterCatalogue.h"
#include "platform/Cp1251.h"

namespace ecu {

std::optional<CsvStyle> csvStyleNamed(std::string_view name) {
    if (name == "rfc") return CsvStyle::Rfc;
    if (name == "excel-ru") return CsvStyle::ExcelRu;
    return std::nullopt;
}

const char* csvStyleName(CsvStyle style) { return style == CsvStyle::ExcelRu ? "excel-ru" : "rfc"; }

namespace {

// The units as the charts' captions spell them; where a caption names none
// (ADC_EGR, the two ignition angles), the one the reading has.
std::string_view russianUnit(std::string_view rfc) {
    static constexpr std::pair<std::string_view, std::string_view> kRussian[] = {
        {"V", "В"},         {"%", "%"},       {"1/s2", "об/с2"}, {"kg/h", "кг/час"}, {"step", "шаг"},
        {"rpm", "об/мин"},  {"C", "C"},       {"ms", "ms"},      {"min", "мин"},     {"mV", "мВ"},
        {"km/h", "км/час"}, {"l/h", "л/час"}, {"deg", "град"},   {"g", "G"}};
    for (const auto& [from, to] : kRussian)
        if (from == rfc) return to;
    return rfc;
}

}  // namespace

std::string_view parameterUnit(int number, CsvStyle style) {
    if (style == CsvStyle::ExcelRu) return russianUnit(parameterUnit(number, CsvStyle::Rfc));
    // In the order of the catalogue; the captions name most of them ("В.",
    // "кг/час", "об/мин"); ADC readings are volts, but for the rough-road
    // sensor's, which is read as acceleration ("G.").
    // clang-format off
    static constexpr std::string_view kUnits[kParameterCount + 1] = {
        "",                                               // (none)
        "V",     "V",     "g", "V", "V", "", "", "V",     // 1..8
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

std::string csvField(std::string_view text, char separator) {
    const char special[] = {separator, '"', '\r', '\n', '\0'};
    if (text.find_first_of(special) == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvHeader(CsvStyle style) {
    const bool ru = style == CsvStyle::ExcelRu;
    const char sep = ru ? ';' : ',';
    std::string s = ru ? "\xEF\xBB\xBFpass;time [с];clock" : "pass,time [s],clock";
    for (const auto& p : ParameterCatalogue::instance().all()) {
        const std::string_view unit = parameterUnit(p.number, style);
        s += sep + csvField(unit.empty() ? p.mnemonic : p.mnemonic + " [" + std::string(unit) + "]", sep);
    }
    s += "\r\n";
    if (!ru) return s;
    // Each parameter's caption from its chart, without the mnemonic.
    s += "цикл опроса;время от начала;дата и время";
    for (const auto& p : ParameterCatalogue::instance().all()) {
        std::string caption = cp1251::toUtf8(p.chartCaption);
        if (caption.compare(0, p.mnemonic.size(), p.mnemonic) == 0) caption.erase(0, p.mnemonic.size());
        const std::size_t from = caption.find_first_not_of(' ');
        s += sep + csvField(from == std::string::npos ? std::string() : caption.substr(from), sep);
    }
    return s + "\r\n";
}

std::string csvRow(std::uint64_t pass, std::int64_t timeMs, const platform::WallTime& at, const LiveData& d,
                   CsvStyle style) {
    const bool ru = style == CsvStyle::ExcelRu;
    const char sep = ru ? ';' : ',';
    // A number's decimal point, as the style writes it.
    const auto number = [ru](std::string text) {
        if (ru)
            for (char& c : text)
                if (c == '.') c = ',';
        return text;
    };
    char time[40];
    std::snprintf(time, sizeof time, "%lld.%03lld", static_cast<long long>(timeMs / 1000),
                  static_cast<long long>(timeMs % 1000));
    std::string s = std::to_string(pass) + sep + number(time) + sep +
                    csvField(ru ? platform::russianTime(at) : platform::isoTime(at), sep);
    for (const auto& p : ParameterCatalogue::instance().all()) {
        s += sep;
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
                s += csvField(number(cp1251::toUtf8(d.chartReadout(p.number))), sep);
                break;
        }
    }
    return s + "\r\n";
}

}  // namespace ecu
