// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileAccess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/Cp1251.h"

namespace platform {

#ifdef _WIN32

namespace {
std::wstring wide(const std::string& utf8) { return cp1251::toWide(utf8); }

std::string windowsError(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::strerror(ENOENT);
        case ERROR_ACCESS_DENIED:
            return std::strerror(EACCES);
        default:
            return "Windows error " + std::to_string(code);
    }
}
}  // namespace

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
    return _wfopen(wide(utf8Path).c_str(), wide(mode).c_str());
}

bool replaceFile(const std::string& from, const std::string& to) {
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::string& utf8Path) { return DeleteFileW(wide(utf8Path).c_str()) != 0; }

bool truncateFile(const std::string& utf8Path, std::uint64_t size) {
    const HANDLE h = CreateFileW(wide(utf8Path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    const bool ok = GetFileType(h) == FILE_TYPE_DISK && SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int n = 0;
    LPWSTR* wideArgs = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wideArgs || n != argc) {
        if (wideArgs) LocalFree(wideArgs);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(cp1251::fromWide(wideArgs[i]));
    LocalFree(wideArgs);
    return out;
}

FileReader::~FileReader() {
    if (handle_) CloseHandle(handle_);
}

bool FileReader::open(const std::string& utf8Path, std::string& error) {
    const DWORD attributes = GetFileAttributesW(wide(utf8Path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "a folder, not a file";
        return false;
    }
    HANDLE h = CreateFileW(wide(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = windowsError(GetLastError());
        return false;
    }
    handle_ = h;
    return true;
}

FileReader::Result FileReader::read(char* buffer, std::size_t size, std::size_t& count,
                                    const std::function<bool()>& stopAsked, std::string& error) {
    if (stopAsked && stopAsked()) return Result::Stopped;
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &got, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return Result::End;
        error = windowsError(code);
        return Result::Failed;
    }
    if (got == 0) return Result::End;
    count = got;
    return Result::Data;
}

#else

std::FILE* openFile(const std::string& utf8Path, const char* mode) { return std::fopen(utf8Path.c_str(), mode); }

bool replaceFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const std::string& utf8Path) { return ::unlink(utf8Path.c_str()) == 0; }

bool truncateFile(const std::string& utf8Path, std::uint64_t size) {
    struct stat st {};
    if (::stat(utf8Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ::truncate(utf8Path.c_str(), static_cast<off_t>(size)) == 0;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileReader::open(const std::string& utf8Path, std::string& error) {
    // Non-blocking: opening a pipe that no program writes to yet returns at
    // once instead of waiting, unstoppably, for a writer.
    fd_ = ::open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "a folder, not a file";
        return false;
    }
    waits_ = !S_ISREG(st.st_mode);
    return true;
}

FileReader::Result FileReader::read(char* buffer, std::size_t size, std::size_t& count,
                                    const std::function<bool()>& stopAsked, std::string& error) {
    for (;;) {
        if (stopAsked && stopAsked()) return Result::Stopped;
        if (waits_) {
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, 100);
            if (ready < 0 && errno != EINTR) {
                error = std::strerror(errno);
                return Result::Failed;
            }
            if (ready <= 0) continue;
        }
        const ssize_t n = ::read(fd_, buffer, size);
        if (n > 0) {
            count = static_cast<std::size_t>(n);
            return Result::Data;
        }
        if (n == 0) return Result::End;
        if (errno == EINTR || errno == EAGAIN) continue;
        error = std::strerror(errno);
        return Result::Failed;
    }
}

#endif

std::string resolvedPath(const std::string& path) {
#ifdef _WIN32
    return path;  // COM ports have no links to follow
#else
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string result = real;
    std::free(real);
    return result;
#endif
}

std::string absolutePath(const std::string& utf8Path) {
    if (utf8Path.empty()) return utf8Path;
#ifdef _WIN32
    const std::wstring w = wide(utf8Path);
    const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return utf8Path;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return utf8Path;
    full.resize(got);
    return cp1251::fromWide(full);
#else
    if (utf8Path[0] == '/') return utf8Path;
    char here[4096];
    if (!::getcwd(here, sizeof here)) return utf8Path;
    return std::string(here) + "/" + (utf8Path.compare(0, 2, "./") == 0 ? utf8Path.substr(2) : utf8Path);
#endif
}

std::string executableDir() {
#ifdef _WIN32
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (n == 0 || n >= std::size(path)) return {};
    std::wstring w(path, n);
    w.erase(w.find_last_of(L"\\/") == std::wstring::npos ? 0 : w.find_last_of(L"\\/"));
    return cp1251::fromWide(w);
#else
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string p(path, static_cast<std::size_t>(n));
    const std::size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
#endif
}

bool sameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
    const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool got = GetFileInformationByHandle(h, &info) != 0;
        CloseHandle(h);
        return got;
    };
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return identity(a, x) && identity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
#else
    struct stat x {
    }, y{};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
#endif
}

bool fileExists(const std::string& utf8Path) {
#ifdef _WIN32
    const DWORD a = GetFileAttributesW(wide(utf8Path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st {};
    return ::stat(utf8Path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
#endif
}

bool isFolder(const std::string& utf8Path) {
#ifdef _WIN32
    const DWORD a = GetFileAttributesW(wide(utf8Path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st {};
    return ::stat(utf8Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

std::string programDataFolder() {
#ifdef _WIN32
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (!local || !*local) return {};
    return cp1251::fromWide(local) + "\\M797 Tester";
#else
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/m797-tester";  // a relative one is to be ignored
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/m797-tester";
#endif
}

bool makeFolders(const std::string& utf8Path) {
    if (utf8Path.empty()) {
        errno = ENOENT;
        return false;
    }
    for (std::size_t at = 1; at <= utf8Path.size(); ++at) {
        if (at < utf8Path.size() && utf8Path[at] != '/' && utf8Path[at] != '\\') continue;
        const std::string part = utf8Path.substr(0, at);
#ifdef _WIN32
        if (part.size() == 2 && part[1] == ':') continue;  // a drive
        const std::wstring w = wide(part);
        if (CreateDirectoryW(w.c_str(), nullptr)) continue;
        const DWORD code = GetLastError();
        const DWORD a = GetFileAttributesW(w.c_str());
        if (code == ERROR_ALREADY_EXISTS && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) continue;
        errno = code == ERROR_ACCESS_DENIED ? EACCES : (code == ERROR_ALREADY_EXISTS ? ENOTDIR : ENOENT);
        return false;
#else
        if (::mkdir(part.c_str(), 0755) == 0) continue;
        struct stat st {};
        if (errno == EEXIST && ::stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        if (errno == EEXIST) errno = ENOTDIR;
        return false;
#endif
    }
    return true;
}

std::string executablePath() {
    const std::string dir = executableDir();
    if (dir.empty()) return {};
#ifdef _WIN32
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (n == 0 || n >= std::size(path)) return {};
    return cp1251::fromWide(std::wstring_view(path, n));
#else
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
#endif
}

bool startProgram(const std::string& utf8Path, const std::vector<std::string>& args, std::string& why) {
#ifdef _WIN32
    // The command line as the program's C runtime splits it: each argument
    // quoted, its quotes and the backslashes before them escaped.
    const auto quoted = [](const std::string& a) {
        std::string q = "\"";
        std::size_t slashes = 0;
        for (char c : a) {
            if (c == '\\') {
                ++slashes;
            } else {
                q.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
                slashes = 0;
            }
            q += c;
        }
        q.append(slashes, '\\');
        return q + "\"";
    };
    std::string line = quoted(utf8Path);
    for (const std::string& a : args) line += " " + quoted(a);
    std::wstring wline = wide(line);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(wide(utf8Path).c_str(), wline.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        why = utf8Path + ": " + windowsError(GetLastError());
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
#else
    // Everything the new program needs is made before the fork: the child
    // of a program with threads may only call what is safe after one. The
    // middle process ends at once, so the program is nobody's child here.
    std::vector<std::string> all{utf8Path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        why = utf8Path + ": " + std::strerror(errno);
        return false;
    }
    const pid_t middle = ::fork();
    if (middle < 0) {
        why = utf8Path + ": " + std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (middle == 0) {
        ::close(pipeFds[0]);
        ::setsid();
        const pid_t program = ::fork();
        if (program == 0) {
            ::execv(argv[0], argv.data());
            const int error = errno;  // exec failed: its reason goes back through the pipe
            (void)!::write(pipeFds[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(program < 0 ? 1 : 0);
    }
    ::close(pipeFds[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(pipeFds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(pipeFds[0]);
    if (got == static_cast<ssize_t>(sizeof error)) {
        why = utf8Path + ": " + std::strerror(error);
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        why = utf8Path + ": the program could not be started";
        return false;
    }
    return true;
#endif
}

long processId() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(::getpid());
#endif
}

bool processRunning(long pid) {
    if (pid <= 0) return false;
#ifdef _WIN32
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;  // another user's: it runs
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
#else
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    // A process killed whose parent has not yet collected it still answers:
    // its state in /proc says it is a zombie ("Z") or dead ("X").
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%ld/stat", pid);
    std::FILE* f = std::fopen(name, "r");
    if (!f) return true;
    char stat[512];
    const std::size_t n = std::fread(stat, 1, sizeof stat - 1, f);
    std::fclose(f);
    stat[n] = '\0';
    const char* end = std::strrchr(stat, ')');
    return !(end && end[1] == ' ' && (end[2] == 'Z' || end[2] == 'X'));
#endif
}

#ifdef _WIN32
namespace {
// A file time (100 ns since 1601) in ms since 1970.
std::int64_t unixMsOf(const FILETIME& t) {
    const std::uint64_t ticks = (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000) - 11644473600000LL;
}
}  // namespace
#endif

std::optional<std::int64_t> processStartMs(long pid) {
    if (pid <= 0) return std::nullopt;
#ifdef _WIN32
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h) return std::nullopt;
    FILETIME created{}, exited{}, kernel{}, user{};
    const bool ok = GetProcessTimes(h, &created, &exited, &kernel, &user);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return unixMsOf(created);
#else
    // The start in clock ticks after the system's boot (the stat line's
    // 22nd field), and the boot in seconds since 1970 (/proc/stat's btime).
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%ld/stat", pid);
    std::FILE* f = std::fopen(name, "r");
    if (!f) return std::nullopt;
    char stat[1024];
    const std::size_t n = std::fread(stat, 1, sizeof stat - 1, f);
    std::fclose(f);
    stat[n] = '\0';
    const char* p = std::strrchr(stat, ')');
    if (!p) return std::nullopt;
    unsigned long long ticks = 0;
    for (int field = 2; field < 22 && p; ++field) p = std::strchr(p + 1, ' ');
    if (!p || std::sscanf(p + 1, "%llu", &ticks) != 1) return std::nullopt;
    std::FILE* s = std::fopen("/proc/stat", "r");
    if (!s) return std::nullopt;
    long long boot = -1;
    char line[256];
    while (boot < 0 && std::fgets(line, sizeof line, s))
        if (std::sscanf(line, "btime %lld", &boot) != 1) boot = -1;
    std::fclose(s);
    const long hz = ::sysconf(_SC_CLK_TCK);
    if (boot < 0 || hz <= 0) return std::nullopt;
    return boot * 1000 + static_cast<std::int64_t>(ticks * 1000 / static_cast<unsigned long long>(hz));
#endif
}

std::optional<std::int64_t> fileModifiedMs(const std::string& utf8Path) {
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(wide(utf8Path).c_str(), GetFileExInfoStandard, &a)) return std::nullopt;
    return unixMsOf(a.ftLastWriteTime);
#else
    struct stat st {};
    if (::stat(utf8Path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
#endif
}

}  // namespace platform
