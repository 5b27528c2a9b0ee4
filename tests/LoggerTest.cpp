// SPDX-License-Identifier: GPL-3.0-or-later
// m797-log as a technician runs it: its output contract and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "platform/FileAccess.h"
#include "platform/WallClock.h"
#include "sim/PtyPeer.h"
#include "tests/TestSupport.h"

namespace {

struct LoggerRun {
    std::string out;
    int status = -1;
};

// errors: the standard error comes along, after the output.
LoggerRun runLogger(const std::string& args, bool errors = false) {
    // Appended piece by piece: GCC 12 misreads a chain of + here (-Warray-bounds).
    std::string command = M797_LOG_PATH;
    command += ' ';
    command += args;
    command += errors ? " 2>&1" : " 2>/dev/null";
    const auto run = testsupport::runCommand(command);
    return {run.out, run.status};
}

int countOf(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (auto pos = hay.find(needle); pos != std::string::npos; pos = hay.find(needle, pos + 1)) ++n;
    return n;
}

}  // namespace

TEST(Logger, AnEchoingAdapterWithoutAnEcuEndsInTheFailureStop) {
    sim::SimOptions o;
    o.fault = sim::LineFault::SilentEcu;
    sim::PtyPeer peer(o);
    ASSERT_TRUE(peer.ok());
    const LoggerRun r = runLogger("--port " + peer.slavePath());
    EXPECT_EQ(r.status, 1);
    // Status lines appear on change only: the repeated text shows once.
    EXPECT_EQ(r.out,
              "status: Установление связи.\n"
              "status: Проверте адаптер!\n"
              "status: Адаптер не подключен!\n");
}

TEST(Logger, ArgumentsAndAPortThatCannotBeOpened) {
    EXPECT_EQ(runLogger("--passes").status, 2);
    EXPECT_EQ(runLogger("--passes -3").status, 2);
    EXPECT_EQ(runLogger("--simulate --port /dev/ttyS0").status, 2);
    EXPECT_EQ(runLogger("--frobnicate").status, 2);
    EXPECT_EQ(runLogger("--wake").status, 2);
    EXPECT_EQ(runLogger("--wake slow --simulate").status, 2);
    EXPECT_EQ(runLogger("--wake break --simulate --passes 1").status, 0);
    EXPECT_EQ(runLogger("--wake=break --simulate --passes=1").status, 0);
    EXPECT_EQ(runLogger("--dtc=yes --simulate").status, 2);
    for (const char* port : {"--port /dev/m797-no-such-port", "--port=/dev/m797-no-such-port"}) {
        const LoggerRun r = runLogger(port);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "status: Ошибка открытия порта!\n");
    }
    // The status text stays; the standard error says why.
    const LoggerRun why = runLogger("--port /dev/ttyUSB9-m797", true);
    EXPECT_NE(why.out.find("m797-log: /dev/ttyUSB9-m797: No such file or directory (serial ports here: "),
              std::string::npos)
        << why.out;
    EXPECT_NE(runLogger("--port /dev/null", true).out.find("m797-log: /dev/null: not a serial port\n"),
              std::string::npos);
    const std::string help = runLogger("--help").out;
    for (const char* option : {"--port", "--simulate", "--wake", "--record", "--replay", "--realtime", "--passes",
                               "--dtc", "--help", "--version"})
        EXPECT_NE(help.find(std::string("\n  ") + option), std::string::npos) << option;
    EXPECT_EQ(runLogger("--version").out, "m797-log " M797_VERSION "\n");
    // No file is written over the drive replayed or over another one written.
    const std::string drive = testsupport::tempDir() + "/drive.rec";
    std::ofstream(drive) << "the drive";
    const LoggerRun same = runLogger("--replay " + drive + " --csv " + drive, true);
    EXPECT_EQ(same.status, 2);
    EXPECT_NE(same.out.find("--replay and --csv name the same file: " + drive), std::string::npos) << same.out;
    EXPECT_EQ(runLogger("--simulate --record t.csv --csv ./t.csv", true).status, 2);
    std::ifstream kept(drive);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the drive");
    // In the locale's language: help and the reasons on the standard error.
    const std::string c = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=";
    const auto inLocale = [&](const std::string& lang, const std::string& args) {
        return testsupport::runCommand(c + lang + " " + M797_LOG_PATH + " " + args + " 2>&1").out;
    };
    EXPECT_NE(inLocale("ru_RU.UTF-8", "--help").find("  --dtc              также читать сохранённые коды ошибок"),
              std::string::npos);
    EXPECT_NE(inLocale("ru_RU.UTF-8", "--port /dev/m797-no-such-port")
                  .find("m797-log: /dev/m797-no-such-port: нет такого файла или каталога"),
              std::string::npos);
    EXPECT_NE(inLocale("C.UTF-8", "--port /dev/m797-no-such-port")
                  .find("m797-log: /dev/m797-no-such-port: No such file or directory"),
              std::string::npos);
}

