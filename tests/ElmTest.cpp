// SPDX-License-Identifier: GPL-3.0-or-later
// ELM327-type adapters: the line that speaks their text, the simulated ones
// with the clones' ways, and the logger through them against the same ECU.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <future>
#include <optional>
#include <set>
#include <sstream>

#include "link/Com_Port.h"
#include "link/Elm327Line.h"
#include "link/RequestCatalogue.h"
#include "platform/TcpLine.h"
#include "sim/PtyPeer.h"
#include "sim/TcpPeer.h"
#include "tests/TestSupport.h"

namespace {

// An adapter that takes every setting and answers each request with the
// text it is given.
class ScriptedElm : public platform::SerialLine {
public:
    std::string answer;
    bool slowFirst = false;  // the first prompt comes after its command's time, at the next command
    bool silent = false;     // nothing ever comes back
    bool vanished = false;   // the device went away
    std::string later;       // comes laterAfter after a request's answer began
    std::chrono::milliseconds laterAfter{0};
    std::atomic<int> lines{0};
    int reads = 0;
    bool open() override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool gone() const override { return vanished; }
    void write(const std::uint8_t* data, std::size_t size) override {
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] != '\r') {
                typed_.push_back(static_cast<char>(data[i]));
                continue;
            }
            const std::string line = typed_;
            typed_.clear();
            ++lines;
            std::string text = line == "ATZ"              ? "\r\rELM327 v1.5\r\r>"
                               : line.rfind("AT", 0) == 0 ? "OK\r\r>"
                               : line.empty()             ? "\r>"
                                                          : answer;
            if (slowFirst && lines == 1) text.clear();
            if (slowFirst && lines == 2) text = "\r>" + text;
            if (!silent) coming_.insert(coming_.end(), text.begin(), text.end());
            if (text == answer) due_ = platform::Clock::now() + laterAfter;
        }
    }
    // Up to a prompt at most: what follows it comes later.
    std::size_t read(std::uint8_t* buffer, std::size_t max) override {
        ++reads;
        if (!later.empty() && due_ && platform::Clock::now() >= *due_) {
            coming_.insert(coming_.end(), later.begin(), later.end());
            due_.reset();
        }
        std::size_t n = 0;
        while (n < max && !coming_.empty() && !vanished) {
            buffer[n++] = static_cast<std::uint8_t>(coming_.front());
            coming_.pop_front();
            if (buffer[n - 1] == '>') break;
        }
        return n;
    }
    void purgeReceive() override { coming_.clear(); }
    void wakeUp() override {}
    void interrupt() override { endRests(); }

private:
    bool open_ = false;
    std::string typed_;
    std::deque<char> coming_;
    std::optional<platform::Clock::time_point> due_;
};

struct Exchange {
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> notes;
};

Exchange exchangeWith(const std::string& answer) {
    ScriptedElm port;
    port.answer = answer;
    klink::Elm327Line line(port);
    Exchange e;
    line.setNoteSink([&e](const std::string& t) { e.notes.push_back(t); });
    EXPECT_TRUE(line.open()) << line.failureReason();
    const klink::RequestFrame f = klink::makeRequest({0x21, 0x03}, 40);
    line.write(f.data(), f.length);
    e.bytes.resize(64);
    e.bytes.resize(line.read(e.bytes.data(), e.bytes.size()));
    return e;
}

std::vector<std::uint8_t> echoAnd(std::vector<std::uint8_t> reply) {
    const klink::RequestFrame f = klink::makeRequest({0x21, 0x03}, 40);
    // Byte by byte: GCC 12 misreads a range insert here (-Warray-bounds).
    std::vector<std::uint8_t> all;
    for (std::size_t i = 0; i < f.length; ++i) all.push_back(f.bytes[i]);
    for (std::uint8_t b : reply) all.push_back(b);
    return all;
}

std::string logger(const std::string& args) {
    std::string command = M797_LOG_PATH;
    command += ' ';
    command += args;
    command += " 2>&1";
    return testsupport::runCommand(command).out;
}

// A run whose line lost the identification's or the codes' reply to the
// machine's load (said by the logger, and rightly printed without them) is
// run again, twice at most: the comparison is of values, not of timing. An
// adapter that always loses them still fails.
std::string wholeRun(const std::string& args) {
    std::string out;
    for (int attempt = 0; attempt < 3; ++attempt) {
        out = logger(args);
        if (out.find("identification not read") == std::string::npos &&
            out.find("error codes not read") == std::string::npos)
            break;
    }
    return out;
}

