// SPDX-License-Identifier: GPL-3.0-or-later
// The port's name on the strip, fitted into the strip's last frame.
#include <string_view>

#include "painting/ChartView.h"
#include "platform/FileAccess.h"

namespace display {

std::string portLabel(const std::string& device, const TextWidth& width) {
    // A by-id link names the device it points at.
    const std::string name = platform::resolvedPath(device);
    const auto slash = name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    auto numbered = [&base](std::string_view prefix) {
        return base.size() > prefix.size() && base.size() <= prefix.size() + 3 && base.rfind(prefix, 0) == 0 &&
               base.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
    };
    if (numbered("ttyS")) return "Com" + std::to_string(std::stoi(base.substr(4)) + 1);
    // Windows names the same ports COM1, COM2... (any case will do).
    const bool com = base.size() > 3 && (base[0] | 0x20) == 'c' && (base[1] | 0x20) == 'o' && (base[2] | 0x20) == 'm';
    if (com && base.size() <= 6 && base.find_first_not_of("0123456789", 3) == std::string::npos)
        return "Com" + base.substr(3);
    if (numbered("ttyUSB") || numbered("ttyACM")) base = base.substr(3);
    // Whatever is left must stay inside the frame: cut with an ellipsis
    // (0x85 in code page 1251) after as much of it as fits.
    if (!width || width(base) <= kPortNameRoom) return base;
    constexpr char kEllipsis = '\x85';
    std::string cut = base;
    do {
        cut.pop_back();
    } while (!cut.empty() && width(cut + kEllipsis) > kPortNameRoom);
    return cut + kEllipsis;
}

}  // namespace display
