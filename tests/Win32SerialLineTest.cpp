// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 serial line's own checks that need no adapter.
#include <gtest/gtest.h>

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
