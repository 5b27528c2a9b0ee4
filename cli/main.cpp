// SPDX-License-Identifier: GPL-3.0-or-later
// m797-log: polls the ECU without windows and writes what it reads to stdout.
#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/LogRows.h"
#include "cli/Logger.h"
#include "ecu/CsvTable.h"
#include "ecu/EcuDecoder.h"
#include "lines/LineFactory.h"
#include "link/Com_Port.h"
#include "link/RecordingLine.h"
#include "platform/FileAccess.h"
#include "platform/Messages.h"
#include "platform/StopSignals.h"
#include "platform/WallClock.h"

using namespace cli;

int main(int argc, char** argv) {
    // File names as UTF-8 on both systems (a Cyrillic recording name on Windows).
    std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    std::vector<char*> args;
    for (std::string& a : arguments) args.push_back(a.data());
    args.push_back(nullptr);
    std::string error;
    const auto options = parseLoggerArgs(argc, args.data(), error);
    if (!options) {
        std::cerr << "m797-log: " << platform::forTerminal(error) << "\n" << platform::forTerminal(loggerUsage());
        return 2;
    }
    if (options->help) {
        std::cout << platform::forTerminal(loggerUsage());
        return 0;
    }
    if (options->version) {
        std::cout << "m797-log " M797_VERSION "\n";
        return 0;
    }

    // Ctrl+C and termination are taken by the loop below, so that the link
    // can be ended at an exchange boundary and the port closed.
    platform::StopSignals stopSignals;
    platform::prepareUtf8Output();

    lines::LineRequest request = lines::lineRequest(*options);
    request.realtime = options->realtime;
    request.program = "m797-log " M797_VERSION;
    request.options = runOptions(*options);
    // Ctrl+C ends even a reading that waits for a pipe's writer.
    lines::MadeLine made = lines::makeLine(request, [&stopSignals] { return stopSignals.asked(); });
    if (!made.line && made.error.empty()) return 130;  // stopped while reading
    if (!made.line) {
        std::cerr << "m797-log: " << platform::forTerminal(made.error) << "\n";
        return 2;
    }
    std::unique_ptr<platform::SerialLine> line = std::move(made.line);
    // The logger's messages name what the user named: the port, the recording.
    const std::string device = options->simulate          ? "simulated"
                               : !options->replay.empty() ? options->replay
                                                          : options->port;
    if (made.recorder) {
        // A failed write ends the recording, not the run: said once, and
        // the exit status tells at the end.
        made.recorder->setFailureReport(
            [](const std::string& why) { std::cerr << "m797-log: " << platform::forTerminal(why) << std::endl; });
    }

    // The table for a spreadsheet: the header now, a row per measured pass,
    // each on the disk at once. A failed write ends the table, not the run.
    std::FILE* csv = nullptr;
    bool csvFailed = false;
    auto csvWrite = [&](const std::string& text) {
        if (!csv) return;
        if (std::fputs(text.c_str(), csv) < 0 || std::fflush(csv) != 0) {
            std::cerr << "m797-log: "
                      << platform::forTerminal(options->csv + ": " + std::strerror(errno) + "; the table ends here")
                      << std::endl;
            std::fclose(csv);
            csv = nullptr;
            csvFailed = true;
        }
    };
    if (!options->csv.empty()) {
        csv = platform::openFile(options->csv, "wb");  // CRLF written as is on every system
        if (!csv) {
            std::cerr << "m797-log: " << options->csv << ": " << platform::forTerminal(std::strerror(errno)) << "\n";
            return 2;
        }
        csvWrite(ecu::csvHeader());
    }
    const platform::WallTime started = made.started;

    klink::LinkData data;
    ecu::LiveDataStore live;
    live.write([](ecu::LiveData& d) {
        d.setFlagNames();
        return 0;
    });
    ecu::EcuDecoder decoder(live);  // the logger always writes a decimal point
    Logger logger(std::cout, data, options->passes, std::cerr, device);
    line->setNoteSink([&logger](const std::string& text) { logger.lineNote(text); });
    std::optional<klink::RecordingObserver> recordingObserver;
    klink::LinkObserver* observer = &logger;
    if (made.recorder) observer = &recordingObserver.emplace(*made.recorder, &logger);
    klink::Com_Port link(*line, data, &decoder, observer);
    logger.setRows(link, live, started, csv ? std::function<void(const std::string&)>(csvWrite) : nullptr);
    // A replayed drive that reconnected replays its reconnection as well.
    link.setReconnect(options->reconnect || made.reconnects);
    logger.pauseLink = [&link] { link.pause(); };
    if (options->dtc) klink::post(data.command.dtcReadRequest);

    link.start();
    int status = 130;
    for (;;) {
        const auto outcome = logger.waitFor(std::chrono::milliseconds(50));
        if (outcome == Logger::Outcome::PassesDone) {
            status = 0;
            break;
        }
        if (outcome == Logger::Outcome::LinkStopped) {
            // A replay that ran out of recording ends as asked; a link that
            // gave up does not.
            status = line->ended() ? 0 : 1;
            if (line->ended())
                std::cerr << "m797-log: " << device << ": " << platform::forTerminal("end of the recording") << "\n";
            break;
        }
        if (stopSignals.waitFor(std::chrono::milliseconds(0))) break;
    }
    link.shutdown();
    if (options->dtc) logger.printCodes();
    if (csv) std::fclose(csv);
    // An incomplete recording or table has a status of its own, where the run itself went well.
    if (made.recorder && !made.recorder->finish() && status == 0) status = 3;
    if (csvFailed && status == 0) status = 3;
    stopSignals.ended();
    return status;
}
