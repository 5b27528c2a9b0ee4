// m797-log as a technician runs it: its output contract and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>

#include "sim/PtyPeer.h"
#include "tests/TestSupport.h"

namespace {

struct LoggerRun {
    std::string out;
    int status = -1;
};

// errors: the standard error comes along, after the output.
LoggerRun runLogger(const std::string& args, bool errors = false) {
    // Appended piece by piece: GCC 12 misreads a chain of + here (-Warray-bounds).
    std::string command = M797_LOG_PATH;
    command += ' ';
    command += args;
    command += errors ? " 2>&1" : " 2>/dev/null";
    const auto run = testsupport::runCommand(command);
    return {run.out, run.status};
}

int countOf(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (auto pos = hay.find(needle); pos != std::string::npos; pos = hay.find(needle, pos + 1)) ++n;
    return n;
}

}  // namespace

TEST(Logger, AnEchoingAdapterWithoutAnEcuEndsInTheFailureStop) {
    sim::SimOptions o;
    o.fault = sim::LineFault::SilentEcu;
    sim::PtyPeer peer(o);
    ASSERT_TRUE(peer.ok());
    const LoggerRun r = runLogger("--port " + peer.slavePath());
    EXPECT_EQ(r.status, 1);
    // Status lines appear on change only: the repeated text shows once.
    EXPECT_EQ(r.out,
              "status: Установление связи.\n"
              "status: Проверте адаптер!\n"
              "status: Адаптер не подключен!\n");
}

TEST(Logger, ArgumentsAndAPortThatCannotBeOpened) {
    EXPECT_EQ(runLogger("--passes").status, 2);
    EXPECT_EQ(runLogger("--passes -3").status, 2);
    EXPECT_EQ(runLogger("--simulate --port /dev/ttyS0").status, 2);
    EXPECT_EQ(runLogger("--frobnicate").status, 2);
    EXPECT_EQ(runLogger("--wake").status, 2);
    EXPECT_EQ(runLogger("--wake slow --simulate").status, 2);
    EXPECT_EQ(runLogger("--wake break --simulate --passes 1").status, 0);
    EXPECT_EQ(runLogger("--wake=break --simulate --passes=1").status, 0);
    EXPECT_EQ(runLogger("--dtc=yes --simulate").status, 2);
    for (const char* port : {"--port /dev/m797-no-such-port", "--port=/dev/m797-no-such-port"}) {
        const LoggerRun r = runLogger(port);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "status: Ошибка открытия порта!\n");
    }
    // The status text stays; the standard error says why.
    const LoggerRun why = runLogger("--port /dev/ttyUSB9-m797", true);
    EXPECT_NE(why.out.find("m797-log: /dev/ttyUSB9-m797: No such file or directory (serial ports here: "),
              std::string::npos)
        << why.out;
    EXPECT_NE(runLogger("--port /dev/null", true).out.find("m797-log: /dev/null: not a serial port\n"),
              std::string::npos);
    const std::string help = runLogger("--help").out;
    for (const char* option : {"--port", "--simulate", "--wake", "--record", "--replay", "--realtime", "--passes",
                               "--dtc", "--help", "--version"})
        EXPECT_NE(help.find(std::string("\n  ") + option), std::string::npos) << option;
    EXPECT_EQ(runLogger("--version").out, "m797-log " M797_VERSION "\n");
}

TEST(Logger, SimulatedRunPrintsIdentificationAndEndsAfterItsPasses) {
    const LoggerRun r = runLogger("--simulate --passes 0");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(countOf(r.out, "\nident "), 11);
    EXPECT_NE(r.out.find("ident 10: "), std::string::npos);
    const LoggerRun p = runLogger("--simulate --passes 3");
    EXPECT_EQ(p.status, 0);
    EXPECT_NE(p.out.find("status: Данные получены.\n"), std::string::npos);
}

// A row is a measurement: an ECU that falls silent after pass 2 gives no
// row 3 (its buffers still hold pass 2's bytes), and the standard error
// says why.
TEST(Logger, APassWithoutWholeAnswersPrintsNoRow) {
    for (sim::LineFault fault : {sim::LineFault::None, sim::LineFault::ShortReplies}) {
        sim::SimOptions o;
        o.answerDelay = std::chrono::milliseconds(1);
        o.fault = fault;
        // The start, the four identification requests and two passes.
        if (fault == sim::LineFault::None) o.silentAfterRequests = 9;
        sim::PtyPeer peer(o);
        ASSERT_TRUE(peer.ok());
        const LoggerRun r = runLogger("--port " + peer.slavePath() + " --passes 3", true);
        SCOPED_TRACE(r.out);
        const bool silent = fault == sim::LineFault::None;
        EXPECT_EQ(countOf(r.out, "\n1,"), silent ? 1 : 0);
        EXPECT_EQ(countOf(r.out, "\n2,"), silent ? 1 : 0);
        EXPECT_EQ(countOf(r.out, "\n3,"), 0);
        EXPECT_NE(r.out.find(silent ? "pass 3 measured nothing (21 01: no answer)"
                                    : "measured nothing (21 01: the answer was cut short)"),
                  std::string::npos);
    }
}