// The rows without their pass number and time, the identification and the
// codes: what the ECU's bytes gave, whichever way they came. Each line once:
// a run on a loaded machine may lose a pass and read the identification
// again after reconnecting, and that is the line's timing, not its values.
std::string values(const std::string& out) {
    std::istringstream in(out);
    std::string line, result;
    std::set<std::string> seen;
    while (std::getline(in, line)) {
        if (line.rfind("m797-log:", 0) == 0) continue;  // the line's notes differ by adapter
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            const auto first = line.find(',');
            line.erase(0, line.find(',', first + 1));
        }
        if (seen.insert(line).second) result += line + "\n";
    }
    return result;
}

}  // namespace

TEST(Elm327, DataLinesPassAsTheirBytesAndEveryOtherWordPassesNone) {
    const std::vector<std::uint8_t> frame = {0x83, 0xF1, 0x10, 0x61, 0x03, 0x00, 0xE8};
    // The forms an answer comes in: spaced, packed, split over lines, after
    // the adapter's own wake-up, with the echo a clone keeps.
    for (const char* text : {"83 F1 10 61 03 00 E8 \r\r>", "83F1106103 00E8\r\r>", "83 F1 10 61\r\n03 00 E8\r\n\r\n>",
                             "BUS INIT: OK\r83 F1 10 61 03 00 E8 \r\r>", "2103\r83 F1 10 61 03 00 E8 \r\r>"}) {
        const Exchange e = exchangeWith(text);
        EXPECT_EQ(e.bytes, echoAnd(frame)) << text;
        EXPECT_TRUE(e.notes.empty()) << text << ": " << e.notes.front();
    }
    // Anything else is no answer: the request's echo alone, and why, once.
    for (const char* word : {"NO DATA", "?", "STOPPED", "BUFFER FULL", "BUS INIT: ...ERROR", "CAN ERROR", "BUS ERROR",
                             "UNABLE TO CONNECT", "83 F1 10 61 03 00 E9 <DATA ERROR"}) {
        const Exchange e = exchangeWith(std::string(word) + "\r\r>");
        EXPECT_EQ(e.bytes, echoAnd({})) << word;
        ASSERT_EQ(e.notes.size(), 1u) << word;
        EXPECT_NE(e.notes[0].find(word), std::string::npos) << e.notes[0];
    }
    // Nor does an answer with no data, a flood, or a word with control
    // characters (said as printable text: it reaches the terminal and a
    // recording's notes).
    for (const auto& [text, said] : std::vector<std::pair<std::string, std::string>>{
             {"OK\r\r>", "no data and no reason"},
             {std::string(5000, '4') + ">", "more text than any answer holds"},
             {"\x1b[31mRED\r\r>", "the adapter said \"?[31mRED\""}}) {
        const Exchange e = exchangeWith(text);
        EXPECT_EQ(e.bytes, echoAnd({})) << said;
        ASSERT_EQ(e.notes.size(), 1u) << said;
        EXPECT_NE(e.notes[0].find(said), std::string::npos) << e.notes[0];
    }
    // An answer without its header (a clone that drops AT H1) says so.
    const Exchange headless = exchangeWith("61 03 00\r\r>");
    ASSERT_EQ(headless.notes.size(), 1u);
    EXPECT_NE(headless.notes[0].find("AT H1"), std::string::npos) << headless.notes[0];
    // A wake-up is done at its "OK", not at its dots.
    EXPECT_TRUE(klink::readElmAnswer("BUS INIT: ...", "ATFI").initUnderWay);
    EXPECT_FALSE(klink::readElmAnswer("BUS INIT: ...", "ATFI").initOk);
    EXPECT_TRUE(klink::readElmAnswer("BUS INIT: ...OK\r\r>", "ATFI").initOk);
    // A bare prompt, or an answer that never ends: no bytes either.
    EXPECT_EQ(exchangeWith("\r\r>").bytes, echoAnd({}));
    const Exchange unfinished = exchangeWith("83 F1 10 61 03 00 E8");
    EXPECT_EQ(unfinished.bytes, echoAnd({}));
    ASSERT_EQ(unfinished.notes.size(), 1u);
    EXPECT_NE(unfinished.notes[0].find("did not finish"), std::string::npos);
}

