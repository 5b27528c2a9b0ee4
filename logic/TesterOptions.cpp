// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/TesterOptions.h"

#include "platform/WakeSequence.h"

namespace logic {

const char* testerUsage() {
    return "usage: m797-tester [--port DEVICE | --simulate | --replay FILE [--speed N|all]] [--wake byte|break]\n"
#ifdef _WIN32
           "                   [--adapter kline|elm327 [--baud N]] [--record FILE] [--reconnect] [--settings KEY]\n"
#else
           "                   [--adapter kline|elm327 [--baud N]] [--record FILE] [--reconnect] [--settings FILE]\n"
#endif
           "                   [--any-screen] [--help] [--version] [RECORDING]\n"
           "  --port DEVICE      serial port of the adapter (default: the one chosen on the\n"
#ifdef _WIN32
           "                     settings dialog's port tab, else COM1), or\n"
#else
           "                     settings dialog's port tab, else /dev/ttyS0), or\n"
#endif
           "                     tcp:HOST:PORT for a Wi-Fi ELM327 adapter\n"
           "  --adapter KIND     kline: a plain K-line adapter; elm327: an ELM327-type\n"
           "                     adapter (default: the port tab's choice, else kline)\n"
           "  --baud N           an ELM327 adapter's serial rate (default: the port tab's,\n"
           "                     else 38400)\n"
           "  --simulate         talk to the built-in simulated car instead of a port\n"
           "  --simulate=FAULTS  the simulated car with faults, separated by commas:\n"
           "                     weak-charging, lazy-lambda, dead-lambda, worn-catalyst,\n"
           "                     stuck-thermostat, air-leak, misfire, knock, worn-throttle\n"
           "  --wake byte|break  how the ECU is woken: a 0x00 byte at 360 baud, or a 25 ms\n"
           "                     break (default: the port tab's choice, else byte)\n"
           "  --record FILE      write everything said on the wire to FILE, as text\n"
           "  --reconnect        when the link gives up (adapter unplugged, ignition off),\n"
           "                     wait for the port and the ECU and go on (default: the\n"
           "                     port tab's choice, else stop)\n"
           "  --replay FILE      replay a recording made with --record, at its pace\n"
           "  --speed N|all      replay at 1, 2, 4 or 8 times the recorded pace, or all of\n"
           "                     the drive at once, shown for review (default 1)\n"
#ifdef _WIN32
           "  --settings KEY     keep the settings in the registry under\n"
           "                     HKEY_CURRENT_USER\\KEY\\VELKOR (default HKEY_CURRENT_USER\\VELKOR)\n"
#else
           "  --settings FILE    keep the settings in FILE (default ~/.config/VELKOR.ini)\n"
#endif
           "  --any-screen       start on a screen that is not 1024 pixels wide\n"
           "  RECORDING          review a recording: as --replay RECORDING --speed all\n"
           "  --help             print this text\n"
           "  --version          print the version\n"
#ifdef _WIN32
           "Every option's value may also follow an equals sign: --port=COM3.\n";
#else
           "Every option's value may also follow an equals sign: --port=/dev/ttyUSB0.\n";
#endif
}

std::optional<TesterOptions> parseTesterArgs(int argc, char** argv, std::string& error) {
    TesterOptions o;
    bool reviewed = false;
    const auto own = [&o, &reviewed](lines::OptionReader& r, std::string& why) {
        bool ok = true;
        if (r.name() == "--settings") {
            ok = r.value(o.settingsPath, why);
        } else if (r.name() == "--any-screen") {
            ok = r.flag(o.anyScreen, why);
        } else if (r.name() == "--speed") {
            std::string v;
            if (!r.value(v, why)) return lines::Taken::Bad;
            if (v == "all") {
                o.replaySpeed = 0;
            } else if (v == "1" || v == "2" || v == "4" || v == "8") {
                o.replaySpeed = v[0] - '0';
            } else {
                why = "bad replay speed (1, 2, 4, 8 or all): " + v;
                return lines::Taken::Bad;
            }
            o.speedGiven = true;
        } else if (!r.name().empty() && r.name()[0] != '-' && o.replay.empty()) {
            // A file named alone (a recording opened from the file manager)
            // is reviewed: replayed whole at once unless --speed says otherwise.
            o.replay = r.name();
            reviewed = true;
        } else {
            return lines::Taken::NotMine;
        }
        return ok ? lines::Taken::Yes : lines::Taken::Bad;
    };
    if (!lines::readOptions(argc, argv, o, o.help, o.version, own, error)) return std::nullopt;
    if (o.speedGiven && o.replay.empty()) {
        error = "--speed goes with --replay";
        return std::nullopt;
    }
    if (reviewed && !o.speedGiven) o.replaySpeed = 0;
    return o;
}

lines::MadeLine makeLine(const TesterOptions& options, const std::function<bool()>& stopAsked) {
    lines::LineRequest request = lines::lineRequest(options);
    request.realtime = options.replaySpeed != 0;  // the window shows a drive at its pace unless asked
    request.program = "m797-tester " M797_VERSION;
    request.options = lines::adapterOptions(options) + "--wake " + platform::wakeMethodName(options.wake);
    return lines::makeLine(request, stopAsked);
}

}  // namespace logic
