// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/JournalWindow.h"

#include <cstdio>

#include "diagnosis/Report.h"
#include "platform/FileAccess.h"
#include "platform/Messages.h"

namespace logic {

namespace {

const char* stateText(journal::VisitState s) {
    switch (s) {
        case journal::VisitState::Open:
            return "идёт";
        case journal::VisitState::Closed:
            return "закончен";
        case journal::VisitState::Interrupted:
            break;
    }
    return "прерван";
}

// The identification's body text ("Кузов"), where the ECU gave one.
std::string carName(const journal::Car& c) {
    return c.texts.size() > 9 ? diagnosis::withoutPadding(c.texts[9]) : std::string();
}

}  // namespace

std::string journalTime(const std::string& iso) {
    // "2026-12-09T10:15:02.345+03:00"
    if (iso.size() < 19 || iso[4] != '-' || iso[10] != 'T') return iso;
    return iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4) + " " + iso.substr(11, 8);
}

JournalWindow::JournalWindow(std::string journalPath, Acts acts)
    : WindowLogic(ui::journalWindow()), path_(std::move(journalPath)), acts_(std::move(acts)) {}

void JournalWindow::say(const std::string& text) { show(ui::kJournalStatus).text = platform::forWindow(text); }

void JournalWindow::open() {
    // A journal not yet made is no fault: there is nothing in it.
    if (platform::fileExists(path_)) journal_ = journal::Journal::openToRead(path_, unusable_);
    // Visits whose program has gone since are shown as interrupted, not as
    // going on (nothing changes in a journal only read).
    if (journal_) journal_->closeInterrupted();
    find("");
}

void JournalWindow::find(const std::string& text) {
    cars_ = journal_ ? journal_->cars(text) : std::vector<journal::Car>{};
    // The visits no identification came in are a car of their own, last.
    if (const std::size_t unknown = journal_ && text.empty() ? journal_->visits(journal::kNoCar).size() : 0) {
        journal::Car none;
        none.id = journal::kNoCar;
        none.vin = "без идентификации";
        none.visits = static_cast<int>(unknown);
        cars_.push_back(none);
    }
    std::vector<std::vector<ui::Cell>>& rows = show(ui::kJournalCars).rows;
    rows.clear();
    for (const journal::Car& c : cars_)
        rows.push_back({{c.vin}, {c.ecuNumber}, {carName(c)}, {std::to_string(c.visits)}, {journalTime(c.lastVisit)}});
    std::vector<std::string>& entries = show(ui::kJournalSearch).entries;
    if (text.empty()) {
        entries.clear();
        for (const journal::Car& c : cars_)
            if (c.id != journal::kNoCar) entries.push_back(c.vin);
    }
    if (!journal_ && !unusable_.empty())
        say(unusable_);
    else if (journal_ && !journal_->problem().empty())
        say(journal_->problem());
    else if (cars_.empty())
        say(text.empty() ? "the journal has no visits yet" : "no car's identification holds " + text);
    else
        show(ui::kJournalStatus).text.clear();
    chooseCar(cars_.empty() ? -1 : 0);
}

void JournalWindow::chooseCar(int row) {
    show(ui::kJournalCars).value = row;
    visits_ = row >= 0 && journal_ ? journal_->visits(cars_[static_cast<std::size_t>(row)].id)
                                   : std::vector<journal::Visit>{};
    std::vector<std::vector<ui::Cell>>& rows = show(ui::kJournalVisits).rows;
    rows.clear();
    for (const journal::Visit& v : visits_)
        rows.push_back({{journalTime(v.started)},
                        {journalTime(v.ended)},
                        {stateText(v.state)},
                        {v.port},
                        {v.adapter == "elm327" ? "ELM327" : "K-line"},
                        {std::to_string(v.actions)}});
    chooseVisit(visits_.empty() ? -1 : 0);
}

void JournalWindow::chooseVisit(int row) {
    visit_ = row;
    show(ui::kJournalVisits).value = row;
    const journal::Visit* v = row >= 0 ? &visits_[static_cast<std::size_t>(row)] : nullptr;
    show(ui::kJournalActions).value = -1;
    std::vector<std::vector<ui::Cell>>& rows = show(ui::kJournalActions).rows;
    rows.clear();
    if (v && journal_) {
        for (const journal::Action& a : journal_->actions(v->id)) {
            char at[32];
            std::snprintf(at, sizeof at, "%.1f", a.seconds);
            rows.push_back({{at}, {a.text}});
        }
    }
    // A file removed since (the size limit, or by hand) cannot be opened.
    show(ui::kJournalReplay).enabled = v && !v->recording.empty() && platform::fileExists(v->recording);
    show(ui::kJournalReport).enabled = v && !v->report.empty() && platform::fileExists(v->report);
    // The tip names the file, and why the button is grey when it is gone.
    const auto tip = [](const std::string& path, bool there) {
        return path.empty() || there ? path : path + " — файла больше нет";
    };
    show(ui::kJournalReplay).tip = v ? tip(v->recording, shown(ui::kJournalReplay).enabled) : std::string();
    show(ui::kJournalReport).tip = v ? tip(v->report, shown(ui::kJournalReport).enabled) : std::string();
}

void JournalWindow::pressed(int id, bool) {
    const journal::Visit* v = visit_ >= 0 ? &visits_[static_cast<std::size_t>(visit_)] : nullptr;
    switch (id) {
        case ui::kJournalFind:
            find(shown(ui::kJournalSearch).text);
            break;
        case ui::kJournalReplay:
            if (v && shown(ui::kJournalReplay).enabled && acts_.review) acts_.review(v->recording);
            break;
        case ui::kJournalReport:
            if (v && shown(ui::kJournalReport).enabled && acts_.openReport) acts_.openReport(v->report);
            break;
        case ui::kJournalOpenFile:
            if (acts_.openRecording) acts_.openRecording();
            break;
        case ui::kJournalExit:
            askClose();
            break;
        default:
            break;
    }
}

void JournalWindow::chosen(int id, int index) {
    if (id == ui::kJournalCars && index >= 0 && static_cast<std::size_t>(index) < cars_.size()) chooseCar(index);
    if (id == ui::kJournalVisits && index >= 0 && static_cast<std::size_t>(index) < visits_.size()) chooseVisit(index);
    if (id == ui::kJournalActions && index >= 0 &&
        static_cast<std::size_t>(index) < shown(ui::kJournalActions).rows.size())
        show(id).value = index;
    // A car picked from the search list is searched for.
    if (id == ui::kJournalSearch && index >= 0 &&
        static_cast<std::size_t>(index) < shown(ui::kJournalSearch).entries.size()) {
        const std::string vin = shown(ui::kJournalSearch).entries[static_cast<std::size_t>(index)];
        show(ui::kJournalSearch).text = vin;
        find(vin);
    }
}

void JournalWindow::typed(int id, const std::string& text) {
    if (id == ui::kJournalSearch) show(id).text = text;
}

}  // namespace logic
