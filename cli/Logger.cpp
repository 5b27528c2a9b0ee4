// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Logger.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/LogRows.h"
#include "diagnosis/Report.h"
#include "ecu/CsvTable.h"
#include "ecu/Identification.h"
#include "platform/Cp1251.h"
#include "platform/FileAccess.h"
#include "platform/Messages.h"
#include "platform/WakeSequence.h"

namespace cli {

const char* loggerUsage() {
    return "usage: m797-log [--port DEVICE | --simulate | --replay FILE [--realtime]] [--wake byte|break]\n"
           "                [--adapter kline|elm327 [--baud N]] [--record FILE] [--csv FILE [--csv-style "
           "rfc|excel-ru]]\n"
           "                [--report FILE] [--reconnect] [--passes N] [--dtc] [--journal] [--help] [--version]\n"
           "       m797-log --journal-list\n"
#ifdef _WIN32
           "  --port DEVICE      serial port of the adapter (default COM1), or tcp:HOST:PORT\n"
#else
           "  --port DEVICE      serial port of the adapter (default /dev/ttyS0), or tcp:HOST:PORT\n"
#endif
           "                     for a Wi-Fi ELM327 adapter (commonly tcp:192.168.0.10:35000)\n"
           "  --adapter KIND     kline: a plain K-line adapter (default); elm327: an\n"
           "                     ELM327-type adapter (USB, Bluetooth or Wi-Fi)\n"
           "  --baud N           an ELM327 adapter's serial rate (default 38400)\n"
           "  --simulate         talk to the built-in simulated car instead of a port\n"
           "  --simulate=FAULTS  the simulated car with faults, separated by commas:\n"
           "                     weak-charging, lazy-lambda, dead-lambda, worn-catalyst,\n"
           "                     stuck-thermostat, air-leak, misfire, knock, worn-throttle\n"
           "  --record FILE      write everything said on the wire to FILE, as text\n"
           "  --replay FILE      replay a recording made with --record instead of a port\n"
           "  --realtime         replay at the recorded pace (default: as fast as it goes)\n"
           "  --csv FILE         also write the rows to FILE as a table for a spreadsheet,\n"
           "                     with units and wall-clock times\n"
           "  --csv-style STYLE  rfc: commas and decimal points (default); excel-ru: for a\n"
           "                     Russian spreadsheet (semicolons, decimal commas, Russian\n"
           "                     dates, units and captions, UTF-8 with a byte-order mark)\n"
           "  --report FILE      at the end, judge the drive and write its report to FILE:\n"
           "                     .html for people (prints on A4), .json for programs;\n"
           "                     may be given more than once (with --dtc, the codes too)\n"
           "  --wake byte|break  how the ECU is woken: a 0x00 byte at 360 baud (default),\n"
           "                     or a 25 ms break\n"
           "  --reconnect        when the link gives up (adapter unplugged, ignition off),\n"
           "                     wait for the port and the ECU and go on (default: stop)\n"
           "  --passes N         stop after N poll passes (0: right after connecting)\n"
           "  --dtc              also read the stored error codes; print them at the end\n"
           "  --journal          keep the visit in the journal of visits (the car, the\n"
           "                     codes read, the report), recorded there unless --record\n"
           "  --journal-list     print the journal's cars, visits and actions as tables\n"
           "  --help             print this text\n"
           "  --version          print the version\n"
#ifdef _WIN32
           "Every option's value may also follow an equals sign: --port=COM3.\n";
#else
           "Every option's value may also follow an equals sign: --port=/dev/ttyUSB0.\n";
#endif
}

std::string runOptions(const LoggerOptions& o) {
    std::string s = lines::adapterOptions(o) + "--wake " + platform::wakeMethodName(o.wake);
    if (o.reconnect) s += " --reconnect";
    if (o.dtc) s += " --dtc";
    if (o.passes >= 0) s += " --passes " + std::to_string(o.passes);
    return s;
}

std::optional<LoggerOptions> parseLoggerArgs(int argc, char** argv, std::string& error) {
    LoggerOptions o;
    const auto own = [&o](lines::OptionReader& r, std::string& why) {
        bool ok = true;
        if (r.name() == "--passes") {
            std::string v;
            if (!r.value(v, why)) return lines::Taken::Bad;
            char* end = nullptr;
            errno = 0;
            const long count = std::strtol(v.c_str(), &end, 10);
            if (errno || *end || v.empty() || count < 0) {
                why = "bad pass count: " + v;
                return lines::Taken::Bad;
            }
            o.passes = count;
        } else if (r.name() == "--csv") {
            ok = r.value(o.csv, why);
        } else if (r.name() == "--report") {
            std::string v;
            if (!r.value(v, why)) return lines::Taken::Bad;
            if (!diagnosis::reportKindOf(v)) {
                why = "bad report name: " + v + " (it must end in .html or .json)";
                return lines::Taken::Bad;
            }
            o.reports.push_back(v);
        } else if (r.name() == "--csv-style") {
            std::string v;
            if (!r.value(v, why)) return lines::Taken::Bad;
            const auto style = ecu::csvStyleNamed(v);
            if (!style) {
                why = "bad table style: " + v + " (rfc or excel-ru)";
                return lines::Taken::Bad;
            }
            o.csvStyle = *style;
        } else if (r.name() == "--realtime") {
            ok = r.flag(o.realtime, why);
        } else if (r.name() == "--dtc") {
            ok = r.flag(o.dtc, why);
        } else if (r.name() == "--journal") {
            ok = r.flag(o.journal, why);
        } else if (r.name() == "--journal-list") {
            ok = r.flag(o.journalList, why);
        } else {
            return lines::Taken::NotMine;
        }
        return ok ? lines::Taken::Yes : lines::Taken::Bad;
    };
    if (!lines::readOptions(argc, argv, o, o.help, o.version, own, error)) return std::nullopt;
    if (o.realtime && o.replay.empty()) {
        error = "--realtime goes with --replay";
        return std::nullopt;
    }
    // Each file written is a file of its own, and none is the drive replayed.
    std::vector<std::pair<std::string, std::string>> files;  // (the file, what it is)
    if (!o.replay.empty()) files.push_back({o.replay, "--replay"});
    if (!o.record.empty()) files.push_back({o.record, "--record"});
    if (!o.csv.empty()) files.push_back({o.csv, "--csv"});
    for (const std::string& r : o.reports) files.push_back({r, "--report"});
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t k = 0; k < i; ++k)
            if (platform::absolutePath(platform::resolvedPath(files[i].first)) ==
                platform::absolutePath(platform::resolvedPath(files[k].first))) {
                error = files[k].second + " and " + files[i].second + " name the same file: " + files[i].first;
                return std::nullopt;
            }
    return o;
}