TEST(Logger, SimulatedRunPrintsIdentificationAndEndsAfterItsPasses) {
    const LoggerRun r = runLogger("--simulate --passes 0");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(countOf(r.out, "\nident "), 11);
    EXPECT_NE(r.out.find("ident 10: "), std::string::npos);
    const LoggerRun p = runLogger("--simulate --passes 3");
    EXPECT_EQ(p.status, 0);
    EXPECT_NE(p.out.find("status: Данные получены.\n"), std::string::npos);
}

// The table for a spreadsheet: a header with units, a row per pass with its
// wall-clock time, and a replay of the drive's recording gives the same table.
TEST(Logger, TheCsvTableHasUnitsWallClockTimesAndReplaysTheSame) {
    const std::string dir = testsupport::tempDir();
    const LoggerRun live =
        runLogger("--simulate --passes=3 --record " + dir + "/drive.txt --csv=" + dir + "/live.csv", true);
    ASSERT_EQ(live.status, 0) << live.out;
    const LoggerRun again = runLogger("--replay " + dir + "/drive.txt --csv " + dir + "/replay.csv");
    ASSERT_EQ(again.status, 0);
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string table = read(dir + "/live.csv");
    EXPECT_EQ(table, read(dir + "/replay.csv"));
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(testsupport::readCsv(table, rows)) << table;
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<std::string>& head = rows[0];
    ASSERT_EQ(head.size(), 82u);
    EXPECT_EQ(std::vector<std::string>(head.begin(), head.begin() + 5),
              (std::vector<std::string>{"pass", "time [s]", "clock", "ADC_2O2 [V]", "ADC_BAT [V]"}));
    EXPECT_EQ(head[3 + 55], "NMOT [rpm]");
    EXPECT_EQ(head[3 + 68], "TMOT [C]");
    EXPECT_EQ(head[3 + 20], "B_LL");
    // The recording's header names the start; the rows' clocks count on from it.
    const std::string recording = read(dir + "/drive.txt");
    const auto at = recording.find("# started ");
    ASSERT_NE(at, std::string::npos);
    const auto started = platform::parseHeaderTime(recording.substr(at + 10, recording.find('\n', at) - at - 10));
    ASSERT_TRUE(started);
    for (std::size_t k = 1; k < rows.size(); ++k) {
        ASSERT_EQ(rows[k].size(), 82u);
        EXPECT_EQ(rows[k][0], std::to_string(k));
        const std::string& seconds = rows[k][1];
        const auto dot = seconds.find('.');
        ASSERT_NE(dot, std::string::npos);
        const std::int64_t ms = std::stoll(seconds.substr(0, dot)) * 1000 + std::stoll(seconds.substr(dot + 1));
        EXPECT_EQ(rows[k][2], platform::isoTime(started->later(ms)));
        EXPECT_EQ(rows[k][3 + 33].rfind("0b", 0), 0u);  // Byte1 stays text
        EXPECT_EQ(rows[k][3 + 36].rfind("0x", 0), 0u);  // the checksum too
    }
    // Standard output is as it was: status lines and rows without a clock.
    EXPECT_NE(live.out.find("\npass,time,ADC_2O2,"), std::string::npos);
}

