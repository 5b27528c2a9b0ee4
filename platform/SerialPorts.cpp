// SPDX-License-Identifier: GPL-3.0-or-later
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

// A name of one of the serial classes, numbered: "ttyUSB0", not "ttySAC".
bool serialClassName(const std::string& name) {
    static const char* const kClasses[] = {"ttyUSB", "ttyACM", "ttyCH341USB", "ttyXRUSB", "ttyAMA", "ttySAC",
                                           "ttymxc", "ttyO",   "ttyTHS",      "ttyMSM",   "ttyHS",  "ttySC",
                                           "ttyLP",  "ttyMFD", "ttyPS",       "ttyUL",    "rfcomm", "ttyGS"};
    for (const char* c : kClasses) {
        const std::size_t n = std::char_traits<char>::length(c);
        if (name.size() > n && name.compare(0, n, c) == 0 &&
            name.find_first_not_of("0123456789", n) == std::string::npos)
            return true;
    }
    return false;
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The product name the USB device gives (a few levels above the tty's
// device) and the driver's name, where the system knows them.
std::string describeDevice(const std::string& sysTtyRoot, const std::string& name) {
    std::error_code ec;
    const fs::path device = fs::canonical(fs::path(sysTtyRoot) / name / "device", ec);
    if (ec) return {};
    std::string driver = fs::read_symlink(device / "driver", ec).filename().string();
    if (driver == "port") driver.clear();  // the kernel's generic serial port, no chip
    std::string product;
    fs::path up = device;
    for (int level = 0; level < 4 && product.empty() && up.has_parent_path(); ++level, up = up.parent_path())
        product = firstLine(up / "product");
    if (product.empty()) return driver;
    return driver.empty() ? product : product + " (" + driver + ")";
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
        const bool builtIn =
            startsWith(name, "ttyS") && name.size() > 4 && name.find_first_not_of("0123456789", 4) == std::string::npos;
        if (builtIn) {
            if (!builtInPortIsReal(sysTtyRoot, name)) continue;
        } else if (!serialClassName(name) &&
                   !(startsWith(name, "tty") && fs::exists(sysTtyRoot + "/" + name + "/device", ec))) {
            // Neither a serial class nor another tty with hardware behind it
            // (consoles and pseudo-terminals have none).
            continue;
        }
        const std::string device = e.path().string();
        const auto link = byId.find(device);
        std::string what = describeDevice(sysTtyRoot, name);
        // A paired Bluetooth adapter's serial link: no cable, no chip.
        if (startsWith(name, "rfcomm")) what = what.empty() ? "Bluetooth" : what + " — Bluetooth";
        out.push_back({device, link == byId.end() ? std::string() : link->second, what});
    }
    std::sort(out.begin(), out.end(), portLess);
    return out;
}

std::vector<SerialPortEntry> listSerialPorts() { return listSerialPorts("/dev", "/sys/class/tty"); }

}  // namespace platform
