// SPDX-License-Identifier: GPL-3.0-or-later
// Recording a drive and replaying it: the format, the reader's refusals, and
// the logger's output reproduced line for line.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ecu/EcuDecoder.h"
#include "link/Com_Port.h"
#include "link/RecordingLine.h"
#include "platform/WallClock.h"
#include "sim/PtyPeer.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

namespace {

std::string tempFile(const std::string& name) { return testsupport::tempDir() + "/" + name; }

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct LogRun {
    std::string out, err;
    int status = -1;
};

LogRun runLogger(const std::string& args) {
    const std::string errPath = tempFile("stderr");
    std::string command = M797_LOG_PATH;  // += : GCC 12 warns falsely on a + chain here
    command += " ";
    command += args;
    command += " 2>";
    command += errPath;
    const auto run = testsupport::runCommand(command);
    return {run.out, contents(errPath), run.status};
}

}  // namespace

TEST(Recording, EventsReadBackAsTheyWereWritten) {
    std::vector<klink::WireEvent> events;
    std::string error;
    const std::string text =
        std::string(klink::kRecordingMagic) +
        "\n# a comment\n0 open\n5 > 81 10 F1 81 03\n40 < 81 10 F1 81 03 83 F1 10 C1 EF 8F C3\n"
        "41 <\n41 wake\n90 status Данные получены.\n90 pass 12\n100 open-failed Permission denied\n"
        "100 close\n";
    ASSERT_TRUE(klink::parseRecording(text, events, error)) << error;
    ASSERT_EQ(events.size(), 9u);
    EXPECT_EQ(events[1].bytes, (std::vector<std::uint8_t>{0x81, 0x10, 0xF1, 0x81, 0x03}));
    EXPECT_EQ(events[2].bytes.size(), 12u);
    EXPECT_TRUE(events[3].bytes.empty());
    EXPECT_EQ(events[5].text, "Данные получены.");
    std::string again = std::string(klink::kRecordingMagic) + "\n# a comment\n";
    for (const auto& e : events) again += klink::formatEvent(e) + "\n";
    EXPECT_EQ(again, text);
}

TEST(Recording, ABadRecordingIsRefusedWithTheLineThatIsWrong) {
    const std::string magic = std::string(klink::kRecordingMagic) + "\n";
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"", "the file is empty"},
        {magic + "0 open\n5 > 81 1O F1\n", "line 3: a request must be hexadecimal bytes"},
        {magic + "9 open\n5 wake\n", "line 3: time runs backwards"},
        {magic + "0 open\n5 launch\n", "line 3: unknown event \"launch\""},
        {magic + "0 open\n" + std::string("\x01\x02\x03\x00\n", 5), "line 3: binary data, not a wire recording"},
        {magic + "x open\n", "line 2: a line must begin with its time in milliseconds"},
        {magic + "0 pass\n", "line 2: a pass needs its number"},
        {"pass,time,ADC_2O2\n1,0.5,0.449\n", "line 1: not a wire recording of this program"},
        {magic + "0 wake now\n", "line 2: wake takes nothing after it"},
    };
    for (const auto& [text, why] : bad) {
        SCOPED_TRACE(why);
        std::vector<klink::WireEvent> events;
        std::string error;
        EXPECT_FALSE(klink::parseRecording(text, events, error));
        EXPECT_EQ(error.rfind(why, 0), 0u) << error;
    }
    // The logger names the file and the line, and exits with 2.
    const std::string path = tempFile("edited.txt");
    std::ofstream(path) << magic << "0 open\n5 > 81 10 F1 81 0\n";
    const LogRun r = runLogger("--replay " + path);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "m797-log: " + path + ": line 3: a request must be hexadecimal bytes\n");
    EXPECT_EQ(r.out, "");
    std::ofstream(path) << magic << "0 open\n";
    EXPECT_EQ(runLogger("--replay " + path).err, "m797-log: " + path + ": the recording holds no exchange\n");
    EXPECT_EQ(runLogger("--replay /nonexistent/rec.txt").status, 2);
    EXPECT_EQ(runLogger("--replay " + path + " --simulate").status, 2);
    EXPECT_EQ(runLogger("--realtime --simulate").status, 2);
}

