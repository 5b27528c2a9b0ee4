// SPDX-License-Identifier: GPL-3.0-or-later
// Every limit the checks judge by, once: its value and unit, why it is
// there, and where it comes from. The engines are this ECU's: the 1.6-litre
// four-cylinder petrol engines it runs. A report names the limits each
// verdict used.
#pragma once

#include <string_view>
#include <vector>

namespace diagnosis {

struct Limit {
    const char* id;
    double value;
    const char* unit;
    const char* reason;  // UTF-8, Russian
    const char* source;
};

const std::vector<Limit>& limits();
// The limit with this identifier; a name no row has is a programming
// error, stopped at once.
const Limit& limit(std::string_view id);

}  // namespace diagnosis
