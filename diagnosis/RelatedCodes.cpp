// SPDX-License-Identifier: GPL-3.0-or-later
// The stored codes that bear on each check. A code belongs to a check when
// its meaning in the ECU's own table (ecu/DtcTextTable.cpp) names the part
// or the system that check judges; a code bears on no check when no check
// looks at its system (the injectors' circuits aside, which misfire).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "diagnosis/Report.h"

namespace diagnosis {

namespace {

struct Related {
    const char* check;
    std::initializer_list<std::uint16_t> codes;
};

const Related kRelated[] = {
    // The on-board voltage low or high, and the ECU's supply lost.
    {"charging", {0x0560, 0x0562, 0x0563, 0x1602}},
    // The fan's relays (an engine that overheats); the coolant sensor out of
    // its range, which this ECU also sets for an engine that stays cold (a
    // thermostat stuck open); and the same sensor's circuit, whose reading
    // the warm-up is judged by.
    {"warm-up", {0x0116, 0x0117, 0x0118, 0x0480, 0x0481}},
    {"temperature-sensors", {0x0112, 0x0113, 0x0116, 0x0117, 0x0118}},
    {"idle", {0x0506, 0x0507, 0x1509, 0x1513, 0x1514}},
    // The air-mass sensor, and the load measured against the one computed from it.
    {"air-mass", {0x0102, 0x0103, 0x1140}},
    // A cylinder's misfires, and its injector's circuit open or shorted.
    {"misfire",
     {0x0301, 0x0302, 0x0303, 0x0304, 0x0201, 0x0202, 0x0203, 0x0204, 0x0261, 0x0262, 0x0264, 0x0265, 0x0267, 0x0268,
      0x0270, 0x0271}},
    {"knock", {0x0327, 0x0328, 0x1386}},
    {"throttle-sensor", {0x0122, 0x0123}},
    {"mixture", {0x0171, 0x0172}},
    {"lambda-front", {0x0130, 0x0132, 0x0133, 0x0134, 0x0135, 0x1135}},
    // The converter's efficiency, and the sensor after it that judges it.
    {"catalyst", {0x0422, 0x0136, 0x0137, 0x0138, 0x0140, 0x0141, 0x1141}},
};

}  // namespace

std::vector<const ReportCode*> codesFor(const ReportInput& r, std::string_view check) {
    std::vector<const ReportCode*> out;
    for (const Related& related : kRelated) {
        if (related.check != check) continue;
        for (const ReportCode& c : r.codes) {
            // "P  0102": the code's two bytes as hexadecimal digits.
            if (c.code.size() != 7) continue;
            char* end = nullptr;
            const unsigned long number = std::strtoul(c.code.c_str() + 3, &end, 16);
            if (*end == '\0' && std::find(related.codes.begin(), related.codes.end(), number) != related.codes.end())
                out.push_back(&c);
        }
    }
    return out;
}

}  // namespace diagnosis