TEST(Recording, AReplayPrintsExactlyWhatTheRecordedRunPrinted) {
    const std::string path = tempFile("drive.txt");
    const LogRun recorded = runLogger("--simulate --passes 4 --dtc --record " + path);
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    const LogRun replayed = runLogger("--replay " + path + " --passes 4 --dtc");
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    EXPECT_EQ(replayed.out, recorded.out);
    // The times are the drive's: seconds with three decimals, growing with
    // the wire's pace (a pass takes a few hundred milliseconds).
    auto timeOf = [&](int pass) {
        const auto at = recorded.out.find("\n" + std::to_string(pass) + ",");
        return at == std::string::npos ? -1.0 : std::stod(recorded.out.substr(recorded.out.find(',', at) + 1));
    };
    EXPECT_GT(timeOf(1), 0.0);
    EXPECT_GT(timeOf(4) - timeOf(1), 0.3);
    EXPECT_NE(recorded.out.find("\npass,time,ADC_2O2,"), std::string::npos);

    // Without --passes the replay runs to the end of the recording and stops there.
    const LogRun all = runLogger("--replay " + path + " --dtc");
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.out, recorded.out);
    EXPECT_EQ(all.err, "m797-log: " + path + ": end of the recording\n");

    // The recording is text a person can read, and says what made it.
    const std::string text = contents(path);
    EXPECT_EQ(text.rfind(std::string(klink::kRecordingMagic) + "\n# program m797-log " M797_VERSION "\n# started ", 0),
              0u);
    EXPECT_NE(text.find("\n# device simulated\n# options --wake byte --dtc --passes 4\n"), std::string::npos);
    EXPECT_NE(text.find(" note woken by a 0x00 byte at 360 baud\n"), std::string::npos);
    EXPECT_NE(text.find(" wake\n"), std::string::npos);
    EXPECT_NE(text.find(" > 82 10 F1 21 01 A5\n"), std::string::npos);
    EXPECT_NE(text.find(" status Данные получены.\n"), std::string::npos);
    EXPECT_NE(text.find(" pass 4\n"), std::string::npos);
}

TEST(Recording, TheRecordingIsOnDiskAfterEveryPass) {
    const std::string path = tempFile("live.txt");
    std::string error;
    auto line =
        klink::RecordingLine::create(std::make_unique<sim::SimulatedLine>(sim::SimOptions{}, true), path, {}, error);
    ASSERT_TRUE(line) << error;
    klink::LinkData data;
    klink::RecordingObserver observer(line->recorder(), nullptr);
    klink::Com_Port port(*line, data, nullptr, &observer);
    port.loopTurn();
    port.loopTurn();
    ASSERT_EQ(port.passCount(), 1u);
    // Still running, nothing closed: the pass is in the file already.
    const std::string text = contents(path);
    EXPECT_NE(text.find(" pass 1\n"), std::string::npos);
    EXPECT_NE(text.find(" < 82 10 F1 21 03 A7 "), std::string::npos);
    EXPECT_EQ(port.lastReplyMs(), line->clockMs());
}

TEST(Recording, AReplayAnswersACommandTheDriveNeverSentWithNothingAndGoesOn) {
    const std::string path = tempFile("plain.txt");
    ASSERT_EQ(runLogger("--simulate --passes 3 --record " + path).status, 0);
    std::string error;
    auto replay = klink::ReplayLine::load(path, false, error);
    ASSERT_TRUE(replay) << error;
    klink::LinkData data;
    klink::Com_Port port(*replay, data);
    port.loopTurn();
    ASSERT_TRUE(port.linkUp());
    klink::post(data.command.dtcReadRequest);  // not in the drive
    port.loopTurn();
    EXPECT_EQ(port.passCount(), 1u);
    EXPECT_EQ(port.liveData01Reply()[8], 0x10);
    EXPECT_EQ(data.command.dtcReply.at(12), 0);
    klink::clearFlag(data.command.dtcReadRequest);
    port.loopTurn();
    port.loopTurn();
    EXPECT_EQ(port.passCount(), 3u);
    port.loopTurn();  // the drive is over
    EXPECT_TRUE(replay->ended());
    EXPECT_TRUE(port.stoppedItself());
    EXPECT_EQ(port.passCount(), 3u);
    EXPECT_EQ(data.startEnabled.load(), 1);
}

