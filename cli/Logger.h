// SPDX-License-Identifier: GPL-3.0-or-later
// m797-log: the link without windows. Prints the link's status changes, the
// identification after each set-up and, per poll pass, one row of readouts,
// as UTF-8 lines on stdout.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ecu/CsvTable.h"
#include "ecu/EcuDecoder.h"
#include "ecu/LiveData.h"
#include "ecu/SessionHistory.h"
#include "lines/CommandLine.h"
#include "link/Com_Port.h"
#include "platform/SerialLine.h"
#include "platform/WallClock.h"

namespace cli {

struct LoggerOptions : lines::LineOptions {
    bool realtime = false;
    long passes = -1;  // -1: until stopped
    bool dtc = false;
    bool journal = false;                         // --journal: the visit kept in the journal
    bool journalList = false;                     // --journal-list: print the journal and end
    std::string csv;                              // --csv FILE
    std::vector<std::string> reports;             // --report FILE (.html or .json), any number
    ecu::CsvStyle csvStyle = ecu::CsvStyle::Rfc;  // --csv-style rfc|excel-ru
    bool help = false;
    bool version = false;
};

// Parses the command line; on a bad argument returns nothing and sets error.
std::optional<LoggerOptions> parseLoggerArgs(int argc, char** argv, std::string& error);
const char* loggerUsage();
// The options that shape a run, as a recording's header names them.
std::string runOptions(const LoggerOptions& options);

// Receives the link's notifications on the link thread and prints them.
class Logger : public klink::LinkObserver {
public:
    enum class Outcome { Running, PassesDone, LinkStopped };

    // err: where the port's troubles go, as "m797-log: DEVICE: REASON".
    Logger(std::ostream& out, const klink::LinkData& data, long passes, std::ostream& err, std::string device);

    void statusWritten(const std::string& text1251) override;
    void identificationRead() override;
    void passCompleted(std::uint64_t passNumber) override;
    void linkStopped() override;
    void portFailed(const std::string& device, const std::string& reason) override;
    void adapterNote(const std::string& text) override;
    // The serial line's own notes (a refused break, say).
    void lineNote(const std::string& text);

    // Waits up to the given time for the run to end; returns how it stands.
    Outcome waitFor(std::chrono::milliseconds timeout);
    // Set by the caller so that the logger can pause the link once done.
    std::function<void()> pauseLink;
    // Called on the link's thread with the identification texts (UTF-8, as
    // shown; empty where their reply had a gap) when the car's came whole.
    std::function<void(const std::vector<std::string>&)> onCar;
    // After each pass that read the codes whole (on the link's thread), so
    // that they are kept as they come, not only at the end.
    std::function<void(const klink::Com_Port::DtcRead&)> onCodes;

    // Where the rows come from: a row per measured pass, decoded into live
    // (a pass with a gap prints its reason on err instead), and each row
    // also to csv, if given, with the wall clock from started on.
    void setRows(const klink::Com_Port& link, const ecu::LiveDataStore& live, platform::WallTime started,
                 std::function<void(const std::string&)> csv = {}, ecu::CsvStyle csvStyle = ecu::CsvStyle::Rfc);
    // Every measured pass also kept in history, as the window keeps it, for
    // the drive's report.
    void keepPasses(ecu::SessionHistory& history, const ecu::EcuDecoder& decoder) {
        history_ = &history;
        decoder_ = &decoder;
    }
    // The error codes after the run: from the last whole answer to the code
    // request, or why there is none (on err). Once the link is shut down.
    void printCodes();

private:
    void finish(Outcome o);
    void printRow(std::uint64_t pass);
    void keep(std::uint64_t pass);

    const klink::Com_Port* link_ = nullptr;
    const ecu::LiveDataStore* live_ = nullptr;
    platform::WallTime started_{};
    std::function<void(const std::string&)> csv_;
    ecu::CsvStyle csvStyle_ = ecu::CsvStyle::Rfc;
    bool headerDone_ = false;
    ecu::SessionHistory* history_ = nullptr;
    const ecu::EcuDecoder* decoder_ = nullptr;
    std::uint32_t reconnectionsKept_ = 0;

    std::ostream& out_;
    std::ostream& err_;
    std::string device_;
    const klink::LinkData& data_;
    long passes_;
    std::string lastStatus_;
    bool anyStatus_ = false;
    std::mutex mutex_;
    std::condition_variable cv_;
    Outcome outcome_ = Outcome::Running;
};

}  // namespace cli
