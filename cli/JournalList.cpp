// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JournalList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileAccess.h"
#include "platform/Messages.h"

namespace cli {

namespace {
// A text in a tab-separated cell: its tabs, line ends and other control
// bytes (a terminal's commands among them) as spaces.
std::string cell(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return s;
}
}  // namespace

int printJournal(std::ostream& out, std::ostream& err, const std::string& path) {
    std::string why;
    // Reading a journal that is not there would make one: said instead, as
    // a folder in its place is.
    if (platform::FileReader probe; !probe.open(path, why)) {
        // None there yet is no fault: nothing has kept a visit on this machine.
        if (!platform::fileExists(path) && errno == ENOENT) why = "the journal has no visits yet (--journal keeps one)";
        err << "m797-log: " << platform::forTerminal(path + ": " + why) << std::endl;
        return 1;
    }
    const auto j = journal::Journal::openToRead(path, why);
    if (!j) {
        err << "m797-log: " << platform::forTerminal(why) << std::endl;
        return 1;
    }
    j->closeInterrupted();
    out << "car\tvin\tecu\tvisits\tlast visit\n";
    for (const journal::Car& c : j->cars())
        out << c.id << '\t' << cell(c.vin) << '\t' << cell(c.ecuNumber) << '\t' << c.visits << '\t' << c.lastVisit
            << '\n';
    out << "\nvisit\tcar\tstarted\tended\tstate\tprogram\tport\tadapter\tactions\trecording\treport\n";
    const auto visits = j->visits(0);
    for (const journal::Visit& v : visits)
        out << v.id << '\t' << (v.car ? std::to_string(v.car) : std::string()) << '\t' << v.started << '\t' << v.ended
            << '\t' << journal::stateName(v.state) << '\t' << cell(v.program) << '\t' << cell(v.port) << '\t'
            << v.adapter << '\t' << v.actions << '\t' << cell(v.recording) << '\t' << cell(v.report) << '\n';
    out << "\nvisit\tseconds\tat\tkind\ttext\n";
    for (const journal::Visit& v : visits) {
        for (const journal::Action& a : j->actions(v.id)) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f", a.seconds);
            out << v.id << '\t' << seconds << '\t' << a.at << '\t' << a.kind << '\t' << cell(a.text) << '\n';
        }
    }
    out.flush();
    if (!j->problem().empty()) {
        err << "m797-log: " << platform::forTerminal(j->problem()) << std::endl;
        return 1;
    }
    return 0;
}

}  // namespace cli
