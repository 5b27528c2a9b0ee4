// SPDX-License-Identifier: GPL-3.0-or-later
// The user's settings: keys named by absolute paths such as
// "\VELKOR\DIAGRAM\F1", each holding named 32-bit integer values. On Windows
// they are the registry's keys under HKEY_CURRENT_USER; elsewhere they are
// kept in one INI-style text file, as follows.
//
// The user's file is never lost: every change is written under a unique
// temporary name in the file's folder, flushed to the disk, and renamed over
// the file (through a symbolic link the target is replaced and the link kept,
// and the file keeps its mode). Changes are made under a lock on the folder,
// each on a fresh read of the file, so two running programs never undo or
// tear each other's writes. A write keeps the file's comments and the lines
// the program does not know.
//
// A file that cannot be read or is no settings file is left alone for the
// rest of the run, and so is a folder that cannot be written: the store then
// keeps its keys in memory and says why, once, through the problem report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class SettingsStore {
public:
    // $XDG_CONFIG_HOME/VELKOR.ini, else ~/.config/VELKOR.ini; on Windows
    // empty: the keys lie directly under HKEY_CURRENT_USER.
    static std::string defaultPath();

    // path: the file; on Windows the key under HKEY_CURRENT_USER that holds
    // the keys ("Software\\Tests\\1" keeps a test's keys apart).
    explicit SettingsStore(std::string path);

    enum class ReadStatus { Ok, MissingValue, NotAnInteger, MissingKey };
    struct Read {
        ReadStatus status;
        std::int32_t value;
        bool ok() const { return status == ReadStatus::Ok; }
    };

    // Called once, when the store stops using its file for this run.
    void setProblemReport(std::function<void(const std::string&)> report);
    // True once the store keeps its keys only in memory.
    bool inMemoryOnly() const { return memoryOnly_; }
    // Why, or empty.
    const std::string& problem() const { return problem_; }

    // Opens a key without creating it: true if it exists.
    bool keyExists(const std::string& key) const;
    // Opens a key, creating it if needed. False only if the key could not
    // be kept even in memory (never, in practice).
    bool createKey(const std::string& key);
    Read readInt(const std::string& key, const std::string& name) const;
    // Writes one value, creating its key if needed, in one replacement of
    // the file. False if the file could not be written (the value is then
    // kept in memory).
    bool writeInt(const std::string& key, const std::string& name, std::int32_t value);
    // A text value (one line); nothing if the key or value is missing.
    std::optional<std::string> readText(const std::string& key, const std::string& name) const;
    // False if the file could not be written, or the text holds a line break.
    bool writeText(const std::string& key, const std::string& name, const std::string& text);
    // Several values of one key in one replacement of the file.
    bool writeInts(const std::string& key, const std::vector<std::pair<std::string, std::int32_t>>& values);
    bool deleteKey(const std::string& key);

    const std::string& path() const { return path_; }
    // How many times the file has been replaced by this store.
    std::size_t replacements() const { return replacements_; }
    // A message for a failed read, as the error box shows it.
    static std::string describe(ReadStatus status, const std::string& key, const std::string& name) {
        switch (status) {
            case ReadStatus::MissingValue:
                return "Value \"" + name + "\" is missing in " + key;
            case ReadStatus::NotAnInteger:
                return "Value \"" + name + "\" in " + key + " is not an integer";
            case ReadStatus::MissingKey:
                return "Key " + key + " is missing";
            case ReadStatus::Ok:
                break;
        }
        return {};
    }

private:
#ifdef _WIN32
    // The registry key's full name under HKEY_CURRENT_USER.
    std::string keyName(const std::string& key) const;
    // Says once that a change could not be kept.
    void failed(const std::string& why);
#else
    using Values = std::map<std::string, std::string>;
    using Document = std::map<std::string, Values>;
    // raw: the file's text as read, for a write that keeps its other lines.
    Document load(std::string* raw = nullptr) const;
    // Applies change to the current document and stores it; false if it
    // could only be kept in memory.
    bool update(const std::function<bool(Document&)>& change);
    // Replaces target by doc under a unique temporary name; the caller holds
    // the lock on the folder (folderFd).
    bool writeFile(const std::string& text, const std::string& target, int folderFd, std::string& why);
    // Temporary files of writers killed mid-write, beside the file.
    void removeStaleTemporaries() const;
    void goMemoryOnly(Document doc, std::string why) const;
    mutable Document memory_;
#endif

    std::string path_;
    std::function<void(const std::string&)> report_;
    mutable bool memoryOnly_ = false;
    mutable std::string problem_;
    // While the folder's lock is held the problem report waits: it may show
    // a box, and another program would wait for the lock as long.
    mutable bool reportsHeld_ = false;
    mutable bool reportWaiting_ = false;
    std::size_t replacements_ = 0;
};

}  // namespace platform
