// SPDX-License-Identifier: GPL-3.0-or-later
// The checks of a drive. Each has the conditions it needs before it may
// judge (the engine running, warm, at idle, for long enough); it measures
// its figures only from the rows that meet them, names the limits it judged
// by (diagnosis/Limits.h) and the time ranges behind its verdict, and says
// in the technician's words what to check next. Too little data is said as
// such, with the condition that was missing: never guessed.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "diagnosis/Drive.h"

namespace diagnosis {

enum class Verdict { Ok, Suspect, Fault, NoData };
const char* verdictName(Verdict v);  // "ok", "suspect", "fault", "no-data"

struct Evidence {
    double from = 0, to = 0;  // seconds since the drive's first pass
    std::string what;         // UTF-8
};

struct Finding {
    std::string id;  // "charging", "warm-up", ...
    Verdict verdict = Verdict::NoData;
    std::string why;                                      // UTF-8, Russian
    std::vector<std::pair<std::string, double>> figures;  // name, value
    std::vector<Evidence> evidence;
    std::vector<std::string> limits;  // the limits' identifiers the verdict used
    std::string next;                 // what to check next (UTF-8, Russian)
};

Finding checkCharging(const Drive& d);
Finding checkWarmUp(const Drive& d);
Finding checkTemperatureSensors(const Drive& d);
Finding checkIdle(const Drive& d);
Finding checkMisfire(const Drive& d);
Finding checkThrottleSensor(const Drive& d);
Finding checkMixture(const Drive& d);
Finding checkLambdaFront(const Drive& d);
Finding checkCatalyst(const Drive& d);
Finding checkAirMass(const Drive& d);
Finding checkKnock(const Drive& d);

// Every check, in the report's order.
std::vector<Finding> judge(const Drive& d);

}  // namespace diagnosis
