// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of visits: every car the tester has talked to (by its
// identification), every session with it (a visit: when, which program,
// port and adapter, its recording and report) and every action on the car
// with its time (codes read and cleared, outputs switched, resets,
// adjustments). One SQLite file that several programs may use at once; each
// change is one transaction, so a program killed at any moment leaves the
// file whole, and its visit is closed as interrupted by the next program
// that opens the journal. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace journal {

// The journal's file in the programs' data folder.
std::string defaultPath();
// Where the visits' recordings go: "recordings" beside the journal's file.
std::string recordingsFolder(const std::string& journalPath);

struct VisitStart {
    std::string program;    // "m797-tester 1.0.0"
    std::string port;       // "/dev/ttyUSB0", "tcp:192.168.0.10:35000", "simulated", the replayed file
    std::string adapter;    // "kline", "elm327"
    std::string recording;  // the visit's recording, if one is made
};

enum class VisitState { Open, Closed, Interrupted };
inline constexpr std::int64_t kNoCar = -1;

struct Car {
    std::int64_t id = 0;
    std::string vin;                 // the first identification text, as the ECU gives it
    std::string ecuNumber;           // the second
    std::vector<std::string> texts;  // all the identification texts
    std::string lastVisit;           // when the newest visit began (ISO 8601)
    int visits = 0;
};

struct Visit {
    std::int64_t id = 0;
    std::int64_t car = 0;  // 0: no identification came
    std::string started, ended;
    VisitState state = VisitState::Open;
    std::string program, port, adapter, recording, report;
    int actions = 0;
};

struct Action {
    std::string at;      // the wall clock (ISO 8601)
    double seconds = 0;  // since the visit began
    std::string kind;    // "codes-read", "codes-cleared", "output", "reset", "adjustment"; a command the
                         // ECU refused or left unanswered: its kind + "-failed"
    std::string text;    // what it was, in words
};

class Journal {
public:
    // The journal at path, made (with its folder) where there is none. Null
    // when it cannot be used, with why (English, naming the file): held by
    // another program for longer than waitMs, read-only, not a
    // journal, damaged, or written by a newer version of the program. Such
    // a file is left as it is.
    static std::unique_ptr<Journal> open(const std::string& path, std::string& why, int waitMs = 3000,
                                         bool readOnly = false);
    // The same to be read: a journal the system lets nobody write (a copy
    // handed over, a file made read-only) is read all the same, and changes
    // to it fail.
    static std::unique_ptr<Journal> openToRead(const std::string& path, std::string& why);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Closes as interrupted the visits left open by programs that no longer
    // run (killed, or a computer that lost power); how many.
    int closeInterrupted();

    // A visit beginning now; 0 when it could not be written (problem says).
    std::int64_t beginVisit(const VisitStart& start);
    // The car of the visit, by its identification texts (the first two name
    // it); made at its first visit. The first identification of a visit
    // names its car; a later one of another car (the adapter moved to
    // another car mid-visit) is an action of the visit.
    bool setCar(std::int64_t visit, const std::vector<std::string>& texts);
    bool addAction(std::int64_t visit, double seconds, const std::string& kind, const std::string& text);
    bool setRecording(std::int64_t visit, const std::string& path);
    bool setReport(std::int64_t visit, const std::string& path);
    // A recording removed (the user's size limit): its visits keep the rest.
    bool forgetRecording(const std::string& path);
    bool endVisit(std::int64_t visit);
    // The visit taken out if nothing came of it: no car identified, no
    // action, no report (a port that would not open, an ECU that never
    // answered). Whether it went.
    bool forgetIfEmpty(std::int64_t visit);

    // The cars, the newest visit first; with search, those whose
    // identification holds it (in any letter case of the Latin letters).
    std::vector<Car> cars(const std::string& search = {}) const;
    // A car's visits, newest first (car 0: every visit; kNoCar: those no
    // identification came in).
    std::vector<Visit> visits(std::int64_t car) const;
    std::vector<Action> actions(std::int64_t visit) const;
    // The visits still open (being written by a running program).
    std::vector<Visit> openVisits() const;
    // The car's (by its first two identification texts) newest visit that
    // began before beforeMs (ms since 1970) and has a recording other than
    // the one named: the drive to compare with. None: id 0.
    Visit previousDrive(const std::string& vin, const std::string& ecuNumber, std::int64_t beforeMs,
                        const std::string& notRecording) const;

    // Why the last change or read failed (English), or empty.
    const std::string& problem() const { return problem_; }
    const std::string& path() const { return path_; }

    static constexpr int kSchemaVersion = 1;

private:
    Journal(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    bool fail() const;

    sqlite3* db_;
    std::string path_;
    mutable std::string problem_;
};

const char* stateName(VisitState s);

}  // namespace journal
