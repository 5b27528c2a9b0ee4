// SPDX-License-Identifier: GPL-3.0-or-later
// The COM ports Windows lists: every serial port driver enters its ports
// under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM as it starts them
// (a USB adapter's when it is plugged in), named by the driver's device. Each
// is described as the Device Manager names it ("USB Serial Port (COM3)",
// "USB-SERIAL CH340 (COM4)"): the friendly name of the Ports-class device
// whose "PortName" it is, with the Bluetooth ones marked; the driver's
// device name where the system gives none.
#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <map>

#include "platform/Cp1251.h"
#include "platform/SerialPorts.h"

namespace platform {
namespace {

// The Ports (COM & LPT) device class, {4D36E978-E325-11CE-BFC1-08002BE10318}.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::string utf8(const wchar_t* text) { return cp1251::fromWide(text); }

std::wstring property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which) {
    wchar_t text[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, which, &type, reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof(wchar_t), nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return text;
}

// "COM3" -> how the Device Manager names that port.
std::map<std::string, std::string> friendlyNames() {
    std::map<std::string, std::string> names;
    HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t port[64] = {};
        DWORD size = sizeof port - sizeof(wchar_t), type = 0;
        const bool named =
            RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        RegCloseKey(key);
        if (!named) continue;
        std::string name = utf8(property(set, device, SPDRP_FRIENDLYNAME).c_str());
        if (name.empty()) name = utf8(property(set, device, SPDRP_DEVICEDESC).c_str());
        if (name.empty()) continue;
        // A serial link over Bluetooth: a paired device, not a cable.
        if (property(set, device, SPDRP_ENUMERATOR_NAME) == L"BTHENUM") name += " — Bluetooth";
        names[utf8(port)] = name;
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

}  // namespace

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
    const std::map<std::string, std::string> names = friendlyNames();
    for (SerialPortEntry& p : out)
        if (const auto it = names.find(p.device); it != names.end()) p.what = it->second;
    // COM2 before COM10.
    std::sort(out.begin(), out.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return std::make_pair(a.device.size(), a.device) < std::make_pair(b.device.size(), b.device);
    });
    return out;
}

}  // namespace platform
