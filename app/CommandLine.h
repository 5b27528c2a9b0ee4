// m797-tester's command line.
#pragma once

#include <optional>
#include <string>

#include "platform/SerialLine.h"

namespace app {

struct TesterOptions {
    std::string port = "/dev/ttyS0";
    bool portGiven = false;
    bool simulate = false;
    platform::WakeMethod wake = platform::WakeMethod::SlowByte;
    bool wakeGiven = false;
    std::string settingsPath;  // empty: the default file
    bool anyScreen = false;
    bool help = false;
};

std::optional<TesterOptions> parseTesterArgs(int argc, char** argv, std::string& error);
const char* testerUsage();

}  // namespace app
