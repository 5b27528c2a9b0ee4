// SPDX-License-Identifier: GPL-3.0-or-later
// A program's visit in the journal, as both programs keep it: the journal
// opened (closing the visits of programs no longer running), the visit
// begun, its car, its actions and its report, and its end. A journal that
// cannot be used is said; the program goes on and its recording is kept. A
// write the journal refuses (another program holds it, the disk is full) is
// said, kept, and tried again, in its order, before each later one and at
// the end: the journal gets the whole visit once it takes writes again.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "journal/Journal.h"

namespace journal {

class VisitKeeper {
public:
    explicit VisitKeeper(std::function<void(const std::string&)> say) : say_(std::move(say)) {}

    // Opens the journal (closing the visits of programs no longer running);
    // false, said, when it cannot be used. A write waits up to waitMs for
    // another program that holds the journal.
    bool open(const std::string& path = defaultPath(), int waitMs = 3000);
    void begin(const VisitStart& start);
    void car(const std::vector<std::string>& texts);
    // An action now: its seconds counted from the visit's beginning.
    void action(const std::string& kind, const std::string& text);
    void report(const std::string& path);
    // The visit closed; once. One nothing came of (no car, no action, no
    // report) is taken out of the journal: true then, and its recording
    // holds nothing anyone will look for.
    bool end();
    // Whether every write since the journal opened went in (at the end:
    // nothing was left out).
    bool complete() const { return waiting_.empty(); }
    // The oldest recordings in the journal's folder removed until they hold
    // at most megabytes (0: no limit), never the recording of a visit still
    // open (this one's, or another running program's); their visits keep
    // everything else. How many went.
    int pruneRecordings(std::int64_t megabytes);

private:
    // write tried after every write still waiting; kept to wait when refused.
    void write(std::function<bool()> write);
    bool writeWaiting();
    void check(bool written);

    std::function<void(const std::string&)> say_;
    std::unique_ptr<Journal> journal_;
    std::vector<std::function<bool()>> waiting_;  // refused, in their order
    bool said_ = false;                           // this run of refusals said
    std::int64_t visit_ = 0;
    std::chrono::steady_clock::time_point begun_;
};

// A recording's name in the journal's folder for a visit starting now
// ("recordings/2026-12-09_10-15-02-1234.m797": when, and which program, as
// two may start in the same second); empty when the folder cannot be made,
// said.
std::string newRecordingPath(const std::string& journalPath, const std::function<void(const std::string&)>& say);

}  // namespace journal
