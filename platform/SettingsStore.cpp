// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <signal.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace platform {
namespace {

// A settings file holds a few hundred bytes; anything this large is not one.
constexpr std::size_t kMaxFileSize = 1 << 20;
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

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

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What a write's temporary names in the target's folder begin with.
std::string temporaryPrefix(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string leaf = slash == std::string::npos ? target : target.substr(slash + 1);
    return folderOf(target) + "/." + leaf + ".tmp-";
}

// The file a write must replace: the target of a symbolic link (followed
// link by link, so that a link to a file not made yet still works).
std::string writeTarget(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
        if (n <= 0) return p;
        target.resize(static_cast<std::size_t>(n));
        p = target[0] == '/' ? target : folderOf(p) + "/" + target;
    }
    return p;
}

bool makeFolders(const std::string& folder, std::string& why) {
    for (auto p = folder.find('/', 1);; p = folder.find('/', p + 1)) {
        const std::string part = p == std::string::npos ? folder : folder.substr(0, p);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            why = folder + ": " + std::strerror(errno);
            return false;
        }
        if (p == std::string::npos) return true;
    }
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

enum class FileState { Missing, Ok, Unreadable, NotSettings };

// Reads the whole file, or says why it cannot be used.
FileState readWhole(const std::string& path, std::string& text, std::string& why) {
    // Non-blocking, so that a pipe in the file's place cannot hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return FileState::Missing;
        why = std::strerror(errno);
        return FileState::Unreadable;
    }
    struct stat st {};
    FileState state = FileState::Ok;
    if (::fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        state = FileState::Unreadable;
    } else if (S_ISDIR(st.st_mode)) {
        why = std::strerror(EISDIR);
        state = FileState::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        state = FileState::Unreadable;
    } else if (static_cast<std::size_t>(st.st_size) > kMaxFileSize) {
        why = "not a settings file (" + std::to_string(st.st_size) + " bytes)";
        state = FileState::NotSettings;
    }
    char buffer[4096];
    while (state == FileState::Ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            state = FileState::Unreadable;
        } else if (n == 0) {
            break;
        } else if (text.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
            why = "not a settings file (too large)";
            state = FileState::NotSettings;
        } else {
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return state;
}

// Parses the text; false if it is not a settings file (binary, or text
// without a single key section).
template <typename Document>
bool parse(std::string text, Document& doc, std::string& why) {
    if (text.compare(0, 3, kByteOrderMark) == 0) text.erase(0, 3);
    for (unsigned char c : text) {
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
            why = "not a settings file (binary data)";
            return false;
        }
    }
    std::istringstream in(text);
    std::string line;
    typename Document::mapped_type* section = nullptr;
    bool anyContent = false;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        anyContent = true;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = &doc[line.substr(1, line.size() - 2)];
            continue;
        }
        const auto eq = line.find('=');
        if (!section || eq == std::string::npos) continue;  // stray lines are ignored
        (*section)[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    // Keys are absolute paths: a file with content but no such key is
    // somebody else's.
    bool ours = false;
    for (const auto& entry : doc) ours = ours || (!entry.first.empty() && entry.first[0] == '\\');
    if (anyContent && !ours) {
        why = "not a settings file (none of its sections)";
        return false;
    }
    return true;
}

// The document written over the text it was read from: comments, blank
// lines and lines the program does not know stay where they were; a value
// is changed in its own line, a new value goes at the end of its section, a
// new section at the end of the file, and a deleted section goes whole.
template <typename Document>
std::string merge(const std::string& original, const Document& doc) {
    std::string out;
    std::string text = original;
    if (text.compare(0, 3, kByteOrderMark) == 0) {
        out += kByteOrderMark;
        text.erase(0, 3);
    }
    std::map<std::string, std::set<std::string>> written;  // section -> names written
    const typename Document::mapped_type* section = nullptr;
    std::string sectionName;
    bool dropping = false;     // inside a deleted section
    std::string pendingBlank;  // blank lines held back so that new values go before them
    auto closeSection = [&] {
        if (section) {
            auto& done = written[sectionName];
            for (const auto& [name, value] : *section)
                if (done.insert(name).second) out += name + '=' + value + '\n';
        }
        out += pendingBlank;
        pendingBlank.clear();
    };
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        const std::string line = trim(raw);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            closeSection();
            sectionName = line.substr(1, line.size() - 2);
            const auto k = doc.find(sectionName);
            section = k == doc.end() ? nullptr : &k->second;
            dropping = section == nullptr;
            if (!dropping) out += raw + '\n';
            continue;
        }
        if (dropping) continue;
        if (line.empty()) {
            pendingBlank += raw + '\n';
            continue;
        }
        out += pendingBlank;
        pendingBlank.clear();
        const auto eq = raw.find('=');
        if (section && eq != std::string::npos && line[0] != ';' && line[0] != '#') {
            const std::string name = trim(raw.substr(0, eq));
            const auto v = section->find(name);
            if (v == section->end() || !written[sectionName].insert(name).second) continue;  // gone, or repeated
            out += raw.substr(0, eq + 1) + v->second + '\n';
            continue;
        }
        out += raw + '\n';
    }
    closeSection();
    for (const auto& [key, values] : doc) {
        if (written.count(key)) continue;
        const bool endsBlank = out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0;
        if (!out.empty() && !endsBlank && out != kByteOrderMark) out += '\n';
        out += '[' + key + "]\n";
        for (const auto& [name, value] : values) out += name + '=' + value + '\n';
    }
    return out;
}

