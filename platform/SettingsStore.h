// The stand-in for the user's registry: keys named by absolute paths such as
// "\VELKOR\DIAGRAM\F1", each holding named 32-bit integer values. Kept in one
// INI-style text file; every change is written to a temporary file that then
// replaces the old one, so a crash never leaves a torn file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class SettingsStore {
public:
    // $XDG_CONFIG_HOME/VELKOR.ini, else ~/.config/VELKOR.ini.
    static std::string defaultPath();

    explicit SettingsStore(std::string path);

    enum class ReadStatus { Ok, MissingValue, NotAnInteger, MissingKey };
    struct Read {
        ReadStatus status;
        std::int32_t value;
        bool ok() const { return status == ReadStatus::Ok; }
    };

    // Opens a key without creating it: true if it exists.
    bool keyExists(const std::string& key) const;
    // Opens a key, creating it if needed; false if the file cannot be written.
    bool createKey(const std::string& key);
    Read readInt(const std::string& key, const std::string& name) const;
    // False if the file cannot be written.
    bool writeInt(const std::string& key, const std::string& name, std::int32_t value);
    // Several values of one key in one replacement of the file.
    bool writeInts(const std::string& key, const std::vector<std::pair<std::string, std::int32_t>>& values);
    bool deleteKey(const std::string& key);

    const std::string& path() const { return path_; }
    // A message for a failed read, as the error box shows it.
    static std::string describe(ReadStatus status, const std::string& key, const std::string& name);

private:
    using Values = std::map<std::string, std::string>;
    using Document = std::map<std::string, Values>;
    Document load() const;
    bool save(const Document& doc) const;

    std::string path_;
};

}  // namespace platform
