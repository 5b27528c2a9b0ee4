// SPDX-License-Identifier: GPL-3.0-or-later
// The COM ports Windows lists: every serial port driver enters its ports
// under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM as it starts them
// (a USB adapter's when it is plugged in), named by the driver's device.
#include <windows.h>

#include <algorithm>

#include "platform/SerialPorts.h"

namespace platform {

std::vector<SerialPortEntry> listSerialPorts() {
    std::vector<SerialPortEntry> out;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        char name[256];
        char data[64];
        DWORD nameSize = sizeof name;
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG rc =
            RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataSize] = '\0';
        out.push_back({data, {}, name});
    }
    RegCloseKey(key);
    // COM2 before COM10.
    std::sort(out.begin(), out.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return std::make_pair(a.device.size(), a.device) < std::make_pair(b.device.size(), b.device);
    });
    return out;
}

}  // namespace platform
