#include "app/CommandLine.h"

#include "platform/WakeSequence.h"

namespace app {

const char* testerUsage() {
    return "usage: m797-tester [--port DEVICE] [--simulate] [--wake byte|break] [--settings FILE] [--any-screen]\n"
           "                   [--help]\n"
           "  --port DEVICE      serial port of the K-line adapter (default: the one chosen\n"
           "                     on the settings dialog's port tab, else /dev/ttyS0)\n"
           "  --simulate         talk to the built-in simulated car instead of a port\n"
           "  --wake byte|break  how the ECU is woken: a 0x00 byte at 360 baud (default),\n"
           "                     or a 25 ms break (default: the port tab's choice)\n"
           "  --settings FILE    keep the settings in FILE (default ~/.config/VELKOR.ini)\n"
           "  --any-screen       start on a screen that is not 1024 pixels wide\n"
           "  --help             print this text\n";
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
        } else if (a == "--wake" && i + 1 < argc) {
            if (!platform::parseWakeMethod(argv[++i], o.wake)) {
                error = std::string("bad wake-up method (byte or break): ") + argv[i];
                return std::nullopt;
            }
            o.wakeGiven = true;
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