// With --reconnect an adapter unplugged and plugged in again (the device
// path gone, then back, pointing at another pseudo-terminal) is one drive:
// pass numbers and times go on, no row comes from the gap, and the recording
// replays to the same output.
TEST(Logger, AnAdapterUnpluggedAndPluggedInAgainIsOneDriveThatReplaysTheSame) {
    const std::string dir = testsupport::tempDir();
    const std::string port = dir + "/ttyUSB0";
    sim::SimOptions o;
    o.answerDelay = std::chrono::milliseconds(1);
    auto peer = std::make_unique<sim::PtyPeer>(o);
    ASSERT_TRUE(peer->ok());
    std::filesystem::create_symlink(peer->slavePath(), port);
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    testsupport::CommandRun live;
    std::thread run([&] {
        live = testsupport::runCommand(std::string(M797_LOG_PATH) + " --port " + port +
                                       " --reconnect --passes 40 --record " + dir + "/drive.txt > " + dir +
                                       "/out.txt 2> " + dir + "/err.txt");
    });
    EXPECT_TRUE(
        testsupport::waitUntil([&] { return countOf(read(dir + "/out.txt"), "\n") >= 16; }, std::chrono::seconds(20)));
    std::filesystem::remove(port);  // unplugged
    peer->hangUp();
    EXPECT_TRUE(
        testsupport::waitUntil([&] { return read(dir + "/err.txt").find("the port is gone") != std::string::npos; },
                               std::chrono::seconds(20)));
    peer = std::make_unique<sim::PtyPeer>(o);  // plugged in again
    std::filesystem::create_symlink(peer->slavePath(), port);
    run.join();
    ASSERT_EQ(live.status, 0) << read(dir + "/err.txt");
    const std::string out = read(dir + "/out.txt");
    SCOPED_TRACE(out);
    // The passes go on across the gap, each once, in order, in time.
    std::vector<std::pair<int, double>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            rows.emplace_back(std::stoi(line), std::stod(line.substr(line.find(',') + 1)));
    ASSERT_GE(rows.size(), 8u);
    for (std::size_t k = 1; k < rows.size(); ++k) {
        EXPECT_GT(rows[k].first, rows[k - 1].first);
        EXPECT_GT(rows[k].second, rows[k - 1].second);
    }
    EXPECT_EQ(rows.back().first, 40);
    const auto gap = out.find("status: Адаптер не подключен!\n");
    ASSERT_NE(gap, std::string::npos);
    EXPECT_NE(out.find("status: Данные получены.\n", gap), std::string::npos);  // after the gap
    EXPECT_EQ(countOf(out, "ident 0: "), 2);                                    // read again
    const std::string err = read(dir + "/err.txt");
    EXPECT_NE(err.find("connected again"), std::string::npos);
    EXPECT_EQ(err.find("another ECU"), std::string::npos);  // the same car

    // The recording holds the gap and replays to the same output.
    const std::string recording = read(dir + "/drive.txt");
    EXPECT_NE(recording.find("note the port is gone"), std::string::npos);
    const LoggerRun replay = runLogger("--replay " + dir + "/drive.txt --passes 40");
    EXPECT_EQ(replay.status, 0);
    EXPECT_EQ(replay.out, out);
}

// A row is a measurement: an ECU that falls silent after pass 2 gives no
// row 3 (its buffers still hold pass 2's bytes), and the standard error
// says why.
TEST(Logger, APassWithoutWholeAnswersPrintsNoRow) {
    for (sim::LineFault fault : {sim::LineFault::None, sim::LineFault::ShortReplies}) {
        sim::SimOptions o;
        o.answerDelay = std::chrono::milliseconds(1);
        o.fault = fault;
        // The start, the four identification requests and two passes.
        if (fault == sim::LineFault::None) o.silentAfterRequests = 9;
        sim::PtyPeer peer(o);
        ASSERT_TRUE(peer.ok());
        const LoggerRun r = runLogger("--port " + peer.slavePath() + " --passes 3", true);
        SCOPED_TRACE(r.out);
        const bool silent = fault == sim::LineFault::None;
        EXPECT_EQ(countOf(r.out, "\n1,"), silent ? 1 : 0);
        EXPECT_EQ(countOf(r.out, "\n2,"), silent ? 1 : 0);
        EXPECT_EQ(countOf(r.out, "\n3,"), 0);
        EXPECT_NE(r.out.find(silent ? "pass 3 measured nothing (21 01: no answer)"
                                    : "measured nothing (21 01: the answer was cut short (36 of 72 bytes))"),
                  std::string::npos);
    }
}

