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

}  // namespace wirechecks
