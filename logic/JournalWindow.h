// SPDX-License-Identifier: GPL-3.0-or-later
// What the journal's window does, apart from any toolkit: the cars (found
// by any text of their identification), the chosen car's visits newest
// first, the chosen visit's actions; a visit's drive opened for review or
// its report in the browser, and any recording opened through the system's
// open dialog. A journal that cannot be read is said on the window's
// status line; the window stays usable for opening a recording.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "logic/WindowLogic.h"

namespace logic {

class JournalWindow : public ui::WindowLogic {
public:
    struct Acts {
        std::function<void(const std::string& recording)> review;  // a drive opened for review
        std::function<void(const std::string& report)> openReport;
        std::function<void()> openRecording;  // the open dialog
    };
    JournalWindow(std::string journalPath, Acts acts);

    // Reads the journal and shows the newest car's newest visit.
    void open();
    void pressed(int id, bool on) override;
    void chosen(int id, int index) override;
    void typed(int id, const std::string& text) override;

    const std::vector<journal::Car>& cars() const { return cars_; }
    const std::vector<journal::Visit>& visits() const { return visits_; }

private:
    void find(const std::string& text);
    void chooseCar(int row);
    void chooseVisit(int row);
    void say(const std::string& text);

    std::string path_;
    Acts acts_;
    std::unique_ptr<journal::Journal> journal_;
    std::string unusable_;  // why the journal cannot be read
    std::vector<journal::Car> cars_;
    std::vector<journal::Visit> visits_;
    int visit_ = -1;
};

// How the journal's window writes a moment: "09.12.2026 10:15:02" in the
// time of the place it was written.
std::string journalTime(const std::string& iso);

}  // namespace logic
