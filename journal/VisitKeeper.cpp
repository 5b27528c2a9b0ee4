// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/VisitKeeper.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "platform/FileAccess.h"
#include "platform/WallClock.h"

namespace journal {

bool VisitKeeper::open(const std::string& path, int waitMs) {
    std::string why;
    journal_ = Journal::open(path, why, waitMs);
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
    const std::string path = folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + when + "-" +
                             std::to_string(platform::processId()) + ".m797";
    // A folder there that this user may not write (made by another user)
    // leaves the visit unrecorded; the drive goes on.
    std::FILE* probe = platform::openFile(path, "wb");
    if (!probe) {
        say(path + ": " + std::strerror(errno) + "; the visit is not recorded");
        return {};
    }
    std::fclose(probe);
    platform::removeFile(path);
    return path;
}

void VisitKeeper::check(bool written) {
    if (written || !journal_) return;
    // Said once for each run of refusals: a box at every press while
    // another program holds the journal would say nothing new.
    if (!said_) say_(journal_->problem() + "; this is missing from the journal");
    said_ = true;
}

bool VisitKeeper::writeWaiting() {
    while (!waiting_.empty()) {
        if (!waiting_.front()()) return false;
        waiting_.erase(waiting_.begin());
    }
    if (said_) say_("the journal takes writes again; what was missing from it is in it now");
    said_ = false;
    return true;
}

void VisitKeeper::write(std::function<bool()> write) {
    if (!journal_) return;
    const bool written = writeWaiting() && write();
    if (!written) waiting_.push_back(std::move(write));
    check(written);
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
    if (visit_) write([this, visit = visit_, texts] { return journal_->setCar(visit, texts); });
}

void VisitKeeper::action(const std::string& kind, const std::string& text) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun_).count();
    if (visit_)
        write([this, visit = visit_, seconds, kind, text] { return journal_->addAction(visit, seconds, kind, text); });
}

void VisitKeeper::report(const std::string& path) {
    if (visit_)
        write(
            [this, visit = visit_, named = platform::absolutePath(path)] { return journal_->setReport(visit, named); });
}

bool VisitKeeper::end() {
    bool forgotten = false;
    if (journal_ && visit_) {
        write([this, visit = visit_] { return journal_->endVisit(visit); });
        // Still refused at the end: the visit stays open in the journal, and
        // is closed as interrupted by the next program that opens it.
        if (!waiting_.empty())
            say_(std::to_string(waiting_.size()) +
                 " of the visit's entries could not be written to the journal; the drive's recording has them");
        else
            forgotten = journal_->forgetIfEmpty(visit_);
    }
    visit_ = 0;
    return forgotten;
}

int VisitKeeper::pruneRecordings(std::int64_t megabytes) {
    if (!journal_ || megabytes <= 0) return 0;
    namespace fs = std::filesystem;
    // A file as the journal names it and as the folder lists it may be
    // spelled differently ("C:/a\\b", "C:\\a\\b"): compared in one form.
    const auto same = [](const fs::path& p) { return p.lexically_normal().make_preferred(); };
    std::error_code ec;
    const fs::path folder = fs::u8path(recordingsFolder(journal_->path()));
    std::set<fs::path> open;
    for (const Visit& v : journal_->openVisits()) open.insert(same(fs::u8path(v.recording)));
    std::map<fs::path, std::vector<std::string>> named;  // as each visit names it
    for (const Visit& v : journal_->visits(0))
        if (!v.recording.empty()) named[same(fs::u8path(v.recording))].push_back(v.recording);
    struct Found {
        fs::file_time_type written;
        fs::path path;
        std::uintmax_t size;
    };
    std::vector<Found> found;
    std::uintmax_t total = 0;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (!e.is_regular_file(ec) || e.path().extension() != ".m797") continue;
        const std::uintmax_t size = e.file_size(ec);
        total += size;
        if (!open.count(same(e.path()))) found.push_back({e.last_write_time(ec), e.path(), size});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.written < b.written; });
    const auto limit = static_cast<std::uintmax_t>(megabytes) * 1024 * 1024;
    int removed = 0;
    for (const Found& f : found) {
        if (total <= limit) break;
        if (!fs::remove(f.path, ec)) continue;
        total -= f.size;
        ++removed;
        for (const std::string& name : named[same(f.path)]) check(journal_->forgetRecording(name));
        if (!journal_) break;
    }
    return removed;
}

}  // namespace journal