// ---- Recordings as fault reports, replays whole -----------------------

namespace {

// The logger started with its arguments, its output to files; for the
// tests that signal it, kill it or weigh it.
struct Started {
    pid_t pid = -1;
    std::string out, err;
    explicit Started(const std::vector<std::string>& args) {
        out = tempFile("started.out");
        err = tempFile("started.err");
        pid = ::fork();
        if (pid == 0) {
            std::freopen(out.c_str(), "w", stdout);
            std::freopen(err.c_str(), "w", stderr);
            std::vector<char*> argv{const_cast<char*>(M797_LOG_PATH)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(M797_LOG_PATH, argv.data());
            ::_exit(127);
        }
    }
    // The exit status (-signal when killed), waiting up to the time given;
    // peakKb: the largest resident size it had.
    int wait(std::chrono::seconds limit, long* peakKb = nullptr) {
        int status = 0;
        rusage use{};
        const bool done = testsupport::waitUntil([&] { return ::wait4(pid, &status, WNOHANG, &use) == pid; }, limit);
        if (!done) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &use);
            return -1000;
        }
        if (peakKb) *peakKb = use.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
};

// The rows without their times (a pass's time is that of its last read,
// which depends on what else the pass asked).
std::string rowsOf(const std::string& out) {
    std::string rows;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
        if (l.empty() || l[0] < '0' || l[0] > '9') continue;
        const auto first = l.find(',');
        rows += l.substr(0, first) + l.substr(l.find(',', first + 1)) + "\n";
    }
    return rows;
}

}  // namespace

// A drive recorded with the codes read replays without them to its end,
// and one replayed with them where the drive had none answers nothing.
TEST(Recording, AReplayEndsAtTheEndOfTheDriveWhateverItsOptions) {
    const std::string path = tempFile("dtc-drive.txt");
    const LogRun recorded = runLogger("--simulate --passes 4 --dtc --record " + path);
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    ASSERT_EQ(rowsOf(recorded.out).size() > 0, true);
    const LogRun plain = runLogger("--replay " + path);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(rowsOf(plain.out), rowsOf(recorded.out));
    EXPECT_EQ(plain.err, "m797-log: " + path + ": end of the recording\n");

    const std::string without = tempFile("plain-drive.txt");
    ASSERT_EQ(runLogger("--simulate --passes 3 --record " + without).status, 0);
    const LogRun asked = runLogger("--replay " + without + " --dtc");
    EXPECT_EQ(asked.status, 0) << asked.err;
    EXPECT_EQ(std::count(asked.out.begin(), asked.out.end(), '\n') > 3, true);
    // Codes the drive never read are not printed, not even as a count of 0.
    EXPECT_EQ(asked.err, "m797-log: " + without + ": end of the recording\nm797-log: " + without +
                             ": error codes not read (18: no answer)\n");
    EXPECT_EQ(asked.out.find("dtc"), std::string::npos);
}

// What a fault report needs survives a kill: a connection that keeps
// failing is on the disk as it happens, not only at the end of a pass.
TEST(Recording, AKilledRecordingOfAFailingConnectionHoldsItsWakeUpsAndFrames) {
    sim::SimOptions o;
    o.fault = sim::LineFault::SilentEcu;
    sim::PtyPeer peer(o);
    ASSERT_TRUE(peer.ok());
    const std::string path = tempFile("failing.txt");
    Started logger({"--port", peer.slavePath(), "--record", path});
    ASSERT_TRUE(testsupport::waitUntil([&] { return contents(path).find("Проверте адаптер!") != std::string::npos; }));
    ::kill(logger.pid, SIGKILL);
    EXPECT_EQ(logger.wait(std::chrono::seconds(10)), -SIGKILL);
    const std::string text = contents(path);
    EXPECT_NE(text.find(" wake\n"), std::string::npos);
    EXPECT_NE(text.find(" > 81 10 F1 81 03\n"), std::string::npos);
    EXPECT_NE(text.find(" status Проверте адаптер!\n"), std::string::npos) << text;
}

TEST(Recording, AFailedWriteIsSaidOnceAndTheRunEndsWithItsOwnStatus) {
    const LogRun r = runLogger("--simulate --passes 2 --record /dev/full");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "m797-log: /dev/full: the recording stopped: No space left on device\n");
    EXPECT_NE(rowsOf(r.out), "");  // the run itself went on
}