Logger::Logger(std::ostream& out, const klink::LinkData& data, long passes, std::ostream& err, std::string device)
    : out_(out), err_(err), device_(std::move(device)), data_(data), passes_(passes) {}

void Logger::portFailed(const std::string& device, const std::string& reason) {
    err_ << "m797-log: " << device << ": " << platform::forTerminal(reason) << std::endl;
}

void Logger::adapterNote(const std::string& text) { lineNote(text); }

void Logger::lineNote(const std::string& text) {
    err_ << "m797-log: " << device_ << ": " << platform::forTerminal(text) << std::endl;
}

void Logger::statusWritten(const std::string& text1251) {
    if (anyStatus_ && text1251 == lastStatus_) return;
    anyStatus_ = true;
    lastStatus_ = text1251;
    out_ << "status: " << cp1251::toUtf8(text1251) << std::endl;
}

void Logger::setRows(const klink::Com_Port& link, const ecu::LiveDataStore& live, platform::WallTime started,
                     std::function<void(const std::string&)> csv, ecu::CsvStyle csvStyle) {
    link_ = &link;
    live_ = &live;
    started_ = started;
    csv_ = std::move(csv);
    csvStyle_ = csvStyle;
}

void Logger::identificationRead() {
    const auto texts = data_.identText.getAll();
    // A text is printed only from a reply that came whole; the others are said.
    static constexpr const char* kRequests[klink::Com_Port::kIdentReplyCount] = {"21 A1", "21 A2", "21 A3", "1A 80"};
    if (link_) {
        for (std::size_t r = 0; r < klink::Com_Port::kIdentReplyCount; ++r) {
            const std::string& gap = link_->identGaps()[r];
            if (!gap.empty()) lineNote(std::string("identification not read (") + kRequests[r] + ": " + gap + ")");
        }
    }
    std::vector<std::string> whole(texts.size());
    for (std::size_t k = 0; k < texts.size(); ++k) {
        if (link_ && !link_->identGaps()[ecu::identSourceReply(k)].empty()) continue;
        whole[k] = cp1251::toUtf8(klink::shownText(texts[k]));
        out_ << "ident " << k << ": " << whole[k] << std::endl;
    }
    // The car is known by its first two texts, when both came whole.
    if (onCar && !whole[0].empty() && !whole[1].empty()) onCar(whole);
    if (passes_ == 0) finish(Outcome::PassesDone);
}

