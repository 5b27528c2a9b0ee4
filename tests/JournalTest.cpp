// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/Journal.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <array>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "journal/VisitKeeper.h"
#include "platform/FileAccess.h"
#include "platform/WallClock.h"
#include "tests/TestSupport.h"

namespace {

using journal::Journal;

std::string readAll(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const std::string& path, const std::string& bytes, std::streamoff at = -1) {
    std::fstream f(std::filesystem::u8path(path),
                   std::ios::binary | std::ios::in | std::ios::out | (at < 0 ? std::ios::trunc : std::ios::openmode{}));
    if (at >= 0) f.seekp(at);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::unique_ptr<Journal> opened(const std::string& path) {
    std::string why;
    auto j = Journal::open(path, why);
    EXPECT_TRUE(j) << why;
    return j;
}

const std::vector<std::string> kPriora = {"XTA21700080123456", "0261S04987654321", "2112114101", "ПРИОРА"};
const std::vector<std::string> kKalina = {"XTA11190070654321", "0261S01111111111", "2112114101", "КАЛИНА"};

}  // namespace

// Visits of two cars and one with no identification, written, then read
// back by another opening: the cars newest first and found by any text, a
// car's visits newest first with their actions in order, the previous
// recorded visit of the same car, and a car changed mid-visit said.
TEST(Journal, VisitsCarsAndActionsComeBackAsWritten) {
    const std::string path = testsupport::tempDir() + "/журнал/visits.sqlite3";  // a folder made on the way
    {
        auto j = opened(path);
        ASSERT_TRUE(j);
        const auto first = j->beginVisit({"m797-tester 1.0.0", "/dev/ttyUSB0", "kline", "/r/1.m797"});
        ASSERT_TRUE(j->setCar(first, kPriora));
        ASSERT_TRUE(j->addAction(first, 12.5, "codes-read", "коды ошибок прочитаны: P  0171"));
        ASSERT_TRUE(j->addAction(first, 30, "codes-cleared", "коды ошибок стёрты: P  0171"));
        ASSERT_TRUE(j->endVisit(first));
        const auto other = j->beginVisit({"m797-log 1.0.0", "tcp:192.168.0.10:35000", "elm327", ""});
        ASSERT_TRUE(j->setCar(other, kKalina));
        ASSERT_TRUE(j->endVisit(other));
        const auto unknown = j->beginVisit({"m797-log 1.0.0", "simulated", "kline", ""});
        ASSERT_TRUE(j->endVisit(unknown));
        // A line end in a text the ECU sent shifts no text after it.
        const auto odd = j->beginVisit({"m797-log 1.0.0", "simulated", "kline", ""});
        ASSERT_TRUE(j->setCar(odd, {"XTA2170\n0801\x1b[31m", "0261S0", "2112114101", "ПРИОРА"}));
        ASSERT_TRUE(j->endVisit(odd));
        const auto again = j->beginVisit({"m797-tester 1.0.0", "/dev/ttyUSB0", "kline", "/r/2.m797"});
        ASSERT_TRUE(j->setCar(again, kPriora));
        ASSERT_TRUE(j->addAction(again, 5, "output", "Бензонасос: включено"));
        ASSERT_TRUE(j->setCar(again, kKalina));  // the adapter moved to another car
        ASSERT_TRUE(j->setReport(again, "/r/2.html"));
    }
    auto j = opened(path);
    ASSERT_TRUE(j);
    auto cars = j->cars();
    ASSERT_EQ(cars.size(), 3u);
    const auto odd =
        std::find_if(cars.begin(), cars.end(), [](const journal::Car& c) { return c.ecuNumber == "0261S0"; });
    ASSERT_NE(odd, cars.end());
    EXPECT_EQ(odd->texts, (std::vector<std::string>{"XTA2170 0801 [31m", "0261S0", "2112114101", "ПРИОРА"}));
    cars.erase(odd);
    EXPECT_EQ(cars[0].vin, kPriora[0]);
    EXPECT_EQ(cars[0].ecuNumber, kPriora[1]);
    EXPECT_EQ(cars[0].texts, kPriora);
    EXPECT_EQ(cars[0].visits, 2);
    EXPECT_EQ(cars[1].vin, kKalina[0]);
    EXPECT_EQ(j->cars("xta1119").size(), 1u);  // any letter case
    EXPECT_EQ(j->cars("КАЛИНА").size(), 1u);
    EXPECT_EQ(j->cars("2112114101").size(), 3u);
    EXPECT_TRUE(j->cars("nothing").empty());

    const auto visits = j->visits(cars[0].id);
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].recording, "/r/2.m797");
    EXPECT_EQ(visits[0].report, "/r/2.html");
    EXPECT_EQ(visits[0].state, journal::VisitState::Open);
    EXPECT_EQ(visits[1].state, journal::VisitState::Closed);
    EXPECT_FALSE(visits[1].ended.empty());
    EXPECT_EQ(visits[1].adapter, "kline");
    EXPECT_EQ(cars[0].lastVisit, visits[0].started);
    const auto actions = j->actions(visits[1].id);
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].kind, "codes-read");
    EXPECT_DOUBLE_EQ(actions[0].seconds, 12.5);
    EXPECT_EQ(actions[1].text, "коды ошибок стёрты: P  0171");
    const auto mixed = j->actions(visits[0].id);
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_EQ(mixed[1].kind, "car");
    EXPECT_NE(mixed[1].text.find(kKalina[0]), std::string::npos);
    EXPECT_GE(mixed[1].seconds, 0);
    // The drive to compare with: the car's newest recorded one before, not this one's.
    EXPECT_EQ(j->previousDrive(kPriora[0], kPriora[1], INT64_MAX, "/r/2.m797").id, visits[1].id);
    EXPECT_EQ(j->previousDrive(kPriora[0], kPriora[1], INT64_MAX, "/r/1.m797").id, visits[0].id);
    EXPECT_EQ(j->previousDrive(kPriora[0], kPriora[1], 0, "").id, 0);
    EXPECT_EQ(j->previousDrive(kKalina[0], kKalina[1], INT64_MAX, "").id, 0);  // no recording
    EXPECT_EQ(j->visits(0).size(), 5u);                                        // the one with no identification too
    // This program runs: its open visit is not interrupted.
    EXPECT_EQ(j->closeInterrupted(), 0);
    EXPECT_TRUE(j->problem().empty()) << j->problem();
    // Opened to be read only (as a file nobody may write is): the same, and
    // nothing changes it.
    std::string why;
    const auto read = journal::Journal::open(j->path(), why, 3000, true);
    ASSERT_TRUE(read) << why;
    EXPECT_EQ(read->visits(0).size(), 5u);
    EXPECT_FALSE(read->addAction(visits[1].id, 1, "reset", "сброс ЭБУ"));
    EXPECT_EQ(j->actions(visits[1].id).size(), 2u);
}

