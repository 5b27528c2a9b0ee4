// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnosis/Report.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "diagnosis/Limits.h"
#include "diagnosis/ReportHtml.h"
#include "ecu/DtcTable.h"
#include "platform/Cp1251.h"
#include "platform/FileAccess.h"

namespace diagnosis {

namespace {

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", u);
            out += b;
        } else {
            out += c;  // UTF-8 passes as it is
        }
    }
    return out + "\"";
}

std::string number(double v) {
    if (!std::isfinite(v)) return "null";
    char b[32];
    std::snprintf(b, sizeof b, "%.6g", v);
    return b;
}

// Joins the items made by one call each.
template <typename List, typename Fn>
std::string joined(const List& list, Fn&& item) {
    std::string out;
    for (const auto& x : list) out += (out.empty() ? "" : ", ") + item(x);
    return out;
}

const char* words(ecu::DtcPicture p) {
    using P = ecu::DtcPicture;
    switch (p) {
        case P::Lamp:
            return "лампа диагностики";
        case P::Present:
            return "присутствует при запросе";
        case P::Intermittent:
            return "пропадающая";
        case P::StoredInactive:
            return "сохранена, но неактивна";
        case P::TestNotCompleted:
            return "тест не закончен";
        case P::TestCompleted:
            return "тест закончен";
        case P::AboveMaximum:
            return "превышение максимального порога";
        case P::BelowMinimum:
            return "превышение минимального порога";
        case P::InvalidSignal:
            return "неверный сигнал";
        case P::NoSignal:
            return "отсутствие сигнала";
        case P::None:
            break;
    }
    return "";
}

}  // namespace

std::optional<ReportKind> reportKindOf(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    const auto endsWith = [&lower](const char* end) {
        const std::size_t n = std::strlen(end);
        return lower.size() > n && lower.compare(lower.size() - n, n, end) == 0;
    };
    if (endsWith(".html") || endsWith(".htm")) return ReportKind::Html;
    if (endsWith(".json")) return ReportKind::Json;
    return std::nullopt;
}

std::string writeReport(const std::string& path, const ReportInput& r, const Drive& d) {
    const std::string text = reportKindOf(path) == ReportKind::Json ? reportJson(r) : reportHtml(r, d);
    // Written beside it, then put in its place: a report that cannot be
    // written whole (a full disk) leaves the one there before as it was.
    const std::string part = path + ".part";
    std::FILE* f = platform::openFile(part, "wb");
    if (!f) return path + ": " + std::strerror(errno) + "; the report is not written";
    int error = 0;
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) error = errno ? errno : EIO;
    if (std::fclose(f) != 0 && !error) error = errno ? errno : EIO;
    if (!error && !platform::replaceFile(part, path)) error = errno ? errno : EIO;
    if (error) {
        platform::removeFile(part);
        return path + ": " + std::strerror(error) + "; the report is not written";
    }
    return {};
}

std::vector<ReportCode> reportCodes(const std::uint8_t* reply, std::size_t size) {
    const ecu::DtcReply r{{reply, size}};
    std::vector<ReportCode> out;
    for (std::size_t k = 0; k < r.count(); ++k) {
        const ecu::DtcRecord c = r.record(k);
        const std::string* text = ecu::dtcText(c.high, c.low);
        const ecu::DtcStatusPictures p = ecu::dtcPictures(c.status);
        std::string status;
        for (const ecu::DtcPicture x : {p.lamp, p.storage, p.test, p.symptom})
            if (*words(x)) status += (status.empty() ? "" : "; ") + std::string(words(x));
        out.push_back({cp1251::toUtf8(ecu::shownCode(c.high, c.low)), text ? cp1251::toUtf8(*text) : "", status});
    }
    return out;
}

std::string reportJson(const ReportInput& r) {
    std::string out = "{\"format\": 1, \"program\": " + quoted(r.program) + ", \"car\": {";
    out += joined(r.car, [](const auto& f) { return quoted(f.first) + ": " + quoted(withoutPadding(f.second)); });
    out += "}, \"drive\": {\"start\": " + quoted(r.start) + ", \"seconds\": " + number(r.seconds) +
           ", \"passes\": " + std::to_string(r.passes) + ", \"dropped_passes\": " + std::to_string(r.droppedPasses) +
           "}, \"checks\": [";
    out += joined(r.checks, [&r](const Finding& f) {
        std::string c = "{\"id\": " + quoted(f.id) + ", \"verdict\": " + quoted(verdictName(f.verdict)) +
                        ", \"why\": " + quoted(f.why) + ", \"figures\": {";
        c += joined(f.figures, [](const auto& x) { return quoted(x.first) + ": " + number(x.second); });
        c += "}, \"evidence\": [";
        c += joined(f.evidence, [](const Evidence& e) {
            return "{\"from_s\": " + number(e.from) + ", \"to_s\": " + number(e.to) + ", \"what\": " + quoted(e.what) +
                   "}";
        });
        c += "], \"limits\": [";
        c += joined(f.limits, [](const std::string& id) {
            const Limit& l = limit(id);
            return "{\"id\": " + quoted(l.id) + ", \"value\": " + number(l.value) + ", \"unit\": " + quoted(l.unit) +
                   ", \"reason\": " + quoted(l.reason) + ", \"source\": " + quoted(l.source) + "}";
        });
        c += "], \"next\": " + quoted(f.next) + ", \"codes\": [";
        c += joined(codesFor(r, f.id), [](const ReportCode* code) { return quoted(code->code); });
        return c + "]}";
    });
    static constexpr const char* kCodesStates[] = {"not-read", "read", "cleared"};
    out += "], \"codes_state\": " + quoted(kCodesStates[static_cast<int>(r.codesState)]) + ", \"codes\": [";
    out += joined(r.codes, [](const ReportCode& c) {
        return "{\"code\": " + quoted(c.code) + ", \"text\": " + quoted(c.text) + ", \"status\": " + quoted(c.status) +
               "}";
    });
    out += "], \"actions\": [";
    out += joined(r.actions, [](const ReportAction& a) {
        return "{\"at_s\": " + number(a.at) + ", \"what\": " + quoted(a.what) + "}";
    });
    out += "]";
    if (r.previous) {
        out += ", \"previous\": {\"start\": " + quoted(r.previous->start) +
               ", \"seconds\": " + number(r.previous->seconds) + ", \"passes\": " + std::to_string(r.previous->passes) +
               ", \"checks\": [";
        out += joined(r.previous->checks, [](const Finding& f) {
            return "{\"id\": " + quoted(f.id) + ", \"verdict\": " + quoted(verdictName(f.verdict)) +
                   ", \"why\": " + quoted(f.why) + "}";
        });
        out += "]}";
    }
    return out + "}\n";
}

std::string codesRead(const std::uint8_t* reply, std::size_t size) {
    std::string list;
    for (const ReportCode& c : reportCodes(reply, size)) list += (list.empty() ? "" : "; ") + c.code + " " + c.text;
    return "коды ошибок прочитаны: " + (list.empty() ? std::string("нет") : list);
}

}  // namespace diagnosis
