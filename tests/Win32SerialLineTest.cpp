// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 serial line's own checks that need no adapter.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/SerialPorts.h"
#include "platform/Win32SerialLine.h"

TEST(Win32SerialLine, PortNamesAndAMissingPortSaysWhy) {
    using platform::Win32SerialLine;
    EXPECT_EQ(Win32SerialLine::devicePath("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(Win32SerialLine::devicePath("com12"), "\\\\.\\COM12");
    EXPECT_EQ(Win32SerialLine::devicePath("COM256"), "\\\\.\\COM256");
    EXPECT_EQ(Win32SerialLine::devicePath("\\\\.\\COM3"), "\\\\.\\COM3");
    EXPECT_EQ(Win32SerialLine::devicePath("COMX"), "COMX");

    Win32SerialLine missing("COM199");
    EXPECT_FALSE(missing.open());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.failureReason().rfind("no such port", 0), 0u) << missing.failureReason();
    EXPECT_FALSE(missing.devicePresent());  // a reconnecting link waits for it
}

// Each listed port is a COM port the system names, described as the Device
// Manager does or by its driver's device: never a bare number.
TEST(Win32SerialLine, ThePortListNamesEachPortAndComTwoComesBeforeComTen) {
    const auto ports = platform::listSerialPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].device.rfind("COM", 0), 0u) << ports[i].device;
        EXPECT_FALSE(ports[i].what.empty()) << ports[i].device;
        if (i > 0) EXPECT_LE(ports[i - 1].device.size(), ports[i].device.size());
    }
    std::printf("[ ports    ] %s\n", platform::describeSerialPorts(ports).c_str());
    for (const auto& p : ports) std::printf("[ port     ] %s: %s\n", p.device.c_str(), p.what.c_str());
}
