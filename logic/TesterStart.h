// SPDX-License-Identifier: GPL-3.0-or-later
// The tester's start and its exit statuses, whatever toolkit shows the
// window: the command line read (a fault: 2 with the usage; --help and
// --version: 0), the stop signals taken before anything that should be
// stoppable, the line made (a fault: said on the terminal and in a box, 2;
// a stop asked while a recording was read: 130), the screen checked (on
// one of another width only the notice shows, and the terminal hears why),
// then the face's window until the program ends (its status: 0, 130 for a
// stop signal, 1 when the window could not be made).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lines/LineFactory.h"
#include "logic/TesterOptions.h"
#include "logic/WindowLogic.h"
#include "platform/StopSignals.h"

namespace logic {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitSignalled = 130;
inline constexpr int kExitNoWindow = 1;

// What a face does for the start.
class TesterFace {
public:
    virtual ~TesterFace() = default;
    // The toolkit made ready, with the stop signals taken already (a stop
    // asked from now on may end a box's loop as well as the window's).
    virtual void prepare(platform::StopSignals& stop) = 0;
    // An error box before any window (the window's words, UTF-8).
    virtual void errorBox(const std::string& text) = 0;
    // The width of the screen the window would show on, in pixels.
    virtual int screenWidth() = 0;
    // Shows the notice's window instead of the main window until it closes
    // (its time, Escape or its close button): 0, or 130 on a stop signal.
    virtual int runNotice(std::unique_ptr<ui::WindowLogic> notice, platform::StopSignals& stop) = 0;
    // Makes the main window over the line and runs it until the program
    // ends; the status. stop: watched for Ctrl+C, termination and hang-up.
    virtual int runWindow(const TesterOptions& options, lines::MadeLine line, platform::StopSignals& stop) = 0;
};

// args: the program's arguments, its name first (UTF-8).
int runTester(const std::vector<std::string>& args, TesterFace& face);

// The window is laid out for a screen 1024 pixels wide: on another (unless
// --any-screen) only the notice shows, and the terminal hears why and what
// to do (English). Empty when the window may show.
std::string screenRefusal(int screenWidth, bool anyScreen);
// The notice's window: its time (kNoticeMs from its making) closes it, as
// Escape and its close button do.
std::unique_ptr<ui::WindowLogic> noticeWindow();

}  // namespace logic
