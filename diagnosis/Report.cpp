// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnosis/Report.h"

#include <cmath>
#include <cstdio>

#include "diagnosis/Limits.h"

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

}  // namespace

std::string reportJson(const ReportInput& r) {
    std::string out = "{\"format\": 1, \"program\": " + quoted(r.program) + ", \"car\": {";
    out += joined(r.car, [](const auto& f) { return quoted(f.first) + ": " + quoted(f.second); });
    out += "}, \"drive\": {\"start\": " + quoted(r.start) + ", \"seconds\": " + number(r.seconds) +
           ", \"passes\": " + std::to_string(r.passes) + "}, \"checks\": [";
    out += joined(r.checks, [](const Finding& f) {
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
        return c + "], \"next\": " + quoted(f.next) + "}";
    });
    out += "], \"codes\": [";
    out += joined(r.codes, [](const ReportCode& c) {
        return "{\"code\": " + quoted(c.code) + ", \"text\": " + quoted(c.text) + ", \"status\": " + quoted(c.status) +
               "}";
    });
    out += "], \"actions\": [";
    out += joined(r.actions, [](const ReportAction& a) {
        return "{\"at_s\": " + number(a.at) + ", \"what\": " + quoted(a.what) + "}";
    });
    return out + "]}\n";
}

}  // namespace diagnosis