// The codes window opened mid-drive (passes 4 to 6) asked the codes out of
// turn for a replay with --dtc: it replays every recorded pass under its own
// number and time, as the replay without --dtc does.
TEST(Recording, CodesAskedOutOfTurnNeverShiftThePasses) {
    const std::string path = tempFile("codes-mid-drive.txt");
    {
        std::string error;
        auto line = klink::RecordingLine::create(std::make_unique<sim::SimulatedLine>(sim::SimOptions{}, true), path,
                                                 {"m797-tester test", "simulated", ""}, error);
        ASSERT_TRUE(line) << error;
        klink::LinkData data;
        klink::RecordingObserver observer(line->recorder(), nullptr);
        klink::Com_Port port(*line, data, nullptr, &observer);
        port.loopTurn();
        for (int pass = 1; pass <= 10; ++pass) {
            if (pass == 4) klink::post(data.command.dtcReadRequest);
            if (pass == 7) klink::clearFlag(data.command.dtcReadRequest);
            port.loopTurn();
        }
        port.shutdown();
        ASSERT_TRUE(line->recorder().finish());
    }
    const LogRun plain = runLogger("--replay " + path);
    const LogRun asked = runLogger("--replay " + path + " --dtc");
    EXPECT_EQ(asked.status, 0) << asked.err;
    std::vector<std::string> plainRows, askedRows;
    for (const auto* run : {&plain, &asked}) {
        std::istringstream in(run->out);
        for (std::string l; std::getline(in, l);)
            if (!l.empty() && l[0] >= '1' && l[0] <= '9') (run == &plain ? plainRows : askedRows).push_back(l);
    }
    ASSERT_EQ(plainRows.size(), 10u);
    EXPECT_EQ(askedRows, plainRows);
    EXPECT_NE(asked.out.find("dtc count: 3"), std::string::npos);
}

// A disk that fills up ends the recording on a whole line: the file size
// limit stands for the full disk. Such a recording, and one cut inside its
// last line, replays every whole pass it holds, with one note.
TEST(Recording, ARecordingCutShortReplaysItsWholePasses) {
    const std::string path = tempFile("full-disk.txt");
    const std::string errPath = tempFile("full-disk.err");
    const auto full =
        testsupport::runCommand("bash -c 'ulimit -f 6; trap \"\" XFSZ; exec " + std::string(M797_LOG_PATH) +
                                " --simulate --passes 14 --record " + path + "' 2>" + errPath);
    EXPECT_EQ(full.status, 3) << contents(errPath);
    const std::string written = contents(path);
    ASSERT_GT(written.size(), 3000u);
    EXPECT_EQ(written.back(), '\n');
    const LogRun replay = runLogger("--replay " + path);
    EXPECT_EQ(replay.status, 0) << replay.err;
    const std::string rows = rowsOf(replay.out);
    EXPECT_EQ(rows, rowsOf(full.out).substr(0, rows.size()));
    EXPECT_GT(std::count(rows.begin(), rows.end(), '\n'), 5);

    const std::string cut = tempFile("cut.txt");
    std::ofstream(cut) << written.substr(0, written.rfind(" < ") + 6);
    const LogRun again = runLogger("--replay " + cut);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("the recording ends in the middle of line"), std::string::npos) << again.err;
    EXPECT_EQ(again.err.find("measured nothing"), std::string::npos) << again.err;
    // The pass whose reply was cut is not replayed; every one before it is.
    const std::string before = rows.substr(0, rows.rfind('\n', rows.size() - 2) + 1);
    EXPECT_TRUE(rowsOf(again.out) == before || rowsOf(again.out) == rows);
    EXPECT_GT(before.size(), 0u);
}

