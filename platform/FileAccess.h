// SPDX-License-Identifier: GPL-3.0-or-later
// Files named by the user, on both systems: names are UTF-8 (on Windows
// they go through the wide calls, so a Cyrillic name works whatever the
// ANSI code page), and a file being read can be given up at any moment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// fopen with a UTF-8 name; nothing (errno set) when it fails.
std::FILE* openFile(const std::string& utf8Path, const char* mode);

// Puts the file from in the place of the file to (UTF-8 names, one
// folder), at once: a reader finds the old one or the new one, whole.
bool replaceFile(const std::string& from, const std::string& to);
// Removes a file; false when it cannot.
bool removeFile(const std::string& utf8Path);

// Cuts a regular file back to size bytes (a UTF-8 name); false where it
// cannot (a device, say: nothing to cut).
bool truncateFile(const std::string& utf8Path, std::uint64_t size);

// Reads a file piece by piece without ever blocking for long: a pipe with no
// writer yet, a terminal or a slow disk is waited for in short steps, and
// the wait ends as soon as stopAsked says so.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // False with the reason ("No such file or directory", "a directory").
    bool open(const std::string& utf8Path, std::string& error);

    enum class Result { Data, End, Stopped, Failed };
    // Up to size bytes into buffer; count set with Data.
    Result read(char* buffer, std::size_t size, std::size_t& count, const std::function<bool()>& stopAsked,
                std::string& error);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
    bool waits_ = false;  // a pipe or a device: waited for by poll
#endif
};

// The program's arguments as UTF-8 (on Windows read again from the wide
// command line: the narrow one has lost what the ANSI code page lacks).
std::vector<std::string> utf8Arguments(int argc, char** argv);

// The file a path names once its links are followed; the path itself when
// it names nothing (or on Windows, where ports have no links).
std::string resolvedPath(const std::string& path);

// A file's name as seen from any folder (UTF-8): the current folder's name
// put before a relative one.
std::string absolutePath(const std::string& utf8Path);

// The folder of the running program (UTF-8), or empty when unknown.
std::string executableDir();
// Whether a regular file of that UTF-8 name exists.
bool fileExists(const std::string& utf8Path);
// Whether two UTF-8 names name one existing file (however spelled, or
// through links).
bool sameFile(const std::string& a, const std::string& b);
// Whether a folder of that UTF-8 name exists.
bool isFolder(const std::string& utf8Path);

// The folder the programs keep their data in (UTF-8), without a trailing
// separator: $XDG_DATA_HOME/m797-tester (by default
// ~/.local/share/m797-tester), or %LOCALAPPDATA%\M797 Tester. Not made here.
std::string programDataFolder();
// Makes a folder and those above it that are missing; false with errno set
// when one cannot be made.
bool makeFolders(const std::string& utf8Path);

// Starts a program (UTF-8 path and arguments) on its own, not waited for:
// it outlives this one. False with why when it could not be started.
bool startProgram(const std::string& utf8Path, const std::vector<std::string>& args, std::string& why);
// This program's file (UTF-8), or empty when unknown.
std::string executablePath();

// This program's process number, and whether a process of that number runs.
long processId();
bool processRunning(long pid);
// When a running process began, in ms since 1970 (to about a second);
// nothing when unknown. A number given again to another program (after the
// first ended, or after a restart of the system) tells by a later start.
std::optional<std::int64_t> processStartMs(long pid);
// When a file was last written, in ms since 1970; nothing when it is not there.
std::optional<std::int64_t> fileModifiedMs(const std::string& utf8Path);

}  // namespace platform
