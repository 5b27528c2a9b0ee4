// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: never lost, never torn, never written when it is not ours.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "logic/StoredSettings.h"

namespace fs = std::filesystem;

namespace {

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/m797-store-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~Folder() {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    std::string file(const std::string& name) const { return dir + "/" + name; }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    std::string dir;
};

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

struct Started {
    explicit Started(const std::string& path) : store(path) {
        store.setProblemReport([this](const std::string& p) { problems.push_back(p); });
        stored::loadStoredSettings(store, chart, colours, [this](const std::string& e) { errors.push_back(e); });
    }
    platform::SettingsStore store;
    stored::ChartParameters chart{};
    display::ColourScheme colours{};
    std::vector<std::string> problems, errors;
};

}  // namespace

TEST(SettingsStore, AFileThatIsUnreadableOrNotOursIsReportedAndNeverWritten) {
    Folder f;
    std::string binary(3 << 20, '\0');
    std::mt19937 random(7);
    for (char& c : binary) c = static_cast<char>(random());
    write(f.file("binary.ini"), binary);
    write(f.file("letter.ini"), "Dear colleague,\nthe car is ready.\n[Greetings]\nname=Ivan\n");
    write(f.file("small-binary.ini"), std::string("[\\VELKOR\\DIAGRAM\\F]\n\x01\x02", 22));
    fs::create_directory(f.file("folder.ini"));
    ASSERT_EQ(::mkfifo(f.file("pipe.ini").c_str(), 0644), 0);
    ::chmod(f.file("letter.ini").c_str(), 0640);
    const std::vector<std::pair<std::string, std::string>> cases = {{"binary.ini", "not a settings file"},
                                                                    {"letter.ini", "none of its sections"},
                                                                    {"small-binary.ini", "binary"},
                                                                    {"folder.ini", "Is a directory"},
                                                                    {"pipe.ini", "not a regular file"}};
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        const std::string path = f.file(name);
        const std::string before = fs::is_regular_file(path) ? contents(path) : "";
        Started s(path);
        ASSERT_EQ(s.problems.size(), 1u);
        EXPECT_NE(s.problems[0].find(path), std::string::npos);
        EXPECT_NE(s.problems[0].find(reason), std::string::npos) << s.problems[0];
        EXPECT_TRUE(s.errors.empty());
        // The program runs on the built-in settings.
        EXPECT_EQ(s.chart, (stored::ChartParameters{2, 3, 4, 5, 6}));
        EXPECT_EQ(s.colours, display::ColourScheme::builtIn());
        s.store.writeInt(stored::setKey(2), "diagram_1", 9);
        stored::saveColourScheme(s.store, s.colours);
        EXPECT_EQ(s.store.readInt(stored::setKey(2), "diagram_1").value, 9);
        EXPECT_EQ(s.store.replacements(), 0u);
        EXPECT_EQ(s.problems.size(), 1u);
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(contents(path), before);
        }
    }
    EXPECT_EQ(fs::status(f.file("letter.ini")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(fs::is_directory(f.file("folder.ini")));
    EXPECT_TRUE(fs::is_fifo(f.file("pipe.ini")));
    if (::geteuid() != 0) {  // root reads any file: the permission case needs a user
        write(f.file("locked.ini"), "[\\VELKOR\\DIAGRAM\\F]\ndiagram_ok=1\n");
        ::chmod(f.file("locked.ini").c_str(), 0);
        Started s(f.file("locked.ini"));
        ASSERT_EQ(s.problems.size(), 1u);
        EXPECT_NE(s.problems[0].find("Permission denied"), std::string::npos);
    }
}

TEST(SettingsStore, AByteOrderMarkKeepsThePresets) {
    Folder f;
    write(f.file("VELKOR.ini"),
          "\xEF\xBB\xBF[\\VELKOR\\DIAGRAM\\F]\r\ndiagram_ok=1\r\n[\\VELKOR\\DIAGRAM\\F1]\r\n"
          "diagram_1=55\r\ndiagram_2=1\r\ndiagram_3=2\r\ndiagram_4=3\r\ndiagram_5=77\r\n");
    Started s(f.file("VELKOR.ini"));
    EXPECT_TRUE(s.problems.empty());
    EXPECT_EQ(s.chart, (stored::ChartParameters{56, 2, 3, 4, 78}));
    EXPECT_EQ(s.store.replacements(), 0u);  // nothing was reset
}

TEST(SettingsStore, WritesKeepTheLinkTheModeAndLeaveNoTemporaryFile) {
    Folder f;
    fs::create_directory(f.file("real"));
    const std::string target = f.file("real/VELKOR.ini");
    write(target, "[\\VELKOR\\DIAGRAM\\F]\ndiagram_ok=1\n");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink("real/VELKOR.ini", f.file("VELKOR.ini"));

    Started s(f.file("VELKOR.ini"));
    EXPECT_TRUE(s.problems.empty());
    // A missing key and its value: one replacement of the file.
    ASSERT_TRUE(s.store.writeInt(stored::setKey(3), "diagram_2", 40));
    EXPECT_EQ(s.store.replacements(), 1u);
    stored::saveColourScheme(s.store, s.colours);
    EXPECT_EQ(s.store.replacements(), 2u);

    EXPECT_TRUE(fs::is_symlink(f.file("VELKOR.ini")));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_NE(contents(target).find("diagram_2=40"), std::string::npos);
    EXPECT_EQ(f.names(), (std::vector<std::string>{"VELKOR.ini", "real"}));
    EXPECT_EQ(fs::directory_iterator(f.file("real"))->path().filename(), "VELKOR.ini");

    // A first start writes the twelve sets and the marker, each key with its
    // values in one replacement.
    Started fresh(f.file("fresh/VELKOR.ini"));
    EXPECT_EQ(fresh.store.replacements(), 13u);
}

TEST(SettingsStore, AFailedWriteLeavesTheFileAndNoTemporaryBehind) {
    Folder f;
    const std::string path = f.file("VELKOR.ini");
    Started s(path);
    const std::string before = contents(path);
    ASSERT_FALSE(before.empty());
    // The file system refuses to grow a file past a few bytes.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = s.store.writeInt(stored::setKey(1), "diagram_1", 30);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(f.names(), (std::vector<std::string>{"VELKOR.ini"}));
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_NE(s.problems[0].find("File too large"), std::string::npos) << s.problems[0];
    // The change lives on for the run.
    EXPECT_EQ(s.store.readInt(stored::setKey(1), "diagram_1").value, 30);

    // A file made read-only is kept as it is, said once.
    const std::string kept = f.file("kept.ini");
    write(kept, "[\\VELKOR\\DIAGRAM\\F]\ndiagram_ok=1\n");
    ::chmod(kept.c_str(), 0444);
    Started r(kept);
    EXPECT_FALSE(r.store.writeInt(stored::setKey(1), "diagram_1", 30));
    EXPECT_EQ(contents(kept), "[\\VELKOR\\DIAGRAM\\F]\ndiagram_ok=1\n");
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].find(kept + ": the file is read-only"), std::string::npos) << r.problems[0];
}

