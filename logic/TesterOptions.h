// SPDX-License-Identifier: GPL-3.0-or-later
// m797-tester's command line.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "lines/CommandLine.h"
#include "lines/LineFactory.h"
#include "platform/SerialLine.h"

namespace logic {

struct TesterOptions : lines::LineOptions {
    std::string settingsPath;  // empty: the default file
    bool anyScreen = false;
    int replaySpeed = 1;  // --speed: 1, 2, 4, 8; 0 for "all"
    bool speedGiven = false;
    bool help = false;
    bool version = false;
    std::string manualPath;         // found at the start (logic::findManual); empty: none
    std::string journalPath;        // the journal the session is a visit of; empty: none
    bool journalRecording = false;  // the recording is the journal's own, named for this visit
};

std::optional<TesterOptions> parseTesterArgs(int argc, char** argv, std::string& error);

// The serial line the options name: the port, the simulated car or a
// replayed recording, written to a recording when asked (see
// lines::makeLine for what comes back when it cannot be made).
lines::MadeLine makeLine(const TesterOptions& options, const std::function<bool()>& stopAsked = {});
const char* testerUsage();

}  // namespace logic