// An exclusive lock on the folder for one read-change-write, so that two
// programs' changes follow each other instead of crossing.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::string SettingsStore::defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/VELKOR.ini";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/VELKOR.ini";
}

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) { removeStaleTemporaries(); }

void SettingsStore::removeStaleTemporaries() const {
    // ".NAME.tmp-PID-N": left by a writer killed between making and renaming
    // it. Only those of programs no longer running go; one of a running
    // program may be about to become the file.
    const std::string target = writeTarget(path_);
    const std::string prefix = temporaryPrefix(target);
    const std::string folder = folderOf(target);
    const std::string leaf = prefix.substr(folder.size() + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, leaf.size(), leaf) != 0) continue;
        const std::string rest = name.substr(leaf.size());
        const auto dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || rest.find_first_not_of("0123456789-") != std::string::npos)
            continue;
        const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
        if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
            ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
}

void SettingsStore::setProblemReport(std::function<void(const std::string&)> report) { report_ = std::move(report); }

void SettingsStore::goMemoryOnly(Document doc, std::string why) const {
    memory_ = std::move(doc);
    if (memoryOnly_) return;
    memoryOnly_ = true;
    problem_ = std::move(why);
    if (reportsHeld_)
        reportWaiting_ = true;
    else if (report_)
        report_(problem_);
}

namespace {
const char kRunsOnBuiltIn[] = ". The program runs on the built-in settings and leaves the file as it is.";
const char kWorksUntilEnd[] = "). Presets and colours work until the program ends.";
}  // namespace

SettingsStore::Document SettingsStore::load(std::string* raw) const {
    if (memoryOnly_) return memory_;
    std::string text, why;
    Document doc;
    const FileState state = readWhole(path_, text, why);
    if (state == FileState::Missing) return doc;
    if (raw) *raw = text;
    if (state == FileState::Ok && parse(std::move(text), doc, why)) {
        memory_ = doc;  // what the run goes on with should the file fail later
        return doc;
    }
    const bool notOurs = state != FileState::Unreadable;
    goMemoryOnly(memory_,
                 "The settings file " + path_ + (notOurs ? " is " : " cannot be read: ") + why + kRunsOnBuiltIn);
    return memory_;
}

bool SettingsStore::writeFile(const std::string& text, const std::string& target, int folderFd, std::string& why) {
    const std::string folder = folderOf(target);
    // A file nobody may write was made so on purpose: it is not replaced.
    struct stat mode {};
    if (::stat(target.c_str(), &mode) == 0 && (mode.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        why = target + ": the file is read-only";
        return false;
    }
    // Unique in the folder, hidden, and made with the user's umask.
    static std::atomic<unsigned> counter{0};
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = temporaryPrefix(target) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        why = folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat old {};
    bool ok = true;
    if (::stat(target.c_str(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, text) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        why = target + ": " + std::strerror(err);
        return false;
    }
    ::fsync(folderFd);  // the rename itself reaches the disk
    ++replacements_;
    return true;
}

bool SettingsStore::update(const std::function<bool(Document&)>& change) {
    if (!memoryOnly_) {
        const std::string target = writeTarget(path_);
        const std::string folder = folderOf(target);
        std::string why;
        if (makeFolders(folder, why)) {
            // The report waits until the lock is released (destroyed after it).
            struct HeldReports {
                const SettingsStore& store;
                explicit HeldReports(const SettingsStore& s) : store(s) { store.reportsHeld_ = true; }
                ~HeldReports() {
                    store.reportsHeld_ = false;
                    if (std::exchange(store.reportWaiting_, false) && store.report_) store.report_(store.problem_);
                }
            } held(*this);
            // Read afresh under the folder's lock: another program may have
            // written since.
            FolderLock lock(folder);
            if (lock.fd() < 0) why = folder + ": " + std::strerror(errno);
            std::string original;
            Document doc = load(&original);
            if (lock.fd() >= 0 && !memoryOnly_) {
                if (!change(doc)) return true;  // nothing to write
                if (writeFile(merge(original, doc), target, lock.fd(), why)) {
                    memory_ = std::move(doc);
                    return true;
                }
            }
        }
        if (!memoryOnly_) goMemoryOnly(load(), "The settings cannot be saved (" + why + kWorksUntilEnd);
    }
    change(memory_);
    return false;
}

bool SettingsStore::keyExists(const std::string& key) const { return load().count(key) > 0; }

bool SettingsStore::createKey(const std::string& key) {
    update([&](Document& doc) { return doc.emplace(key, Values{}).second; });
    return true;  // the key exists now, on disk or in memory
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

std::optional<std::string> SettingsStore::readText(const std::string& key, const std::string& name) const {
    const Document doc = load();
    const auto k = doc.find(key);
    if (k == doc.end()) return std::nullopt;
    const auto v = k->second.find(name);
    if (v == k->second.end()) return std::nullopt;
    return v->second;
}

bool SettingsStore::writeText(const std::string& key, const std::string& name, const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos) return false;
    return update([&](Document& doc) {
        doc[key][name] = text;
        return true;
    });
}

bool SettingsStore::writeInt(const std::string& key, const std::string& name, std::int32_t value) {
    return writeInts(key, {{name, value}});
}

bool SettingsStore::writeInts(const std::string& key, const std::vector<std::pair<std::string, std::int32_t>>& values) {
    return update([&](Document& doc) {
        auto& section = doc[key];
        for (const auto& [name, value] : values) section[name] = std::to_string(value);
        return true;
    });
}

bool SettingsStore::deleteKey(const std::string& key) {
    bool existed = false;
    update([&](Document& doc) {
        existed = doc.erase(key) > 0;
        return existed;
    });
    return existed;
}

}  // namespace platform
