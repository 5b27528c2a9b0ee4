// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/TesterStart.h"

#include <iostream>

#include "journal/VisitKeeper.h"
#include "logic/MainWindow.h"
#include "logic/StoredSettings.h"
#include "logic/WindowTables.h"
#include "platform/FileAccess.h"
#include "platform/Messages.h"

namespace logic {

namespace {

void say(const std::string& text, bool error) {
    std::ostream& out = error ? std::cerr : std::cout;
    out << text;
    out.flush();
}

}  // namespace

int runTester(const std::vector<std::string>& args, TesterFace& face) {
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(a.data());
    std::string error;
    auto options = parseTesterArgs(static_cast<int>(argv.size()), argv.data(), error);
    if (!options) {
        say("m797-tester: " + platform::forTerminal(error) + "\n" + platform::forTerminal(testerUsage()), true);
        return kExitUsage;
    }
    if (options->help) {
        say(platform::forTerminal(testerUsage()), false);
        return 0;
    }
    if (options->version) {
        say("m797-tester " M797_VERSION "\n", false);
        return 0;
    }
    // Ctrl+C, termination and a closed terminal end the program as "Выход"
    // does (open windows close, outputs are released, the link is stopped
    // and joined, the port closed), as they end the logger.
    platform::StopSignals stop;
    face.prepare(stop);
    // On a screen the window does not fit only the notice shows: the
    // notice is in the window's words; the terminal hears why and what to
    // do. Nothing talks to the car, and no file is made or written over.
    if (const std::string why = screenRefusal(face.screenWidth(), options->anyScreen); !why.empty()) {
        say("m797-tester: " + platform::forTerminal(why) + "\n", true);
        const int status = face.runNotice(noticeWindow(), stop);
        stop.ended();
        return status;
    }
    options->manualPath = findManual(platform::executableDir());
    // A session with a car is a visit in the journal, recorded into its
    // folder unless --record names another file; a replay is none.
    if (options->replay.empty() &&
        stored::loadJournalChoice(platform::SettingsStore(options->settingsPath.empty()
                                                              ? platform::SettingsStore::defaultPath()
                                                              : options->settingsPath))
            .record) {
        options->journalPath = journal::defaultPath();
        if (options->record.empty()) {
            options->record = journal::newRecordingPath(options->journalPath, [](const std::string& why) {
                say("m797-tester: " + platform::forTerminal(why) + "\n", true);
            });
            options->journalRecording = !options->record.empty();
        }
    }
    // A recording that is a pipe may keep the reading waiting: a signal ends it.
    lines::MadeLine line = makeLine(*options, [&stop] { return stop.asked(); });
    int status = 0;
    if (!line.line && line.error.empty()) {
        status = kExitSignalled;
    } else if (!line.line) {
        say("m797-tester: " + platform::forTerminal(line.error) + "\n", true);
        face.errorBox(platform::forWindow(line.error));
        status = stop.asked() ? kExitSignalled : kExitUsage;
    } else {
        status = face.runWindow(*options, std::move(line), stop);
    }
    stop.ended();
    return status;
}

std::unique_ptr<ui::WindowLogic> noticeWindow() {
    class NoticeWindow : public ui::WindowLogic {
    public:
        NoticeWindow() : WindowLogic(ui::resolutionNotice()) {}
        int tickMs() const override { return ui::kNoticeMs; }
        void tick() override { askClose(); }
    };
    return std::make_unique<NoticeWindow>();
}

std::string screenRefusal(int screenWidth, bool anyScreen) {
    if (anyScreen || screenWidth == ui::mainWindow().width) return {};
    return "the screen is " + std::to_string(screenWidth) + " pixels wide, not " +
           std::to_string(ui::mainWindow().width) + ": the program shows its notice and ends in " +
           std::to_string(ui::kNoticeMs / 1000) + " s (--any-screen starts it on any screen)";
}

}  // namespace logic
