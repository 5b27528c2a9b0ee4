// SPDX-License-Identifier: GPL-3.0-or-later
// The serial ports present on this machine, for choosing one and for saying
// which ones exist when the one asked for does not.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct SerialPortEntry {
    std::string device;  // "/dev/ttyUSB0"
    std::string byId;    // "/dev/serial/by-id/usb-FTDI_...-port0", or empty
    std::string what;    // "FT232R USB UART (ftdi_sio)": product and driver, as far as known
    bool operator==(const SerialPortEntry&) const = default;
};

// Every serial device the kernel offers: built-in ports with a UART behind
// them (ttyS*), USB adapters (ttyUSB*, ttyACM*, ttyCH341USB*, ttyXRUSB*), SoC
// UARTs (ttyAMA*, ttySAC*, ttymxc*, ...), Bluetooth serial links (rfcomm*),
// and any other tty with a device behind it; each with its stable by-id name
// where udev made one. The roots are for the tests.
std::vector<SerialPortEntry> listSerialPorts(const std::string& devRoot, const std::string& sysTtyRoot);

// On Windows: the COM ports the system lists (HARDWARE\DEVICEMAP\SERIALCOMM),
// each as the Device Manager names it ("USB Serial Port (COM3)", a Bluetooth
// link marked so), else with the driver's device name ("\Device\VCP0").
std::vector<SerialPortEntry> listSerialPorts();

// "/dev/ttyUSB0 (/dev/serial/by-id/...), /dev/ttyS0", or "none".
inline std::string describeSerialPorts(const std::vector<SerialPortEntry>& ports) {
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