// The reader holds no more than a line at a time besides what it keeps,
// gives up on what is no recording at once, and is stopped by a signal
// while it waits for a pipe's writer.
TEST(Recording, TheReaderIsBoundedAndStoppable) {
    const std::string path = tempFile("long.txt");
    ASSERT_EQ(runLogger("--simulate --passes 2 --record " + path).status, 0);
    std::string drive = contents(path);
    const std::size_t cut = drive.rfind(" close\n");
    std::string tail = cut == std::string::npos ? std::string() : drive.substr(drive.rfind('\n', cut) + 1);
    drive.resize(drive.size() - tail.size());
    {
        // A drive followed by 50 MB of short lines (status texts), as a
        // day's recording of a line that kept failing would be.
        std::ofstream out(path, std::ios::binary);
        out << drive;
        const std::string last = drive.substr(drive.rfind('\n', drive.size() - 2) + 1);
        const std::string ms = last.substr(0, last.find(' '));
        const std::string line = ms + " status x\n";
        for (std::size_t written = 0; written < (50u << 20); written += line.size()) out << line;
    }
    Started replay({"--replay", path});
    long peakKb = 0;
    EXPECT_EQ(replay.wait(std::chrono::seconds(120), &peakKb), 0) << contents(replay.err);
    // A sanitizer's shadow memory is no measure of the reader's.
    if (!testsupport::sanitized()) {
        EXPECT_LT(peakKb, 200 * 1024) << "kilobytes at the peak";  // held as text: some 700 MB
    }

    EXPECT_EQ(runLogger("--replay /dev/zero").err, "m797-log: /dev/zero: line 1: binary data, not a wire recording\n");
    EXPECT_EQ(runLogger("--replay /tmp").err, "m797-log: /tmp: a folder, not a file\n");
    std::ofstream(path, std::ios::binary) << "# m797 wire recording 2\n0 open\n";
    EXPECT_EQ(runLogger("--replay " + path).err,
              "m797-log: " + path + ": line 1: a recording of a newer format (2); this program reads format 1\n");
    std::ofstream(path, std::ios::binary) << "# m797 wire recording 1\r0 open\r";
    EXPECT_EQ(runLogger("--replay " + path).err,
              "m797-log: " + path +
                  ": line 1: the lines end in a carriage return alone; a recording's lines end in a line feed\n");
    std::string header;  // the drive's comment lines: what made it, on which device
    for (std::size_t at = 0; at < drive.size() && drive[at] == '#'; at = drive.find('\n', at) + 1)
        header += drive.substr(at, drive.find('\n', at) + 1 - at);
    std::ofstream(path, std::ios::binary) << header << "0 open-failed No such file or directory\n1 > 81 10 F1 81 03\n";
    const LogRun failed = runLogger("--replay " + path);
    EXPECT_NE(failed.err.find("m797-log: simulated: No such file or directory"), std::string::npos) << failed.err;
    // A byte-order mark from an editor is no reason to refuse a recording.
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF" << drive;
    EXPECT_EQ(runLogger("--replay " + path).status, 0);

    const std::string fifo = tempFile("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Started waiting({"--replay", fifo});
    ::usleep(300 * 1000);
    ::kill(waiting.pid, SIGTERM);
    EXPECT_EQ(waiting.wait(std::chrono::seconds(5)), 130);
}

TEST(WallClock, TimesAreWrittenAndReadBackInTheirZone) {
    // 2026-12-09 10:15:02.345 at +03:00 is 07:15:02.345 UTC.
    const auto t = platform::parseHeaderTime("2026-12-09 10:15:02.345 +0300");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->unixMs, 1796800502345);
    EXPECT_EQ(t->offsetMinutes, 180);
    EXPECT_EQ(platform::headerTime(*t), "2026-12-09 10:15:02.345 +0300");
    EXPECT_EQ(platform::isoTime(t->later(57'000)), "2026-12-09T10:15:59.345+03:00");
    // Across midnight, the year and a negative zone.
    const auto west = platform::parseHeaderTime("2024-12-31 23:59:59 -0330");  // an older header, no milliseconds
    ASSERT_TRUE(west);
    EXPECT_EQ(platform::isoTime(west->later(1500)), "2025-01-01T00:00:00.500-03:30");
    EXPECT_EQ(platform::isoTime({951782400000, 0}), "2000-02-29T00:00:00.000+00:00");  // a leap day
    for (const char* bad : {"2026-13-09 10:15:02 +0300", "2026-12-09 10:15:02", "2026-12-09T10:15:02 +0300",
                            "2026-12-09 10:15:02.3 +0300", ""})
        EXPECT_FALSE(platform::parseHeaderTime(bad)) << bad;
}
