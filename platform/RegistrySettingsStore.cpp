// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store on Windows: the registry's keys under HKEY_CURRENT_USER,
// named as the program names them ("\VELKOR\DIAGRAM\F1"), each value a DWORD
// (or a string for a text). The registry keeps each value whole by itself, so
// nothing here needs the file store's care; a change that cannot be made is
// said once through the problem report.
#include <windows.h>

#include <algorithm>

#include "platform/SettingsStore.h"

namespace platform {

namespace {

// Opens a key for reading; nothing when it does not exist.
HKEY openKey(const std::string& name, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

HKEY createKeyNamed(const std::string& name) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

std::string errorText(LONG code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code), 0,
                   text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s.empty() ? "error " + std::to_string(code) : s;
}

}  // namespace

std::string SettingsStore::defaultPath() { return {}; }

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

void SettingsStore::setProblemReport(std::function<void(const std::string&)> report) { report_ = std::move(report); }

std::string SettingsStore::keyName(const std::string& key) const {
    std::string name = path_;
    std::string rest = key;
    while (!rest.empty() && rest.front() == '\\') rest.erase(rest.begin());
    if (!name.empty() && !rest.empty()) name += '\\';
    return name + rest;
}

void SettingsStore::failed(const std::string& why) {
    if (!problem_.empty()) return;
    problem_ = why;
    if (report_) report_(why);
}

bool SettingsStore::keyExists(const std::string& key) const {
    HKEY k = openKey(keyName(key), KEY_READ);
    if (!k) return false;
    RegCloseKey(k);
    return true;
}

bool SettingsStore::createKey(const std::string& key) {
    HKEY k = createKeyNamed(keyName(key));
    if (!k) {
        failed("The settings key " + key + " cannot be made in the registry");
        return false;
    }
    RegCloseKey(k);
    return true;
}

SettingsStore::Read SettingsStore::readInt(const std::string& key, const std::string& name) const {
    HKEY k = openKey(keyName(key), KEY_READ);
    if (!k) return {ReadStatus::MissingKey, 0};
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG rc = RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(k);
    if (rc == ERROR_FILE_NOT_FOUND) return {ReadStatus::MissingValue, 0};
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return {ReadStatus::NotAnInteger, 0};
    return {ReadStatus::Ok, static_cast<std::int32_t>(value)};
}

std::optional<std::string> SettingsStore::readText(const std::string& key, const std::string& name) const {
    HKEY k = openKey(keyName(key), KEY_READ);
    if (!k) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> result;
    if (RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        std::string text(size, '\0');
        if (RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) ==
            ERROR_SUCCESS) {
            text.resize(std::min<std::size_t>(size, text.size()));
            while (!text.empty() && text.back() == '\0') text.pop_back();
            result = text;
        }
    }
    RegCloseKey(k);
    return result;
}

bool SettingsStore::writeText(const std::string& key, const std::string& name, const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos) return false;
    HKEY k = createKeyNamed(keyName(key));
    LONG rc = ERROR_ACCESS_DENIED;
    if (k) {
        rc = RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
        RegCloseKey(k);
    }
    if (rc != ERROR_SUCCESS) {
        failed("The settings cannot be written to the registry (" + key + "): " + errorText(rc));
        return false;
    }
    ++replacements_;
    return true;
}

bool SettingsStore::writeInt(const std::string& key, const std::string& name, std::int32_t value) {
    return writeInts(key, {{name, value}});
}

bool SettingsStore::writeInts(const std::string& key, const std::vector<std::pair<std::string, std::int32_t>>& values) {
    HKEY k = createKeyNamed(keyName(key));
    LONG rc = k ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    for (const auto& [name, value] : values) {
        if (rc != ERROR_SUCCESS) break;
        const DWORD dword = static_cast<DWORD>(value);
        rc = RegSetValueExA(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword);
    }
    if (k) RegCloseKey(k);
    if (rc != ERROR_SUCCESS) {
        failed("The settings cannot be written to the registry (" + key + "): " + errorText(rc));
        return false;
    }
    ++replacements_;
    return true;
}

bool SettingsStore::deleteKey(const std::string& key) {
    if (!keyExists(key)) return false;
    const LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, keyName(key).c_str());
    if (rc != ERROR_SUCCESS) {
        failed("The settings key " + key + " cannot be removed from the registry: " + errorText(rc));
        return false;
    }
    ++replacements_;
    return true;
}

}  // namespace platform
