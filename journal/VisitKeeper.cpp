// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/VisitKeeper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileAccess.h"
#include "platform/WallClock.h"

namespace journal {

bool VisitKeeper::open(const std::string& path) {
    std::string why;
    journal_ = Journal::open(path, why);
    if (!journal_) {
        say_(why + "; the visit is not kept in the journal");
        return false;
    }
    journal_->closeInterrupted();
    return true;
}

std::string newRecordingPath(const std::string& journalPath, const std::function<void(const std::string&)>& say) {
    const std::string folder = recordingsFolder(journalPath);
    if (!platform::makeFolders(folder)) {
        say(folder + ": " + std::strerror(errno) + "; the visit is not recorded");
        return {};
    }
    std::string when = platform::headerTime(platform::wallNow()).substr(0, 19);
    for (char& c : when) c = c == ' ' ? '_' : (c == ':' ? '-' : c);
    return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + when + "-" +
           std::to_string(platform::processId()) + ".m797";
}

void VisitKeeper::check(bool written) {
    if (written || !journal_) return;
    say_(journal_->problem() + "; the journal is not written from here on");
    journal_.reset();
}

void VisitKeeper::begin(const VisitStart& start) {
    if (!journal_) return;
    begun_ = std::chrono::steady_clock::now();
    VisitStart named = start;
    named.recording = platform::absolutePath(start.recording);
    visit_ = journal_->beginVisit(named);
    check(visit_ != 0);
}

void VisitKeeper::car(const std::vector<std::string>& texts) {
    if (journal_ && visit_) check(journal_->setCar(visit_, texts));
}

void VisitKeeper::action(const std::string& kind, const std::string& text) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun_).count();
    if (journal_ && visit_) check(journal_->addAction(visit_, seconds, kind, text));
}

void VisitKeeper::report(const std::string& path) {
    if (journal_ && visit_) check(journal_->setReport(visit_, platform::absolutePath(path)));
}

void VisitKeeper::end() {
    if (journal_ && visit_) check(journal_->endVisit(visit_));
}

}  // namespace journal