TEST(Elm327, NeitherASlowAdapterNorAGonePortNorTheProgramsEndIsSaidAsTheAdaptersFault) {
    // A wake-up under way past a request's time ("BUS INIT: ", the dots
    // slowly) is let finish, and its answer is the request's.
    {
        ScriptedElm port;
        port.answer = "BUS INIT: ...";
        port.later = "OK\r83 F1 10 61 03 00 E8 \r\r>";
        port.laterAfter = klink::Elm327Line::kRequestTime + std::chrono::milliseconds(300);
        klink::Elm327Line line(port);
        std::vector<std::string> notes;
        line.setNoteSink([&notes](const std::string& t) { notes.push_back(t); });
        ASSERT_TRUE(line.open()) << line.failureReason();
        const klink::RequestFrame f = klink::makeRequest({0x21, 0x03}, 40);
        line.write(f.data(), f.length);
        std::vector<std::uint8_t> bytes(64);
        bytes.resize(line.read(bytes.data(), bytes.size()));
        EXPECT_EQ(bytes, echoAnd({0x83, 0xF1, 0x10, 0x61, 0x03, 0x00, 0xE8}));
        EXPECT_TRUE(notes.empty()) << notes.front();
    }
    // The prompt of the first bare return comes late, in the restart's time:
    // the restart's own answer is still read.
    ScriptedElm slow;
    slow.slowFirst = true;
    klink::Elm327Line slowLine(slow);
    ASSERT_TRUE(slowLine.open()) << slowLine.failureReason();
    EXPECT_NE(slowLine.openedAs().find("ELM327 v1.5"), std::string::npos) << slowLine.openedAs();

    // The device goes: a request and a wake-up end at once, and add nothing
    // to the port's own word that it went.
    std::vector<std::string> notes;
    slowLine.setNoteSink([&notes](const std::string& t) { notes.push_back(t); });
    slow.vanished = true;
    slow.reads = 0;
    const klink::RequestFrame f = klink::makeRequest({0x21, 0x03}, 40);
    slowLine.write(f.data(), f.length);
    slowLine.wakeUp();
    EXPECT_LT(slow.reads, 5);
    EXPECT_TRUE(notes.empty()) << notes.front();

    // The program ends while a silent adapter restarts: nothing is said of
    // the port.
    ScriptedElm silent;
    silent.silent = true;
    klink::Elm327Line silentLine(silent);
    klink::LinkData data;
    struct : klink::LinkObserver {
        void portFailed(const std::string& device, const std::string& reason) override {
            said.push_back(device + ": " + reason);
        }
        std::vector<std::string> said;
    } ears;
    klink::Com_Port port(silentLine, data, nullptr, &ears);
    port.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return silent.lines >= 2; }));  // AT Z sent
    port.shutdown();
    EXPECT_TRUE(ears.said.empty()) << ears.said.front();
}

