// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the link tests.
#pragma once

#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif
#include <array>
#include <chrono>
#include <cstdlib>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Cp1251.h"
#include "sim/AdapterCore.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline std::string u(const char* utf8) { return cp1251::fromUtf8(utf8); }

// An error-code reply as the link keeps it, with two codes: P0130 stored
// with the lamp on, and FEDC, which no table names.
inline std::array<std::uint8_t, 19> twoCodesReply() {
    std::array<std::uint8_t, 19> reply{};
    reply[12] = 2;
    reply[13] = 0x01;
    reply[14] = 0x30;
    reply[15] = 0xA0;
    reply[16] = 0xFE;
    reply[17] = 0xDC;
    return reply;
}

// The service bytes (from the fourth byte on, without the checksum) of the
// recorded request frames: "21 01" for 82 10 F1 21 01 A5.
inline std::vector<std::string> services(const std::vector<sim::RecordedFrame>& frames) {
    std::vector<std::string> out;
    for (const auto& f : frames) {
        std::string s;
        for (std::size_t i = 3; i + 1 < f.bytes.size(); ++i) {
            char b[4];
            std::snprintf(b, sizeof b, i == 3 ? "%02X" : " %02X", f.bytes[i]);
            s += b;
        }
        out.push_back(s);
    }
    return out;
}

inline std::string hex(const Bytes& bytes) {
    std::string s;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char b[4];
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

#ifndef _WIN32
// A fresh temporary folder, removed with everything in it when the test
// program ends.
inline std::string tempDir() {
    struct Folders {
        std::vector<std::string> made;
        ~Folders() {
            std::error_code ec;
            for (const auto& d : made) std::filesystem::remove_all(d, ec);
        }
    };
    static Folders folders;
    char tmpl[] = "/tmp/m797-test-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) return "/tmp";
    folders.made.push_back(dir);
    return dir;
}

// A settings file in a fresh temporary folder.
inline std::string tempSettingsPath() { return tempDir() + "/VELKOR.ini"; }

// Runs a shell command; its standard output and exit status (-1 if it did
// not exit).
struct CommandRun {
    std::string out;
    int status = -1;
};
inline CommandRun runCommand(const std::string& command) {
    CommandRun r;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

#else

// A fresh temporary folder (forward slashes), removed with everything in it
// when the test program ends.
inline std::string tempDir() {
    struct Folders {
        std::vector<std::filesystem::path> made;
        ~Folders() {
            std::error_code ec;
            for (const auto& d : made) std::filesystem::remove_all(d, ec);
        }
    };
    static Folders folders;
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    for (unsigned i = 0; i < 1000; ++i) {
        const std::filesystem::path p = base / ("m797-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                std::to_string(folders.made.size()) + "-" + std::to_string(i));
        if (std::filesystem::create_directory(p, ec)) {
            folders.made.push_back(p);
            return p.generic_string();
        }
    }
    return base.generic_string();
}

// A fresh key of the registry for a test's settings, removed with
// everything in it when the test program ends.
inline std::string tempSettingsPath() {
    struct Keys {
        std::vector<std::string> made;
        ~Keys() {
            for (const auto& k : made) RegDeleteTreeA(HKEY_CURRENT_USER, k.c_str());
        }
    };
    static Keys keys;
    const std::string key =
        "Software\\m797-tests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(keys.made.size() + 1);
    keys.made.push_back(key);
    return key;
}

#endif

// True in a sanitizer build (GCC and clang say so differently).
inline constexpr bool sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

// How much slower than a plain build this run goes: M797_TEST_SLOWDOWN
// (the sanitizer stages set it), 1 otherwise. Every wait for something that
// must happen is stretched by it; nothing that must not happen is.
inline int slowdown() {
    const char* s = std::getenv("M797_TEST_SLOWDOWN");
    const int n = s ? std::atoi(s) : 1;
    return n >= 1 ? n : 1;
}

// Reads an RFC 4180 table: fields split at commas, quoted fields with their
// doubled quotes, rows ended by CRLF. A row left unended is an error: false.
inline bool readCsv(const std::string& text, std::vector<std::vector<std::string>>& rows, char separator = ',') {
    rows.clear();
    std::vector<std::string> row(1);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                row.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                row.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            row.emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.push_back(row);
            row.assign(1, std::string());
            ++i;
        } else if (c == '\n' || c == '\r') {
            return false;  // a bare line end
        } else {
            row.back() += c;
        }
    }
    return !quoted && row.size() == 1 && row[0].empty();
}

// Polls cond every millisecond until it holds or the (stretched) time is up.
inline bool waitUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit * slowdown();
    while (std::chrono::steady_clock::now() < end) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return cond();
}

// A timing a busy machine can only make late, tried up to `tries` times:
// it holds when one try keeps every upper bound. A try returns what it
// missed ("" when nothing); what may never happen (an early end, a wrong
// count) it checks itself, in every try. The result is the last try's
// misses, so a failure says which bound was missed by how much.
inline std::string timelyInOneOf(int tries, const std::function<std::string()>& attempt) {
    std::string missed;
    for (int i = 0; i < tries; ++i) {
        missed = attempt();
        if (missed.empty()) break;
    }
    return missed;
}

// "what: took N ms, bound M ms; " when n exceeds the bound, "" otherwise.
inline std::string lateBy(const char* what, long long n, long long bound) {
    if (n <= bound) return std::string();
    return std::string(what) + ": " + std::to_string(n) + " ms, bound " + std::to_string(bound) + " ms; ";
}

}  // namespace testsupport