// The drive's report, asked for twice: as JSON and as HTML, the same from
// the drive's recording as live; a name of another kind is refused before
// the run, and a file that cannot be written is said in the exit status.
TEST(Logger, TheDrivesReportIsWrittenAsAskedAndReadsTheSameFromTheRecording) {
    const std::string dir = testsupport::tempDir();
    const LoggerRun live = runLogger("--simulate=weak-charging --passes 4 --dtc --record " + dir +
                                         "/drive.txt --report " + dir + "/live.json --report=" + dir + "/live.HTML",
                                     true);
    ASSERT_EQ(live.status, 0) << live.out;
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_NE(live.out.find("m797-log: " + dir + "/live.json: the report is written\n"), std::string::npos);
    const std::string json = read(dir + "/live.json");
    EXPECT_EQ(json.rfind("{\"format\": 1, \"program\": \"m797-log " M797_VERSION "\"", 0), 0u) << json;
    EXPECT_NE(json.find("\"passes\": 4, \"dropped_passes\": 0}"), std::string::npos);
    EXPECT_NE(json.find("\"code\": \"P  0102\""), std::string::npos);
    EXPECT_NE(json.find("\"Код ЭБУ\": \"2112114101\""), std::string::npos) << json;
    // Each field once: the car's engine is not the unit's.
    EXPECT_EQ(countOf(json, "\"Двигатель\": "), 1) << json;
    EXPECT_EQ(countOf(json, "\"Двигатель (паспорт автомобиля)\": "), 1) << json;
    // A second of driving is too short to judge the charging: said as such.
    EXPECT_NE(json.find("{\"id\": \"charging\", \"verdict\": \"no-data\", \"why\": \"двигатель работал"),
              std::string::npos);
    const std::string html = read(dir + "/live.HTML");
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("P  0102"), std::string::npos);
    EXPECT_NE(html.find("Коды не стирались"), std::string::npos);
    ASSERT_EQ(runLogger("--replay " + dir + "/drive.txt --dtc --report " + dir + "/replay.json --report " + dir +
                        "/replay.html")
                  .status,
              0);
    EXPECT_EQ(read(dir + "/replay.json"), json);
    // What was done to the car is not replayed: the page says so, and
    // claims nothing of it.
    EXPECT_NE(read(dir + "/replay.html").find("Отчёт сделан по записи поездки"), std::string::npos);
    EXPECT_EQ(read(dir + "/replay.html").find("Коды не стирались"), std::string::npos);

    const LoggerRun wrongKind = runLogger("--simulate --report " + dir + "/r.txt", true);
    EXPECT_EQ(wrongKind.status, 2);
    EXPECT_NE(wrongKind.out.find("bad report name: " + dir + "/r.txt (it must end in .html or .json)"),
              std::string::npos);
    // Before the drive, not after it.
    const LoggerRun unwritable = runLogger("--simulate --passes 1 --report " + dir + "/no-such/r.json", true);
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_NE(unwritable.out.find(dir + "/no-such/r.json: No such file or directory; the report is not written"),
              std::string::npos)
        << unwritable.out;
    std::filesystem::create_directories(dir + "/folder.html");
    const LoggerRun folder = runLogger("--simulate --passes 1 --report " + dir + "/folder.html", true);
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.out.find(dir + "/folder.html: a folder, not a file; the report is not written"), std::string::npos)
        << folder.out;
    // One that cannot be written whole (files may grow to 4 KB here, as on
    // a full disk) leaves the report before it as it was.
    const std::string kept = dir + "/kept.html";
    std::ofstream(kept) << "the report before";
    const auto cut =
        testsupport::runCommand("ulimit -f 4; " M797_LOG_PATH " --simulate --passes 2 --report " + kept + " 2>&1");
    EXPECT_NE(cut.out.find(kept + ": File too large; the report is not written"), std::string::npos) << cut.out;
    EXPECT_EQ(read(kept), "the report before");
    EXPECT_FALSE(std::filesystem::exists(kept + ".part"));
    // A table that cannot grow ends with its last whole row.
    const std::string table = dir + "/cut.csv";
    const auto grown = testsupport::runCommand("ulimit -f 4; " M797_LOG_PATH " --simulate --passes 8 --csv " + table +
                                               " 2>&1 >/dev/null");
    EXPECT_NE(grown.out.find("; the table ends here"), std::string::npos) << grown.out;
    const std::string rows = read(table);
    ASSERT_GT(rows.size(), 1000u);
    EXPECT_EQ(rows.back(), '\n');
}