// A visit whose program is gone is closed as interrupted, at the last thing
// it wrote: its recording, written after its last action. A number given
// to another program since (this one, begun after the visit) is no writer.
TEST(Journal, AVisitLeftOpenEndsWhereItsProgramLastWroteAndANumberReusedIsNoWriter) {
    const std::string dir = testsupport::tempDir();
    const std::string path = dir + "/journal.sqlite3", recording = dir + "/drive.m797";
    writeAll(recording, "# m797 wire recording 1\n");
    auto j = opened(path);
    const auto visit = j->beginVisit({"m797-log 1.0.0", "simulated", "kline", recording});
    ASSERT_GT(visit, 0);
    ASSERT_TRUE(j->addAction(visit, 2.5, "reset", "сброс ЭБУ"));
    // As left by a program that began two hours before this one, with this
    // one's number, and wrote its recording last an hour ago.
    const std::int64_t began = *platform::processStartMs(platform::processId());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string move = "UPDATE visits SET started_ms = " + std::to_string(began - 7200000) +
                             ", pid = " + std::to_string(platform::processId());
    ASSERT_EQ(sqlite3_exec(db, move.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    std::filesystem::last_write_time(std::filesystem::u8path(recording),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    EXPECT_EQ(j->closeInterrupted(), 1);
    const auto visits = j->visits(0);
    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].state, journal::VisitState::Interrupted);
    // The recording's time, not the last action's, two seconds after the start.
    const auto written = *platform::fileModifiedMs(recording);
    EXPECT_EQ(visits[0].ended, platform::isoTime({written, platform::wallNow().offsetMinutes}));
}

// Two programs writing at once: every action of both lands.
TEST(Journal, TwoWritersAtOnceLoseNothing) {
    const std::string path = testsupport::tempDir() + "/journal.sqlite3";
    opened(path);
    constexpr int kActions = 60;
    const auto writer = [&path](std::string* why) {
        std::string opening;
        auto j = Journal::open(path, opening);
        if (!j) return void(*why = opening);
        const auto visit = j->beginVisit({"m797-log 1.0.0", "simulated", "kline", ""});
        for (int i = 0; i < kActions && visit; ++i)
            if (!j->addAction(visit, i, "output", "шаг " + std::to_string(i))) return void(*why = j->problem());
        if (!j->endVisit(visit)) *why = j->problem();
    };
    std::string whyA, whyB;
    std::thread a(writer, &whyA), b(writer, &whyB);
    a.join();
    b.join();
    EXPECT_EQ(whyA, "");
    EXPECT_EQ(whyB, "");
    auto j = opened(path);
    const auto visits = j->visits(0);
    ASSERT_EQ(visits.size(), 2u);
    for (const auto& v : visits) EXPECT_EQ(v.actions, kActions);

    // Programs that make a new journal at the same moment all open it: none
    // takes the tables another has just made for another program's.
    for (int round = 0; round < 40; ++round) {
        const std::string fresh = testsupport::tempDir() + "/new.sqlite3";
        std::array<std::string, 3> why;
        std::vector<std::thread> openers;
        for (std::string& w : why)
            openers.emplace_back([&fresh, &w] {
                if (!Journal::open(fresh, w)) w = "not opened: " + w;
            });
        for (std::thread& t : openers) t.join();
        for (const std::string& w : why) ASSERT_EQ(w, "") << "round " << round;
    }
}

// A file that is no journal, one of a newer program, a damaged one and a
// folder that cannot be made are each said, and no byte of them changes.
TEST(Journal, AnUnusableFileIsSaidAndLeftAsItIs) {
    const std::string dir = testsupport::tempDir();
    const auto refused = [](const std::string& path, const std::string& said) {
        const std::string before = readAll(path);
        std::string why;
        EXPECT_FALSE(Journal::open(path, why)) << path;
        EXPECT_NE(why.find(said), std::string::npos) << why;
        EXPECT_EQ(why.rfind(path, 0), 0u) << why;
        EXPECT_EQ(readAll(path), before) << path;
    };
    writeAll(dir + "/text.sqlite3", std::string(3000, 'x'));
    refused(dir + "/text.sqlite3", "not a journal");
    // Another program's database, with tables of its own.
    const std::string foreign = dir + "/notes.sqlite3";
    sqlite3* notes = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &notes), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(notes, "CREATE TABLE notes (x); INSERT INTO notes VALUES (1);", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(notes);
    refused(foreign, "not a journal");

    // The schema's version is the header's user version (bytes 60..63).
    const std::string newer = dir + "/newer.sqlite3";
    opened(newer);
    writeAll(newer, std::string("\0\0\0\x07", 4), 60);
    refused(newer, "newer version of the program (its schema 7, this one knows 1)");

    const std::string damaged = dir + "/damaged.sqlite3";
    {
        auto j = opened(damaged);
        const auto visit = j->beginVisit({"m797-log 1.0.0", "simulated", "kline", ""});
        for (int i = 0; i < 200; ++i) j->addAction(visit, i, "output", std::string(200, 'a'));
    }
    writeAll(damaged, std::string(3000, '\x5A'), 2 * 4096);  // over the third page, its header too
    refused(damaged, "damaged");

    // Another program in the middle of a long change: said once the wait is over.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(newer.c_str(), &holder), SQLITE_OK);
    writeAll(newer, std::string("\0\0\0\x01", 4), 60);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::string held;
    EXPECT_FALSE(Journal::open(newer, held, 100));
    EXPECT_EQ(held, newer + ": the journal is held by another program");
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_TRUE(Journal::open(newer, held, 100)) << held;

    writeAll(dir + "/plain", "a file, not a folder");
    std::string why;
    EXPECT_FALSE(Journal::open(dir + "/plain/journal.sqlite3", why));
    EXPECT_NE(why.find(dir + "/plain"), std::string::npos) << why;
}

// The recordings kept within the size the user chose: the oldest go first,
// never one of a visit still open (this program's or another's); the
// visits of those removed keep the rest of what they were.
TEST(Journal, RecordingsBeyondTheSizeKeptGoOldestFirstButNeverAnOpenVisits) {
    const std::string path = testsupport::tempDir() + "/journal.sqlite3";
    const std::string folder = journal::recordingsFolder(path);
    std::filesystem::create_directories(std::filesystem::u8path(folder));
    const std::string mb(1024 * 1024, 'r');
    std::vector<std::string> files;
    {
        auto j = opened(path);
        for (int k = 0; k < 4; ++k) {
            files.push_back(folder + "/" + std::to_string(k) + ".m797");
            writeAll(files.back(), mb);
            // Written a minute apart, oldest first.
            std::filesystem::last_write_time(
                std::filesystem::u8path(files.back()),
                std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10 - k));
            const auto v = j->beginVisit({"m797-log 1.0.0", "simulated", "kline", files.back()});
            if (k != 1) j->endVisit(v);  // the second is another program's, still open
        }
    }
    std::vector<std::string> said;
    journal::VisitKeeper keeper([&said](const std::string& s) { said.push_back(s); });
    ASSERT_TRUE(keeper.open(path));
    EXPECT_EQ(keeper.pruneRecordings(0), 0);  // no limit
    EXPECT_EQ(keeper.pruneRecordings(2), 2);  // 4 MB down to 2: the oldest closed ones
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(files[0])));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(files[1])));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(files[2])));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(files[3])));
    EXPECT_EQ(keeper.pruneRecordings(1), 1);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(files[1])));  // still open
    EXPECT_TRUE(said.empty());
    auto j = opened(path);
    const auto visits = j->visits(0);
    ASSERT_EQ(visits.size(), 4u);
    EXPECT_EQ(visits[3].recording, "");  // the oldest: its recording forgotten, the visit kept
    EXPECT_NE(visits[2].recording, "");
}

