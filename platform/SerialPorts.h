// The serial ports present on this machine, for choosing one and for saying
// which ones exist when the one asked for does not.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct SerialPortEntry {
    std::string device;  // "/dev/ttyUSB0"
    std::string byId;    // "/dev/serial/by-id/usb-FTDI_...-port0", or empty
};

// Built-in ports with a UART behind them (ttyS*), USB adapters (ttyUSB*,
// ttyACM*), each with its stable by-id name where udev made one. The roots
// are for the tests.
std::vector<SerialPortEntry> listSerialPorts(const std::string& devRoot = "/dev",
                                             const std::string& sysTtyRoot = "/sys/class/tty");

// "/dev/ttyUSB0 (/dev/serial/by-id/...), /dev/ttyS0", or "none".
std::string describeSerialPorts(const std::vector<SerialPortEntry>& ports);

}  // namespace platform
