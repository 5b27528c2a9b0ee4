#include "platform/SettingsStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>


namespace platform {
namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::optional<std::int32_t> parseInt(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::string SettingsStore::defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/VELKOR.ini";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/VELKOR.ini";
}

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

SettingsStore::Document SettingsStore::load() const {
    Document doc;
    std::ifstream in(path_);
    std::string line;
    Values* section = nullptr;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = &doc[line.substr(1, line.size() - 2)];
            continue;
        }
        const auto eq = line.find('=');
        if (!section || eq == std::string::npos) continue;  // stray lines are ignored
        (*section)[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return doc;
}

bool SettingsStore::save(const Document& doc) const {
    // Create the folders on the way, as mkdir -p does.
    for (auto p = path_.find('/', 1); p != std::string::npos; p = path_.find('/', p + 1))
        (void)::mkdir(path_.substr(0, p).c_str(), 0700);
    const std::string tmp = path_ + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out) return false;
        for (const auto& [key, values] : doc) {
            out << '[' << key << "]\n";
            for (const auto& [name, value] : values) out << name << '=' << value << '\n';
            out << '\n';
        }
        out.flush();
        if (!out) return false;
    }
    if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool SettingsStore::keyExists(const std::string& key) const { return load().count(key) > 0; }

bool SettingsStore::createKey(const std::string& key) {
    Document doc = load();
    if (doc.count(key)) return true;
    doc[key];
    return save(doc);
}

SettingsStore::Read SettingsStore::readInt(const std::string& key, const std::string& name) const {
    const Document doc = load();
    const auto k = doc.find(key);
    if (k == doc.end()) return {ReadStatus::MissingKey, 0};
    const auto v = k->second.find(name);
    if (v == k->second.end()) return {ReadStatus::MissingValue, 0};
    const auto parsed = parseInt(v->second);
    if (!parsed) return {ReadStatus::NotAnInteger, 0};
    return {ReadStatus::Ok, *parsed};
}

bool SettingsStore::writeInt(const std::string& key, const std::string& name, std::int32_t value) {
    Document doc = load();
    doc[key][name] = std::to_string(value);
    return save(doc);
}

bool SettingsStore::writeInts(const std::string& key,
                              const std::vector<std::pair<std::string, std::int32_t>>& values) {
    Document doc = load();
    auto& section = doc[key];
    for (const auto& [name, value] : values) section[name] = std::to_string(value);
    return save(doc);
}

bool SettingsStore::deleteKey(const std::string& key) {
    Document doc = load();
    if (!doc.erase(key)) return false;
    return save(doc);
}

std::string SettingsStore::describe(ReadStatus status, const std::string& key, const std::string& name) {
    switch (status) {
    case ReadStatus::MissingValue: return "Value \"" + name + "\" is missing in " + key;
    case ReadStatus::NotAnInteger: return "Value \"" + name + "\" in " + key + " is not an integer";
    case ReadStatus::MissingKey: return "Key " + key + " is missing";
    case ReadStatus::Ok: break;
    }
    return {};
}

}  // namespace platform
