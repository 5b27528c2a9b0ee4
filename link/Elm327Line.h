// SPDX-License-Identifier: GPL-3.0-or-later
// The line through an ELM327-type adapter. Such an adapter makes the K-line
// wake-up and the framing itself and speaks hex text, so this line turns
// each request frame the link writes into the adapter's command and each
// answer back into the bytes a K-line adapter would have passed: the
// request's echo, then the answer's header, data and checksum as they came.
// Whatever the adapter says that is not data ("NO DATA", "?", "BUFFER
// FULL", ...) passes no byte: the link sees an answer missing, as on the
// K-line, and the reason is noted once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SerialLine.h"

namespace klink {

// The rate most of these adapters are set to.
constexpr unsigned kElmDefaultRate = 38400;

// What one answer of the adapter held.
struct ElmAnswer {
    std::vector<std::uint8_t> bytes;  // the data lines' bytes, in order
    std::string trouble;              // the first line that was no data ("NO DATA"), or empty
    bool prompt = false;              // the adapter's ">" came: it is ready for the next command
    bool initOk = false;              // "BUS INIT: OK" was among the lines
    bool initUnderWay = false;        // "BUS INIT: ..." came, and neither OK nor ERROR yet
    bool ok = false;                  // "OK" was: a setting taken
};
// Reads the adapter's text for the command it answers (an echo of the
// command, which some adapters keep, is no line of the answer).
ElmAnswer readElmAnswer(const std::string& text, const std::string& command);
// An adapter's text as it may be shown and recorded: printable ASCII, cut
// at 32 characters.
std::string adapterWords(const std::string& text);

class Elm327Line : public platform::SerialLine {
public:
    // port: the serial port or network line the adapter is on (not owned).
    explicit Elm327Line(platform::SerialLine& port, unsigned rate = kElmDefaultRate);

    // How long the adapter may take: to restart (AT Z), to answer a command
    // or a request, and to make its wake-up and StartCommunication (AT FI).
    static constexpr std::chrono::milliseconds kResetTime{2500};
    static constexpr std::chrono::milliseconds kCommandTime{1000};
    static constexpr std::chrono::milliseconds kRequestTime{2000};
    // How long in all an adapter that has said it is waking the ECU may
    // take to finish: some print the dots of "BUS INIT: ..." one by one
    // and need longer than a request's time.
    static constexpr std::chrono::milliseconds kWakeUpTime{5000};
    // The most text an answer is read to.
    static constexpr std::size_t kLongestAnswer = 4096;

    // Opens the port and sets the adapter up; false, with the reason kept,
    // when no such adapter answers or it cannot speak to this ECU.
    bool open() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override { pending_.clear(); }
    void wakeUp() override;
    void interrupt() override;
    bool devicePresent() const override { return port_.devicePresent(); }
    std::string name() const override { return port_.name(); }
    std::string failureReason() const override;
    std::string openedAs() const override;
    std::string wokenBy() const override;
    void setDevice(const std::string& device) override { port_.setDevice(device); }
    void setPortRate(unsigned baud) override { rate_ = baud; }

    // Whether an ELM327 answers on a port a K-line adapter was expected on:
    // the port is opened at the adapter's rate and asked who it is, then
    // closed. Used to tell the user which adapter to choose.
    static bool answersOn(platform::SerialLine& port, unsigned rate = kElmDefaultRate);

private:
    // Sends one command line and reads the answer up to the prompt or time.
    ElmAnswer command(const std::string& text, std::chrono::milliseconds time, std::string* raw = nullptr);
    bool setUp();
    bool refuse(const std::string& reason);
    bool stopping() const { return interrupted_.load(std::memory_order_relaxed) || port_.wasInterrupted(); }

    platform::SerialLine& port_;
    unsigned rate_;
    std::string version_;
    std::string reason_;
    bool fastInitKnown_ = true;
    std::string wokenBy_;
    std::vector<std::uint8_t> pending_;
    std::atomic<bool> interrupted_{false};
    bool closed_ = false;    // the last command's connection closed under it
    bool overlong_ = false;  // the last command's answer ran past kLongestAnswer
};

}  // namespace klink