// Visits kept in the journal: two loggers at once and one killed in the
// middle of its drive. Each visit is there with its car, the codes it read
// and its recording; the killed one is closed as interrupted by the next
// program, and its recording replays up to where it was cut.
TEST(Logger, TheJournalKeepsEveryVisitTwoAtOnceAndOneKilled) {
    const std::string data = testsupport::tempDir();
    const auto logger = [&data](const std::string& args) {
        return testsupport::runCommand("XDG_DATA_HOME=" + data + " " M797_LOG_PATH " " + args);
    };
    const auto visit = [&logger] { return logger("--simulate --passes 3 --dtc --journal 2>&1"); };
    auto first = std::async(std::launch::async, visit);
    const auto second = visit();
    const auto firstRun = first.get();
    ASSERT_EQ(firstRun.status, 0) << firstRun.out;
    const std::string& firstOut = firstRun.out;
    ASSERT_EQ(second.status, 0) << second.out;

    const std::string recordings = data + "/m797-tester/recordings";
    const auto recorded = [&recordings] {
        std::set<std::string> files;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(recordings, ec)) files.insert(e.path().string());
        return files;
    };
    const auto before = recorded();
    ASSERT_EQ(before.size(), 2u);
    // A visit reopened from the journal replays the rows it printed.
    const auto rows = [](const std::string& out) {
        std::string kept;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) kept += line + "\n";
        return kept;
    };
    const std::string replayed = runLogger("--replay " + *before.begin()).out;
    EXPECT_TRUE(rows(replayed) == rows(second.out) || rows(replayed) == rows(firstOut)) << replayed;
    EXPECT_EQ(countOf(rows(replayed), "\n"), 3);
    // Replayed as a visit: it ends where the drive ended, and keeps the
    // recording replayed as its own.
    const auto again = testsupport::runCommand("XDG_DATA_HOME=" + data + " timeout 60 " M797_LOG_PATH " --replay " +
                                               *before.begin() + " --journal 2>&1 | tail -c 2000");
    EXPECT_NE(again.out.find("end of the recording"), std::string::npos) << again.out;
    EXPECT_EQ(recorded(), before);
    const std::string pid = logger("--simulate --journal --dtc >/dev/null 2>&1 & echo $!").out;
    // Killed once its recording holds two measured passes: the codes the
    // first read are in the journal already.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20 * testsupport::slowdown());
    std::string cut;
    while (cut.empty() && std::chrono::steady_clock::now() < until) {
        for (const std::string& f : recorded()) {
            std::ifstream in(f);
            if (!before.count(f) &&
                std::string(std::istreambuf_iterator<char>(in), {}).find(" pass 2\n") != std::string::npos)
                cut = f;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(cut.empty());
    ASSERT_EQ(std::system(("kill -9 " + pid).c_str()), 0);
    // Gone once the system says so (a zombie counts as gone).
    while (std::chrono::steady_clock::now() < until &&
           testsupport::runCommand("grep -qv ') [ZX]' /proc/" + pid.substr(0, pid.find('\n')) + "/stat 2>/dev/null")
                   .status == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));

    const auto list = logger("--journal-list");
    ASSERT_EQ(list.status, 0);
    const std::string& table = list.out;
    EXPECT_EQ(countOf(table, "\tclosed\tm797-log " M797_VERSION "\tsimulated\tkline\t1\t"), 2) << table;
    EXPECT_EQ(countOf(table, "\tinterrupted\tm797-log " M797_VERSION "\tsimulated\tkline\t1\t" + cut + "\t"), 1)
        << table;
    EXPECT_EQ(countOf(table, "\tcodes-read\tкоды ошибок прочитаны: P  0102 "), 3) << table;
    // It ended where its recording did, not at its start.
    const std::size_t row = table.rfind("\n", table.find("\tinterrupted\t")) + 1;
    const std::size_t started = table.find('\t', table.find('\t', row) + 1) + 1;
    const std::size_t ended = table.find('\t', started) + 1;
    EXPECT_NE(table.substr(started, ended - started), table.substr(ended, table.find('\t', ended) + 1 - ended))
        << table;
    EXPECT_EQ(countOf(table, "\tclosed\tm797-log " M797_VERSION "\t" + *before.begin() + "\tkline\t0\t" +
                                 *before.begin() + "\t"),
              1)
        << table;
    EXPECT_NE(table.find("car\tvin\tecu\tvisits\tlast visit\n1\tXTA21700080123456\t0261S04987654321\t4\t"),
              std::string::npos)
        << table;
    // The cut recording is a drive still.
    EXPECT_NE(runLogger("--replay " + cut).out.find("\n1,"), std::string::npos);

    // A journal that is no journal is said and left as it is; the drive is
    // recorded all the same, the run's status says the visit was not kept,
    // and listing it fails with the reason.
    const std::string other = testsupport::tempDir();
    std::filesystem::create_directories(other + "/m797-tester");
    std::ofstream(other + "/m797-tester/journal.sqlite3") << std::string(1000, 'x');
    const auto broken =
        testsupport::runCommand("XDG_DATA_HOME=" + other + " " M797_LOG_PATH " --simulate --passes 2 --journal 2>&1");
    EXPECT_EQ(broken.status, 3);
    EXPECT_NE(broken.out.find("m797-log: " + other +
                              "/m797-tester/journal.sqlite3: the file is not a journal; the visit is not kept in the "
                              "journal\n"),
              std::string::npos)
        << broken.out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(other + "/m797-tester/recordings"), {}), 1);
    const auto unreadable =
        testsupport::runCommand("XDG_DATA_HOME=" + other + " " M797_LOG_PATH " --journal-list 2>&1");
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.out, "m797-log: " + other + "/m797-tester/journal.sqlite3: the file is not a journal\n");
    const std::string folder = testsupport::tempDir();
    EXPECT_EQ(
        testsupport::runCommand("XDG_DATA_HOME=" + folder + " " M797_LOG_PATH " --journal-list 2>&1").out,
        "m797-log: " + folder + "/m797-tester/journal.sqlite3: the journal has no visits yet (--journal keeps one)\n");
    std::filesystem::create_directories(folder + "/m797-tester/journal.sqlite3");
    EXPECT_EQ(testsupport::runCommand("XDG_DATA_HOME=" + folder + " " M797_LOG_PATH " --journal-list 2>&1").out,
              "m797-log: " + folder + "/m797-tester/journal.sqlite3: a folder, not a file\n");
}

// A program started on its own (as the window starts a tester to review a
// drive) runs to its end without this one waiting; one that cannot run is said.
TEST(Logger, AProgramStartedOnItsOwnRunsAndOneThatCannotIsSaid) {
    const std::string table = testsupport::tempDir() + "/started.csv";
    std::string why;
    ASSERT_TRUE(platform::startProgram(M797_LOG_PATH, {"--simulate", "--passes", "2", "--csv", table}, why)) << why;
    EXPECT_TRUE(testsupport::waitUntil([&] {
        std::ifstream in(table);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        return text.find("\r\n2,") != std::string::npos;
    }));
    EXPECT_FALSE(platform::startProgram("/nonexistent/m797-tester", {}, why));
    EXPECT_EQ(why, "/nonexistent/m797-tester: No such file or directory");
}
