#include "logic/TesterOptions.h"

#include "platform/WakeSequence.h"

namespace logic {

const char* testerUsage() {
    return "usage: m797-tester [--port DEVICE | --simulate | --replay FILE] [--wake byte|break] [--record FILE]\n"
           "                   [--settings FILE] [--any-screen] [--help] [--version]\n"
           "  --port DEVICE      serial port of the K-line adapter (default: the one chosen\n"
           "                     on the settings dialog's port tab, else /dev/ttyS0)\n"
           "  --simulate         talk to the built-in simulated car instead of a port\n"
           "  --wake byte|break  how the ECU is woken: a 0x00 byte at 360 baud (default),\n"
           "                     or a 25 ms break (default: the port tab's choice)\n"
           "  --record FILE      write everything said on the wire to FILE, as text\n"
           "  --replay FILE      replay a recording made with --record, at its pace\n"
           "  --settings FILE    keep the settings in FILE (default ~/.config/VELKOR.ini)\n"
           "  --any-screen       start on a screen that is not 1024 pixels wide\n"
           "  --help             print this text\n"
           "  --version          print the version\n";
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
        } else if (a == "--record" && i + 1 < argc) {
            o.record = argv[++i];
        } else if (a == "--replay" && i + 1 < argc) {
            o.replay = argv[++i];
        } else if (a == "--settings" && i + 1 < argc) {
            o.settingsPath = argv[++i];
        } else if (a == "--any-screen") {
            o.anyScreen = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else {
            error = "unknown or incomplete option: " + a;
            return std::nullopt;
        }
    }
    if (o.portGiven + o.simulate + !o.replay.empty() > 1) {
        error = "--port, --simulate and --replay exclude each other";
        return std::nullopt;
    }
    if (!o.replay.empty() && !o.record.empty()) {
        error = "a replay cannot be recorded again";
        return std::nullopt;
    }
    return o;
}

lines::MadeLine makeLine(const TesterOptions& options, const std::function<bool()>& stopAsked) {
    lines::LineRequest request;
    request.source = options.simulate          ? lines::Source::Simulation
                     : !options.replay.empty() ? lines::Source::Replay
                                               : lines::Source::Port;
    request.port = options.port;
    request.replay = options.replay;
    request.realtime = true;  // the window shows a drive at its pace
    request.wake = options.wake;
    request.record = options.record;
    request.program = "m797-tester " M797_VERSION;
    request.options = std::string("--wake ") + platform::wakeMethodName(options.wake);
    return lines::makeLine(request, stopAsked);
}

}  // namespace logic
