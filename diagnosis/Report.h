// SPDX-License-Identifier: GPL-3.0-or-later
// The report of a drive as JSON for other programs: the program, the car,
// the drive, each check with its verdict, reason, figures, evidence and the
// limits it used (with their reasons and sources), the error codes read and
// the actions taken. Texts are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnosis/Checks.h"

namespace diagnosis {

struct ReportCode {
    std::string code;    // "P  0130"
    std::string text;    // the code's description
    std::string status;  // what its status says
};

struct ReportAction {
    double at = 0;  // seconds since the drive's first pass
    std::string what;
};

// An identification text as a report shows it: the ECU pads its fields
// with spaces.
inline std::string withoutPadding(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// The same car's previous drive, judged by the same checks.
struct PreviousDrive {
    std::string start;  // ISO 8601
    double seconds = 0;
    std::size_t passes = 0;
    std::vector<Finding> checks;
};

struct ReportInput {
    std::string program;                                   // "m797-tester 1.0.0"
    std::vector<std::pair<std::string, std::string>> car;  // field, value (the identification)
    std::string start;                                     // the drive's start, ISO 8601
    double seconds = 0;                                    // its length
    std::size_t passes = 0;                                // measured passes
    // A drive longer than the history keeps: how many of its first passes
    // went before the report was written, and the time from the session's
    // start to the first one kept. None judged; the report says so.
    std::size_t droppedPasses = 0;
    double droppedSeconds = 0;
    std::vector<Finding> checks;
    // The codes as last read; the list is empty when none were read, when
    // the ECU keeps none, and after a clear: the state says which.
    enum class Codes { NotRead, Read, Cleared };
    Codes codesState = Codes::NotRead;
    std::vector<ReportCode> codes;
    std::vector<ReportAction> actions;
    // Made from a recording: what was done to the car during the drive is
    // not done again, so none of it is known here.
    bool replayed = false;
    std::optional<PreviousDrive> previous;  // compared with, when asked
};

// The codes of an error-code reply as the report lists them: the shown
// code, its text and what its status byte says, in words.
std::vector<ReportCode> reportCodes(const std::uint8_t* reply, std::size_t size);

// The codes read that bear on a check (its id): those whose meaning names
// the part or system it judges, in the order they were read.
std::vector<const ReportCode*> codesFor(const ReportInput& r, std::string_view check);

// A reading of the codes as the journal keeps it:
// "коды ошибок прочитаны: P  0102 text; P  0171 text" (or "... : нет").
std::string codesRead(const std::uint8_t* reply, std::size_t size);

// {"format": 1, "program": ..., "car": {...}, "drive": {"start", "seconds",
// "passes"}, "checks": [{"id", "verdict", "why", "figures": {...},
// "evidence": [{"from_s", "to_s", "what"}], "limits": [{"id", "value",
// "unit", "reason", "source"}], "next"}], "codes": [...], "actions": [...]}
std::string reportJson(const ReportInput& r);

enum class ReportKind { Html, Json };
// By the name's ending (.html, .htm or .json, in any case); none for another.
std::optional<ReportKind> reportKindOf(const std::string& path);
// The report of drive d, as its name asks, written whole: empty, or why not
// (English, naming the file).
std::string writeReport(const std::string& path, const ReportInput& r, const Drive& d);

}  // namespace diagnosis
