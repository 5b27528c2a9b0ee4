// SPDX-License-Identifier: GPL-3.0-or-later
#include "lines/CommandLine.h"

#include "platform/TcpLine.h"
#include "platform/WakeSequence.h"

namespace lines {

bool OptionReader::next() {
    if (++index_ >= argc_) return false;
    const std::string a = argv_[index_];
    const auto equals = a.find('=');
    hasInline_ = a.rfind("--", 0) == 0 && equals != std::string::npos;
    name_ = hasInline_ ? a.substr(0, equals) : a;
    inlineValue_ = hasInline_ ? a.substr(equals + 1) : std::string();
    return true;
}

bool OptionReader::value(std::string& out, std::string& error) {
    if (hasInline_) {
        out = inlineValue_;
    } else if (index_ + 1 >= argc_) {
        error = unknown();
        return false;
    } else {
        out = argv_[++index_];
    }
    // No file, port or number is named by nothing.
    if (out.empty()) error = name_ + " needs a value";
    return !out.empty();
}

bool OptionReader::noValue(std::string& error) const {
    if (!hasInline_) return true;
    error = name_ + " takes no value";
    return false;
}

Taken takeLineOption(OptionReader& r, LineOptions& o, std::string& error) {
    const std::string& n = r.name();
    std::string v;
    if (n == "--port") {
        if (!r.value(o.port, error)) return Taken::Bad;
        o.portGiven = true;
    } else if (n == "--simulate") {
        // The car may be given faults: --simulate=lazy-lambda,air-leak.
        o.simulate = true;
        if (r.inlineValue(v)) {
            const auto faults = sim::parseCarFaults(v, error);
            if (!faults) return Taken::Bad;
            o.faults = *faults;
        }
    } else if (n == "--wake") {
        if (!r.value(v, error)) return Taken::Bad;
        if (!platform::parseWakeMethod(v, o.wake)) {
            error = "bad wake-up method (byte or break): " + v;
            return Taken::Bad;
        }
        o.wakeGiven = true;
    } else if (n == "--adapter") {
        if (!r.value(v, error)) return Taken::Bad;
        if (v == "kline" || v == "k-line") {
            o.adapter = platform::AdapterKind::KLine;
        } else if (v == "elm327" || v == "elm") {
            o.adapter = platform::AdapterKind::Elm327;
        } else {
            error = "bad adapter (kline or elm327): " + v;
            return Taken::Bad;
        }
        o.adapterGiven = true;
    } else if (n == "--baud") {
        if (!r.value(v, error)) return Taken::Bad;
        const bool digits = !v.empty() && v.size() <= 7 && v.find_first_not_of("0123456789") == std::string::npos;
        const unsigned long rate = digits ? std::stoul(v) : 0;
        if (rate < 1200 || rate > 4000000) {
            error = "bad serial rate (1200 to 4000000 baud): " + v;
            return Taken::Bad;
        }
        o.elmRate = static_cast<unsigned>(rate);
        o.elmRateGiven = true;
    } else if (n == "--reconnect") {
        if (!r.flag(o.reconnect, error)) return Taken::Bad;
    } else if (n == "--record") {
        if (!r.value(o.record, error)) return Taken::Bad;
    } else if (n == "--replay") {
        if (!r.value(o.replay, error)) return Taken::Bad;
    } else {
        return Taken::NotMine;
    }
    return Taken::Yes;
}

bool readOptions(int argc, char** argv, LineOptions& line, bool& help, bool& version, const OwnOptions& own,
                 std::string& error) {
    OptionReader r(argc, argv);
    while (r.next()) {
        Taken taken = takeLineOption(r, line, error);
        if (taken == Taken::NotMine) {
            bool* flag = r.name() == "--help" || r.name() == "-h" ? &help
                         : r.name() == "--version"                ? &version
                                                                  : nullptr;
            if (flag) taken = r.flag(*flag, error) ? Taken::Yes : Taken::Bad;
        }
        if (taken == Taken::NotMine) taken = own(r, error);
        if (taken == Taken::NotMine) error = r.unknown();
        if (taken != Taken::Yes) return false;
    }
    error = lineOptionsConflict(line);
    return error.empty();
}

std::string lineOptionsConflict(const LineOptions& o) {
    if (o.portGiven + o.simulate + !o.replay.empty() > 1) return "--port, --simulate and --replay exclude each other";
    if (!o.replay.empty() && !o.record.empty()) return "a replay cannot be recorded again";
    std::string host, port;
    if (o.portGiven && platform::isTcpName(o.port) && !platform::splitTcpName(o.port, host, port))
        return "not a network address: write tcp:HOST:PORT";
    if (o.adapter == platform::AdapterKind::KLine && o.portGiven && platform::isTcpName(o.port))
        return "a K-line adapter is not reached over the network: give --adapter elm327 for a Wi-Fi adapter";
    return {};
}

std::string adapterOptions(const LineOptions& o) {
    if (o.adapter != platform::AdapterKind::Elm327) return {};
    return "--adapter elm327 --baud " + std::to_string(o.elmRate) + " ";
}

LineRequest lineRequest(const LineOptions& o) {
    LineRequest request;
    request.source = o.simulate ? Source::Simulation : !o.replay.empty() ? Source::Replay : Source::Port;
    request.port = o.port;
    request.replay = o.replay;
    request.wake = o.wake;
    request.adapter = o.adapter;
    request.elmRate = o.elmRate;
    request.record = o.record;
    request.faults = o.faults;
    return request;
}

}  // namespace lines
