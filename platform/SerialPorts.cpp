#include "platform/SerialPorts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace platform {
namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Natural order: ttyS2 before ttyS10.
bool portLess(const SerialPortEntry& a, const SerialPortEntry& b) {
    auto key = [](const std::string& d) {
        const auto digits = d.find_last_not_of("0123456789") + 1;
        return std::make_pair(d.substr(0, digits), d.size() > digits ? std::stol(d.substr(digits)) : -1L);
    };
    return key(a.device) < key(b.device);
}

// A ttyS* node exists for every possible built-in port; only those whose
// UART type is known (non-zero) are real.
bool builtInPortIsReal(const std::string& sysTtyRoot, const std::string& name) {
    std::ifstream type(sysTtyRoot + "/" + name + "/type");
    int t = 0;
    return type >> t && t != 0;
}

}  // namespace

std::vector<SerialPortEntry> listSerialPorts(const std::string& devRoot, const std::string& sysTtyRoot) {
    std::error_code ec;
    std::map<std::string, std::string> byId;  // device -> by-id link
    for (const auto& e : fs::directory_iterator(devRoot + "/serial/by-id", ec)) {
        const fs::path target = fs::weakly_canonical(e.path(), ec);
        if (!ec) byId[target.string()] = e.path().string();
    }
    std::vector<SerialPortEntry> out;
    for (const auto& e : fs::directory_iterator(devRoot, ec)) {
        const std::string name = e.path().filename().string();
        const bool usb = startsWith(name, "ttyUSB") || startsWith(name, "ttyACM");
        const bool builtIn =
            startsWith(name, "ttyS") && name.size() > 4 && name.find_first_not_of("0123456789", 4) == std::string::npos;
        if (!usb && !(builtIn && builtInPortIsReal(sysTtyRoot, name))) continue;
        const std::string device = e.path().string();
        const auto link = byId.find(device);
        out.push_back({device, link == byId.end() ? std::string() : link->second});
    }
    std::sort(out.begin(), out.end(), portLess);
    return out;
}

std::string describeSerialPorts(const std::vector<SerialPortEntry>& ports) {
    if (ports.empty()) return "none";
    std::string s;
    for (const auto& p : ports) {
        if (!s.empty()) s += ", ";
        s += p.device;
        if (!p.byId.empty()) s += " (" + p.byId + ")";
    }
    return s;
}

}  // namespace platform
