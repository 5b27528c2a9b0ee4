// SPDX-License-Identifier: GPL-3.0-or-later
// What both programs read from their command line for their serial line
// (--port, --simulate, --replay, --record, --wake, --adapter, --baud), and one way of reading
// options: "--name value" and "--name=value" alike.
#pragma once

#include <functional>
#include <string>

#include "lines/LineFactory.h"
#include "platform/SerialLine.h"
#include "sim/LivingCar.h"

namespace lines {

struct LineOptions {
#ifdef _WIN32
    std::string port = "COM1";
#else
    std::string port = "/dev/ttyS0";
#endif
    bool portGiven = false;
    bool simulate = false;
    sim::CarFaults faults;  // --simulate=FAULTS
    platform::WakeMethod wake = platform::WakeMethod::SlowByte;
    bool wakeGiven = false;
    platform::AdapterKind adapter = platform::AdapterKind::KLine;  // --adapter kline|elm327
    bool adapterGiven = false;
    unsigned elmRate = 38400;  // --baud: an ELM327 adapter's serial rate
    bool elmRateGiven = false;
    std::string record;      // --record FILE
    std::string replay;      // --replay FILE
    bool reconnect = false;  // --reconnect
};

class OptionReader {
public:
    OptionReader(int argc, char** argv) : argc_(argc), argv_(argv) {}

    // Moves to the next argument; false after the last.
    bool next();
    // The option's name: "--port" of both "--port X" and "--port=X".
    const std::string& name() const { return name_; }
    // The option's value (after "=", or the next argument); false, with
    // error set, when it has none.
    bool value(std::string& out, std::string& error);
    // For an option that takes no value: false, with error set, when it was
    // given one ("--simulate=yes").
    bool noValue(std::string& error) const;
    // A flag: sets target, or says why not.
    bool flag(bool& target, std::string& error) const {
        if (!noValue(error)) return false;
        target = true;
        return true;
    }
    // The value after "=", if the option was given one.
    bool inlineValue(std::string& out) const {
        out = inlineValue_;
        return hasInline_;
    }
    // The message for an option nobody knows.
    std::string unknown() const { return "unknown or incomplete option: " + name_; }

private:
    int argc_;
    char** argv_;
    int index_ = 0;
    std::string name_;
    std::string inlineValue_;
    bool hasInline_ = false;
};

// Whether an option was taken: yes, not one of these, or taken but bad.
enum class Taken { Yes, NotMine, Bad };
// Takes the reader's current option if it is one of the line's; Bad with
// error set when its value is.
Taken takeLineOption(OptionReader& reader, LineOptions& options, std::string& error);
// Reads a program's whole command line: the line's options, --help (or -h)
// and --version, and the program's own, which own takes (Yes, Bad with error
// set, or NotMine for one it does not know either). False with error
// set for a bad or unknown option or options that exclude each other.
using OwnOptions = std::function<Taken(OptionReader&, std::string& error)>;
bool readOptions(int argc, char** argv, LineOptions& line, bool& help, bool& version, const OwnOptions& own,
                 std::string& error);
// What the line options say against each other, or empty.
std::string lineOptionsConflict(const LineOptions& options);
// "--adapter elm327 --baud 38400 " for a run through an ELM327 (for a
// recording's header), empty for the K-line.
std::string adapterOptions(const LineOptions& options);
// The request for the line the options name.
LineRequest lineRequest(const LineOptions& options);

}  // namespace lines