// A journal held by another program for a while: the writes meanwhile are
// said once and wait; the first write after it brings them in, in their
// order, and says so. Still held at the end, what waits is counted and the
// visit is left for the next program to close.
TEST(Journal, WritesTheJournalRefusedGoInOnceItTakesWritesAgain) {
    const std::string path = testsupport::tempDir() + "/journal.sqlite3";
    opened(path);
    std::vector<std::string> said;
    journal::VisitKeeper keeper([&said](const std::string& s) { said.push_back(s); });
    ASSERT_TRUE(keeper.open(path, 100));
    keeper.begin({"m797-log 1.0.0", "simulated", "kline", ""});
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
    const auto hold = [&] { ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK); };
    hold();
    keeper.action("reset", "сброс ЭБУ");
    keeper.action("codes-cleared", "коды ошибок стёрты");
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    keeper.action("codes-read", "коды ошибок прочитаны: нет");
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[0].find("held by another program; this is missing from the journal"), std::string::npos) << said[0];
    EXPECT_NE(said[1].find("takes writes again"), std::string::npos) << said[1];
    EXPECT_TRUE(keeper.complete());
    hold();
    keeper.action("output", "форсунка 1: включение");
    keeper.end();
    ASSERT_EQ(said.size(), 4u);
    EXPECT_NE(said[3].find("2 of the visit's entries could not be written"), std::string::npos) << said[3];
    EXPECT_FALSE(keeper.complete());
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    auto j = opened(path);
    const auto visits = j->visits(0);
    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].state, journal::VisitState::Open);
    std::vector<std::string> kinds;
    for (const auto& a : j->actions(visits[0].id)) kinds.push_back(a.kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"reset", "codes-cleared", "codes-read"}));

#ifndef _WIN32  // Windows lets no one remove a file a program holds open
    // A journal removed under the program is said as such, not as read-only.
    said.clear();
    journal::VisitKeeper second([&said](const std::string& s) { said.push_back(s); });
    ASSERT_TRUE(second.open(path, 100));
    second.begin({"m797-log 1.0.0", "simulated", "kline", ""});
    std::filesystem::remove(path);
    second.action("reset", "сброс ЭБУ");
    ASSERT_FALSE(said.empty());
    EXPECT_NE(said[0].find("moved or removed while the program ran"), std::string::npos) << said[0];
#endif
}