// The logger through the simulated adapters on a pseudo-terminal and over
// loopback TCP prints what it prints through a K-line adapter for the same
// ECU; the drive recorded through an ELM327 replays the same.
TEST(Elm327, EachAdapterGivesWhatTheKLineGivesOrSaysWhyNot) {
    const std::string args = " --passes 3 --dtc";
    const std::string recording = testsupport::tempDir() + "/elm.rec";
    // Each adapter on its own peer, the runs side by side.
    const std::vector<std::pair<std::string, sim::ElmOptions>> adapters = {{"genuine", sim::ElmOptions::genuine()},
                                                                           {"v1.5 clone", sim::ElmOptions::clone15()},
                                                                           {"Bluetooth", sim::ElmOptions::bluetooth()},
                                                                           {"v2.1 clone", sim::ElmOptions::clone21()}};
    sim::PtyPeer kline;
    sim::TcpPeer wifi;
    std::vector<std::unique_ptr<sim::PtyPeer>> peers;
    for (const auto& a : adapters) peers.push_back(std::make_unique<sim::PtyPeer>(a.second));
    ASSERT_TRUE(kline.ok() && wifi.ok());
    std::vector<std::future<std::string>> runs;
    for (std::size_t i = 0; i < peers.size(); ++i) {
        ASSERT_TRUE(peers[i]->ok());
        const std::string extra = i == 3 ? " --passes 2" : args + (i == 0 ? " --record " + recording : "");
        runs.push_back(std::async(std::launch::async, i == 3 ? logger : wholeRun,
                                  "--port " + peers[i]->slavePath() + " --adapter elm327" + extra));
    }
    auto overTcp = std::async(std::launch::async, wholeRun, "--port " + wifi.address() + " --adapter elm327" + args);
    const std::string expected = values(wholeRun("--port " + kline.slavePath() + args));
    ASSERT_NE(expected.find("status: Данные получены."), std::string::npos) << expected;

    for (std::size_t i = 0; i < 3; ++i) {
        const std::string out = runs[i].get();
        EXPECT_EQ(values(out), expected) << adapters[i].first << "\n" << out;
        // The third pass was asked (measured, or lost on a loaded machine and said).
        EXPECT_TRUE(out.find("\n3,") != std::string::npos || out.find("pass 3 measured nothing") != std::string::npos)
            << out;
        // The clone without a fast-init command wakes the ECU at the first request.
        EXPECT_EQ(out.find("has no fast-init command (AT FI)") == std::string::npos, adapters[i].second.knowsFastInit)
            << out;
    }
    EXPECT_EQ(values(overTcp.get()), expected);
    EXPECT_EQ(values(logger("--replay " + recording + args)), expected);
    // A clone that cannot pass the live data's 72 bytes: no row, and why.
    const std::string cut = runs[3].get();
    EXPECT_EQ(cut.find("\n1,"), std::string::npos) << cut;
    EXPECT_NE(cut.find("\"BUFFER FULL\""), std::string::npos) << cut;
}

TEST(Elm327, TheWrongAdapterIsSaidWithinSecondsBothWays) {
    using Clock = std::chrono::steady_clock;
    sim::PtyPeer kline;
    sim::PtyPeer elm(sim::ElmOptions::clone15());
    ASSERT_TRUE(kline.ok() && elm.ok());
    // Each run timed on its own, both at once.
    const auto timed = [](const std::string& args) {
        const auto start = Clock::now();
        const std::string out = logger(args);
        return std::make_pair(out, Clock::now() - start);
    };
    auto namedRun = std::async(std::launch::async, timed, "--port " + kline.slavePath() + " --adapter elm327");
    auto plainRun = std::async(std::launch::async, timed, "--port " + elm.slavePath());
    const auto [named, namedTook] = namedRun.get();
    const auto [plain, plainTook] = plainRun.get();
    EXPECT_LT(namedTook, std::chrono::seconds(10) * testsupport::slowdown());
    EXPECT_NE(named.find("no ELM327 answers on this port"), std::string::npos) << named;
    EXPECT_NE(named.find("choose K-line"), std::string::npos) << named;
    EXPECT_LT(plainTook, std::chrono::seconds(10) * testsupport::slowdown());
    EXPECT_NE(plain.find("this looks like an ELM327 adapter: choose ELM327 (--adapter elm327)"), std::string::npos)
        << plain;
    EXPECT_NE(plain.find("status: Адаптер не подключен!"), std::string::npos) << plain;
}

TEST(Elm327, ANetworkAdapterThatCannotBeReachedIsSaid) {
    // A port nothing listens on, a name that is no address, a K-line adapter
    // over the network: each said, none waited for.
    platform::TcpLine refused("tcp:127.0.0.1:1");
    EXPECT_FALSE(refused.open());
    EXPECT_NE(refused.failureReason().find("cannot reach 127.0.0.1 port 1"), std::string::npos)
        << refused.failureReason();
    platform::TcpLine bad("tcp:192.168.0.10");
    EXPECT_FALSE(bad.open());
    EXPECT_NE(bad.failureReason().find("tcp:HOST:PORT"), std::string::npos);
    EXPECT_NE(logger("--port tcp:127.0.0.1:1 --adapter elm327").find("cannot reach 127.0.0.1 port 1"),
              std::string::npos);
    EXPECT_NE(logger("--port tcp:127.0.0.1:1").find("a K-line adapter is not reached over the network"),
              std::string::npos);
    EXPECT_NE(logger("--adapter usb").find("bad adapter (kline or elm327): usb"), std::string::npos);
    EXPECT_NE(logger("--port tcp:localhost:0 --adapter elm327").find("not a network address"), std::string::npos);
    EXPECT_NE(logger("--baud 19").find("bad serial rate"), std::string::npos);
}
