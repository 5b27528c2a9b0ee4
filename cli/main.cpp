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

#include "cli/DriveReport.h"
#include "cli/JournalList.h"
#include "cli/LogRows.h"
#include "cli/Logger.h"
#include "diagnosis/Report.h"
#include "ecu/CsvTable.h"
#include "ecu/EcuDecoder.h"
#include "journal/VisitKeeper.h"
#include "lines/LineFactory.h"
#include "link/Com_Port.h"
#include "link/RecordingLine.h"
#include "platform/FileAccess.h"
#include "platform/Messages.h"
#include "platform/StopSignals.h"
#include "platform/WallClock.h"

using namespace cli;

namespace {

void say(const std::string& text) { std::cerr << "m797-log: " << platform::forTerminal(text) << std::endl; }

// The table for a spreadsheet: the header at once, a row per measured pass,
// each on the disk at once. A failed write ends the table, not the run.
class TableFile {
public:
    TableFile(std::string path, ecu::CsvStyle style) : path_(std::move(path)), style_(style) {}
    ~TableFile() {
        if (file_) std::fclose(file_);
    }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;
    // False, said, when the file cannot be made.
    bool open() {
        file_ = platform::openFile(path_, "wb");  // CRLF written as is on every system
        if (!file_) {
            say(path_ + ": " + std::strerror(errno));
            return false;
        }
        write(ecu::csvHeader(style_));
        return true;
    }
    void write(const std::string& text) {
        if (!file_) return;
        if (std::fputs(text.c_str(), file_) < 0 || std::fflush(file_) != 0) {
            say(path_ + ": " + std::strerror(errno) + "; the table ends here");
            std::fclose(file_);
            file_ = nullptr;
            failed_ = true;
            // The table ends with its last whole row, not a part of this one.
            platform::truncateFile(path_, written_);
            return;
        }
        written_ += text.size();
    }
    bool failed() const { return failed_; }

private:
    std::string path_;
    ecu::CsvStyle style_;
    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;  // bytes of whole rows on the disk
    bool failed_ = false;
};

// Waits for the run to end: the passes asked for (0), a replay run out (0),
// a link that gave up (1), or a stop signal (130).
int awaitEnd(Logger& logger, const platform::SerialLine& line, platform::StopSignals& stopSignals,
             const std::string& device) {
    for (;;) {
        const auto outcome = logger.waitFor(std::chrono::milliseconds(50));
        if (outcome == Logger::Outcome::PassesDone) return 0;
        if (outcome == Logger::Outcome::LinkStopped) {
            // A replay that ran out of recording ends as asked; a link that
            // gave up does not.
            if (!line.ended()) return 1;
            say(device + ": " + platform::forTerminal("end of the recording"));
            return 0;
        }
        if (stopSignals.waitFor(std::chrono::milliseconds(0))) return 130;
    }
}

// The report a person opens from the journal: the page, if one was written.
std::string htmlFirst(const std::vector<std::string>& reports) {
    for (const std::string& r : reports)
        if (diagnosis::reportKindOf(r) == diagnosis::ReportKind::Html) return r;
    return reports.front();
}

}  // namespace

