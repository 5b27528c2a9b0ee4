// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests look for in the requests that went out, as service bytes
// ("30 0A 06 FF"): the same judgement on either side of Wine.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace wirechecks {

// How many requests of a service went out ("14": the clearing of the codes).
inline long countService(const std::vector<std::string>& sent, const std::string& service) {
    return std::count_if(sent.begin(), sent.end(),
                         [&](const std::string& s) { return s.rfind(service + " ", 0) == 0 || s == service; });
}

// An output was switched on ("30 LID 06 FF") and handed back to the ECU
// ("30 LID 00") after it; the output's request, or empty when none went on.
inline std::string switchedOnAndReleased(const std::vector<std::string>& sent, bool& released) {
    const auto on = std::find_if(sent.begin(), sent.end(),
                                 [](const std::string& s) { return s.rfind("30 ", 0) == 0 && s.find("06 FF") == 6; });
    released = false;
    if (on == sent.end()) return {};
    released = std::find(on, sent.end(), on->substr(0, 5) + " 00") != sent.end();
    return *on;
}

// The verdict on a session in which the codes' window and the control
// window were driven and left: no clearing (14), no reset (11), and an
// output switched on released after it, each time (at least twice). Empty
// when all holds, else what did not.
inline std::string nothingByAccidentAndReleased(const std::vector<std::string>& sent) {
    if (sent.empty()) return "nothing went out";
    if (countService(sent, "14")) return "the codes were cleared";
    if (countService(sent, "11")) return "the ECU was reset";
    bool released = false;
    const std::string on = switchedOnAndReleased(sent, released);
    if (on.empty()) return "no output was switched on";
    if (!released) return on + " was not released";
    if (countService(sent, on.substr(0, 5) + " 00") < 2) return on + " was released only once";
    return {};
}

}  // namespace wirechecks
