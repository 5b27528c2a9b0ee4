#include "app/CommandLine.h"

namespace app {

const char* testerUsage() {
    return "usage: m797-tester [--port DEVICE] [--simulate] [--settings FILE] [--any-screen] [--help]\n"
           "  --port DEVICE    serial port of the K-line adapter (default /dev/ttyS0)\n"
           "  --simulate       talk to the built-in simulated car instead of a port\n"
           "  --settings FILE  keep the settings in FILE (default ~/.config/VELKOR.ini)\n"
           "  --any-screen     start on a screen that is not 1024 pixels wide\n";
}

std::optional<TesterOptions> parseTesterArgs(int argc, char** argv, std::string& error) {
    TesterOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc) {
            o.port = argv[++i];
            o.portGiven = true;
        } else if (a == "--simulate") {
            o.simulate = true;
        } else if (a == "--settings" && i + 1 < argc) {
            o.settingsPath = argv[++i];
        } else if (a == "--any-screen") {
            o.anyScreen = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else {
            error = "unknown or incomplete option: " + a;
            return std::nullopt;
        }
    }
    if (o.portGiven && o.simulate) {
        error = "--port and --simulate exclude each other";
        return std::nullopt;
    }
    return o;
}

}  // namespace app