int main(int argc, char** argv) {
    // File names as UTF-8 on both systems (a Cyrillic recording name on Windows).
    std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    std::vector<char*> args;
    for (std::string& a : arguments) args.push_back(a.data());
    args.push_back(nullptr);
    std::string error;
    auto options = parseLoggerArgs(argc, args.data(), error);
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
    if (options->journalList) return printJournal(std::cout, std::cerr);

    // Ctrl+C and termination are taken by the loop below, so that the link
    // can be ended at an exchange boundary and the port closed.
    platform::StopSignals stopSignals;
    platform::prepareUtf8Output();

    // The visit kept in the journal is recorded beside it, unless another
    // recording was asked for; a journal that cannot be used is said, and
    // the drive is recorded all the same.
    journal::VisitKeeper visits(say);
    bool journalRecording = false;
    bool journalOpen = false;
    if (options->journal) {
        journalOpen = visits.open();
        // A replay's visit keeps the recording replayed.
        journalRecording = options->record.empty() && options->replay.empty();
        if (journalRecording) options->record = journal::newRecordingPath(journal::defaultPath(), say);
    }

    lines::LineRequest request = lines::lineRequest(*options);
    request.realtime = options->realtime;
    request.program = "m797-log " M797_VERSION;
    request.options = runOptions(*options);
    // Ctrl+C ends even a reading that waits for a pipe's writer.
    lines::MadeLine made = lines::makeLine(request, [&stopSignals] { return stopSignals.asked(); });
    if (!made.line && made.error.empty()) return 130;  // stopped while reading
    if (!made.line) {
        say(made.error);
        return 2;
    }
    std::unique_ptr<platform::SerialLine> line = std::move(made.line);
    // The logger's messages name what the user named: the port, the recording.
    const std::string device = options->simulate          ? "simulated"
                               : !options->replay.empty() ? options->replay
                                                          : options->port;
    // A failed write ends the recording, not the run: said once, and the
    // exit status tells at the end.
    if (made.recorder) made.recorder->setFailureReport(say);
    std::optional<TableFile> table;
    if (!options->csv.empty() && !table.emplace(options->csv, options->csvStyle).open()) return 2;
    // A report that could not be written is said now, not after the drive:
    // a file is made beside each as it will be at the end, and taken away.
    for (const std::string& path : options->reports) {
        if (platform::isFolder(path)) {
            say(path + ": a folder, not a file; the report is not written");
            return 2;
        }
        std::FILE* f = platform::openFile(path + ".part", "wb");
        if (!f) {
            say(path + ": " + std::strerror(errno) + "; the report is not written");
            return 2;
        }
        std::fclose(f);
        platform::removeFile(path + ".part");
    }

    visits.begin({"m797-log " M797_VERSION, device,
                  options->adapter == platform::AdapterKind::Elm327 ? "elm327" : "kline",
                  options->replay.empty() ? options->record : platform::absolutePath(options->replay)});

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
    std::function<void(const std::string&)> rowsToTable;
    if (table) rowsToTable = [&table](const std::string& row) { table->write(row); };
    logger.setRows(link, live, made.started, rowsToTable, options->csvStyle);
    // The drive kept for its report: the same bounded history the window keeps.
    std::unique_ptr<ecu::SessionHistory> kept;
    if (!options->reports.empty()) logger.keepPasses(*(kept = std::make_unique<ecu::SessionHistory>()), decoder);
    // A replayed drive that reconnected replays its reconnection as well.
    link.setReconnect(options->reconnect || made.reconnects);
    logger.pauseLink = [&link] { link.pause(); };
    logger.onCar = [&visits](const std::vector<std::string>& texts) { visits.car(texts); };
    // The codes kept in the journal as they come (a run killed later keeps
    // them), once for each reading that differs from the one before.
    std::string codesKept;
    logger.onCodes = [&visits, &codesKept](const klink::Com_Port::DtcRead& codes) {
        const std::string text = diagnosis::codesRead(codes.bytes.data(), codes.bytes.size());
        if (text == codesKept) return;
        codesKept = text;
        visits.action("codes-read", text);
    };
    if (options->dtc) klink::post(data.command.dtcReadRequest);

    link.start();
    int status = awaitEnd(logger, *line, stopSignals, device);
    link.shutdown();
    if (options->dtc) logger.printCodes();
    if (kept) {
        if (writeReports(options->reports, *kept, link, data, made.started, options->dtc, !options->replay.empty(),
                         "m797-log " M797_VERSION, say))
            visits.report(htmlFirst(options->reports));
        else if (status == 0)
            status = 3;
    }
    // An incomplete recording or table has a status of its own, where the run itself went well.
    if (made.recorder && !made.recorder->finish() && status == 0) status = 3;
    if (table && table->failed() && status == 0) status = 3;
    // A visit nothing came of takes the journal's recording of it along.
    if (visits.end() && journalRecording) platform::removeFile(options->record);
    // A journal that missed the visit, or a part of it, is a file left incomplete.
    if (((options->journal && !journalOpen) || !visits.complete()) && status == 0) status = 3;
    stopSignals.ended();
    return status;
}