TEST(SettingsStore, TwoProgramsWritingAtOnceLoseNothing) {
    Folder f;
    const std::string path = f.file("VELKOR.ini");
    auto writer = [&](int id) {
        platform::SettingsStore store(path);
        for (int i = 0; i < 40; ++i) store.writeInt("\\P" + std::to_string(id), "v" + std::to_string(i), i);
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    platform::SettingsStore check(path);
    for (int id : {1, 2})
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(check.readInt("\\P" + std::to_string(id), "v" + std::to_string(i)).value, i);
    EXPECT_EQ(f.names(), (std::vector<std::string>{"VELKOR.ini"}));
}

TEST(SettingsStore, AWriteKeepsCommentsAndUnknownLinesAndClearsWhatKilledWritersLeft) {
    Folder f;
    const std::string path = f.file("VELKOR.ini");
    write(path,
          "; the garage's presets, edited by hand\n"
          "[\\VELKOR\\DIAGRAM\\F1]\n"
          "# lambda first\n"
          "diagram_1 = 7\n"
          "owner's note without a value\n"
          "\n"
          "[\\VELKOR\\OLD]\n"
          "x=1\n");
    // Left by writers killed mid-write: one of a program long gone, one of
    // this (running) program, and a file of someone else's.
    write(f.file(".VELKOR.ini.tmp-999999999-0"), "half");
    write(f.file(".VELKOR.ini.tmp-" + std::to_string(::getpid()) + "-7"), "in flight");
    write(f.file(".VELKOR.ini.tmp-notes"), "keep");
    platform::SettingsStore store(path);
    EXPECT_EQ(f.names(), (std::vector<std::string>{".VELKOR.ini.tmp-" + std::to_string(::getpid()) + "-7",
                                                   ".VELKOR.ini.tmp-notes", "VELKOR.ini"}));
    ASSERT_TRUE(store.writeInts("\\VELKOR\\DIAGRAM\\F1", {{"diagram_1", 12}, {"diagram_2", 3}}));
    ASSERT_TRUE(store.deleteKey("\\VELKOR\\OLD"));
    ASSERT_TRUE(store.writeInt("\\VELKOR\\NEW", "a", 1));
    EXPECT_EQ(contents(path),
              "; the garage's presets, edited by hand\n"
              "[\\VELKOR\\DIAGRAM\\F1]\n"
              "# lambda first\n"
              "diagram_1 =12\n"
              "owner's note without a value\n"
              "diagram_2=3\n"
              "\n"
              "[\\VELKOR\\NEW]\n"
              "a=1\n");
    EXPECT_EQ(store.readInt("\\VELKOR\\DIAGRAM\\F1", "diagram_1").value, 12);
}

TEST(SettingsStore, AFileNamedWithoutAFolderIsWrittenInTheWorkingFolder) {
    Folder f;
    write(f.file(".name.ini.tmp-999999999-3"), "half");
    const fs::path before = fs::current_path();
    fs::current_path(f.dir);
    {
        platform::SettingsStore store("name.ini");
        EXPECT_TRUE(store.writeInt("\\VELKOR\\K", "v", 5));
    }
    fs::current_path(before);
    EXPECT_EQ(f.names(), (std::vector<std::string>{"name.ini"}));
    EXPECT_EQ(contents(f.file("name.ini")), "[\\VELKOR\\K]\nv=5\n");
}

// A file spoilt by someone else while the program runs is said through the
// problem report (a box, in the windows) only once the folder's lock is
// released: another tester writing its settings never waits for that box.
TEST(SettingsStore, AProblemIsReportedWithTheFoldersLockReleased) {
    Folder f;
    const std::string path = f.file("VELKOR.ini");
    Started s(path);
    ASSERT_TRUE(s.store.writeInt(stored::setKey(1), "diagram_1", 30));
    write(path, std::string("\x01\x02 not ours", 11));
    std::vector<bool> lockFree;
    s.store.setProblemReport([&](const std::string&) {
        const int fd = ::open(f.dir.c_str(), O_RDONLY | O_DIRECTORY);
        lockFree.push_back(::flock(fd, LOCK_EX | LOCK_NB) == 0);
        ::close(fd);
    });
    EXPECT_FALSE(s.store.writeInt(stored::setKey(1), "diagram_1", 31));
    EXPECT_EQ(lockFree, std::vector<bool>{true});
}