void Logger::passCompleted(std::uint64_t passNumber) {
    if (onCodes && link_ && link_->dtcRead().answered) onCodes(link_->dtcRead());
    if (passes_ >= 0 && passNumber > static_cast<std::uint64_t>(passes_)) return;
    keep(passNumber);
    printRow(passNumber);
    if (passes_ > 0 && passNumber == static_cast<std::uint64_t>(passes_)) finish(Outcome::PassesDone);
}

void Logger::keep(std::uint64_t pass) {
    if (!history_ || !link_ || !link_->passGap().empty()) return;
    ecu::PassRecord r;
    r.pass = pass;
    r.timeMs = link_->passTimeMs();
    r.thrBefore = decoder_->thrBeforeLastPass();
    const std::uint32_t reconnections = data_.reconnections.load(std::memory_order_acquire);
    r.afterGap = reconnections != reconnectionsKept_ && !history_->empty();
    reconnectionsKept_ = reconnections;
    r.liveData01 = link_->liveData01Reply();
    r.liveData03 = link_->liveData03Reply();
    history_->add(r);
}

void Logger::printRow(std::uint64_t pass) {
    if (!link_ || !live_) return;
    // A row only for a pass that measured: never the last values again.
    if (const std::string& gap = link_->passGap(); !gap.empty()) {
        lineNote("pass " + std::to_string(pass) + " measured nothing (" + gap + ")");
        return;
    }
    if (!headerDone_) out_ << logHeader() << "\n";
    headerDone_ = true;
    // The row's time is its own live data's, whatever else the pass did.
    const std::int64_t ms = link_->passTimeMs();
    out_ << live_->read([pass, ms](const ecu::LiveData& d) { return logRow(pass, ms, d); }) << std::endl;
    if (csv_) {
        const platform::WallTime at = started_.later(ms);
        csv_(live_->read([&](const ecu::LiveData& d) { return ecu::csvRow(pass, ms, at, d, csvStyle_); }));
    }
}

void Logger::printCodes() {
    if (!link_) return;
    const klink::Com_Port::DtcRead& codes = link_->dtcRead();
    if (codes.reads == 0) {
        lineNote("error codes not read: the drive ended before a pass read them");
        return;
    }
    if (!codes.answered) {
        lineNote("error codes not read (18: " + codes.lastGap + ")");
        return;
    }
    if (!codes.lastGap.empty())
        lineNote("error codes as last answered whole; the last of " + std::to_string(codes.reads) +
                 " reads brought no whole answer (18: " + codes.lastGap + ")");
    for (const auto& l : logDtcLines(codes.bytes)) out_ << l << "\n";
    out_.flush();
}

void Logger::linkStopped() { finish(Outcome::LinkStopped); }

void Logger::finish(Outcome o) {
    if (pauseLink && o == Outcome::PassesDone) pauseLink();
    std::lock_guard<std::mutex> lock(mutex_);
    if (outcome_ == Outcome::Running) outcome_ = o;
    cv_.notify_all();
}

Logger::Outcome Logger::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, timeout, [this] { return outcome_ != Outcome::Running; });
    return outcome_;
}

}  // namespace cli
