// SPDX-License-Identifier: GPL-3.0-or-later
// The logger cross-built for Windows, run under Wine with COM1 mapped to a
// pseudo-terminal that the simulated adapter and ECU serve, prints what the
// Linux logger prints for the same ECU. Runs when M797_WINDOWS_LOG names the
// .exe (scripts/run-tests.sh does so after scripts/build-windows.sh), in the
// Wine prefix WINEPREFIX names.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim/PtyPeer.h"
#include "sim/TcpPeer.h"
#include "tests/TestSupport.h"
#include "tests/WireChecks.h"

namespace {

// The rows' time column (the second field) is the run's own, and Windows
// ends its lines with CR LF; the rest must match.
std::string withoutTimes(const std::string& out) {
    std::istringstream in(out);
    std::string line, result;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            const auto first = line.find(',');
            const auto second = line.find(',', first + 1);
            line.erase(first, second - first);
        }
        result += line + "\n";
    }
    return result;
}

}  // namespace

TEST(WindowsLogger, PrintsWhatTheLinuxLoggerPrintsForTheSameEcu) {
    const char* exe = std::getenv("M797_WINDOWS_LOG");
    if (!exe || !std::getenv("WINEPREFIX"))
        GTEST_SKIP() << "set M797_WINDOWS_LOG and WINEPREFIX (scripts/run-tests.sh)";

    sim::PtyPeer linuxPeer;
    ASSERT_TRUE(linuxPeer.ok());
    std::string command = M797_LOG_PATH;  // += : GCC 12 warns falsely on a + chain here
    command += " --port ";
    command += linuxPeer.slavePath();
    command += " --passes 3 --dtc 2>/dev/null";
    const auto linux = testsupport::runCommand(command);
    ASSERT_EQ(linux.status, 0);

    sim::PtyPeer windowsPeer;
    ASSERT_TRUE(windowsPeer.ok());
    // Wine's mount manager makes COM1 of what the registry names.
    ASSERT_EQ(testsupport::runCommand("wine reg add 'HKLM\\Software\\Wine\\Ports' /v COM1 /d " +
                                      windowsPeer.slavePath() + " /f >/dev/null 2>&1 && wineserver -k")
                  .status,
              0);
    const auto windows =
        testsupport::runCommand(std::string("wine ") + exe + " --port COM1 --passes 3 --dtc 2>/dev/null");
    EXPECT_EQ(windows.status, 0);
    EXPECT_NE(windows.out.find("status: Данные получены."), std::string::npos) << windows.out;
    EXPECT_EQ(withoutTimes(windows.out), withoutTimes(linux.out));
    // The same frames on the wire, one wake-up each.
    const auto frames = [](sim::PtyPeer& p) {
        return p.withCore([](sim::AdapterCore& c) { return testsupport::services(c.requests()); });
    };
    EXPECT_EQ(frames(windowsPeer), frames(linuxPeer));
    EXPECT_EQ(windowsPeer.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); }), 1u);
}

// The same through an ELM327-type adapter on COM1 (the text commands over
// the Win32 serial calls at the adapter's rate) and over Winsock.
TEST(WindowsLogger, ThroughAnElm327OnCom1AndOverTcpPrintsWhatAKLineAdapterGives) {
    const char* exe = std::getenv("M797_WINDOWS_LOG");
    if (!exe || !std::getenv("WINEPREFIX"))
        GTEST_SKIP() << "set M797_WINDOWS_LOG and WINEPREFIX (scripts/run-tests.sh)";
    sim::PtyPeer kline;
    sim::PtyPeer elm(sim::ElmOptions::clone15());
    ASSERT_TRUE(kline.ok() && elm.ok());
    std::string command = M797_LOG_PATH;
    command += " --port ";
    command += kline.slavePath();
    command += " --passes 3 --dtc 2>/dev/null";
    const auto linux = testsupport::runCommand(command);
    ASSERT_EQ(linux.status, 0);
    ASSERT_EQ(testsupport::runCommand("wine reg add 'HKLM\\Software\\Wine\\Ports' /v COM1 /d " + elm.slavePath() +
                                      " /f >/dev/null 2>&1 && wineserver -k")
                  .status,
              0);
    const auto windows = testsupport::runCommand(std::string("wine ") + exe +
                                                 " --port COM1 --adapter elm327 --passes 3 --dtc 2>/dev/null");
    EXPECT_EQ(windows.status, 0);
    EXPECT_EQ(withoutTimes(windows.out), withoutTimes(linux.out));
    EXPECT_TRUE(elm.withElm([](sim::ElmCore& c) {
        const auto& all = c.commands();
        return std::find(all.begin(), all.end(), "ATSP5") != all.end();
    }));
    // A Wi-Fi adapter over Winsock.
    sim::TcpPeer wifi;
    ASSERT_TRUE(wifi.ok());
    const auto overTcp = testsupport::runCommand(std::string("wine ") + exe + " --port " + wifi.address() +
                                                 " --adapter elm327 --passes 3 --dtc 2>/dev/null");
    EXPECT_EQ(overTcp.status, 0);
    EXPECT_EQ(withoutTimes(overTcp.out), withoutTimes(linux.out));
    // One nothing listens on is refused, in the words the Linux logger says.
    const auto refused = testsupport::runCommand(std::string("LANGUAGE=en wine ") + exe +
                                                 " --port tcp:127.0.0.1:1 --adapter elm327 --passes 1 2>&1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("cannot reach 127.0.0.1 port 1: Connection refused"), std::string::npos) << refused.out;
}

namespace {

bool windowsLoggerGiven() { return std::getenv("M797_WINDOWS_LOG") && std::getenv("WINEPREFIX"); }

// Runs the Windows logger under Wine with args; its exit status and how
// long after the call (or after stopAfter's signal) it ended.
struct WineRun {
    int status = -1;
    std::chrono::milliseconds afterSignal{0};
};

WineRun runUnderWine(const std::vector<std::string>& args, const std::string& folder,
                     const std::function<bool()>& signalWhen = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::setenv("LC_ALL", "C.UTF-8", 1);  // how Wine reads the arguments' bytes
        std::vector<char*> argv{const_cast<char*>("wine"), std::getenv("M797_WINDOWS_LOG")};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp("wine", argv.data());
        ::_exit(127);
    }
    WineRun r;
    auto signalled = std::chrono::steady_clock::now();
    if (signalWhen) {
        testsupport::waitUntil(signalWhen, std::chrono::seconds(30));
        ::kill(pid, SIGINT);  // Wine hands it to the program as Ctrl+C
        signalled = std::chrono::steady_clock::now();
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.afterSignal = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - signalled);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

// Ctrl+C while a read waits for an adapter that says nothing ends the run
// at once, not at the read's time-out; a recording with a Cyrillic name is
// made and replayed.
TEST(WindowsLogger, CtrlCEndsAPendingReadAndCyrillicFileNamesWork) {
    if (!windowsLoggerGiven()) GTEST_SKIP() << "set M797_WINDOWS_LOG and WINEPREFIX (scripts/run-tests.sh)";
    // One Wine server for the runs: a program's end is then its own.
    ASSERT_EQ(testsupport::runCommand("wineserver -p 60 2>/dev/null; true").status, 0);

    sim::SimOptions o;
    o.fault = sim::LineFault::NoAdapter;
    sim::PtyPeer peer(o);
    ASSERT_TRUE(peer.ok());
    ASSERT_EQ(testsupport::runCommand("wine reg add 'HKLM\\Software\\Wine\\Ports' /v COM1 /d " + peer.slavePath() +
                                      " /f >/dev/null 2>&1 && wineserver -k; wineserver -p 60")
                  .status,
              0);
    // Signalled some 100 ms into the 750 ms read of the first request's reply.
    const WineRun stopped = runUnderWine({"--port", "COM1"}, {}, [&] {
        if (peer.received().size() < 5) return false;
        ::usleep(100 * 1000);
        return true;
    });
    EXPECT_EQ(stopped.status, 130);
    EXPECT_LT(stopped.afterSignal, std::chrono::milliseconds(400 * testsupport::slowdown()));

    const std::string folder = testsupport::tempDir();
    EXPECT_EQ(runUnderWine({"--simulate", "--passes", "2", "--record", "запись поездки.rec"}, folder).status, 0);
    std::ifstream made(folder + "/запись поездки.rec");
    std::string first;
    std::getline(made, first);
    EXPECT_EQ(first, "# m797 wire recording 1");
    EXPECT_EQ(runUnderWine({"--replay", "запись поездки.rec"}, folder).status, 0);
    testsupport::runCommand("wineserver -k 2>/dev/null; true");
}

// The tester's window under Wine, driven by the driver program in the same
// Wine session, talks through COM1 to the simulated ECU behind a
// pseudo-terminal: what reached that ECU is judged here. Runs with a screen,
// when M797_WINDOWS_DRIVER names the driver program.
TEST(WindowsTester, ThroughCom1EnterClearsNothingAndAClosedControlWindowReleasesItsOutput) {
    const char* driver = std::getenv("M797_WINDOWS_DRIVER");
    if (!driver || !std::getenv("WINEPREFIX") || !std::getenv("DISPLAY"))
        GTEST_SKIP() << "set M797_WINDOWS_DRIVER, WINEPREFIX and a screen (scripts/run-tests.sh)";
    sim::PtyPeer ecu;
    ASSERT_TRUE(ecu.ok());
    ASSERT_EQ(testsupport::runCommand("wine reg add 'HKLM\\Software\\Wine\\Ports' /v COM1 /d " + ecu.slavePath() +
                                      " /f >/dev/null 2>&1 && wineserver -k")
                  .status,
              0);
    const auto run = testsupport::runCommand(std::string("M797_DRIVER_PORT=COM1 wine ") + driver +
                                             " --gtest_filter='Driver.EveryChild*' --gtest_brief=1 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    const std::vector<std::string> sent =
        ecu.withCore([](sim::AdapterCore& c) { return testsupport::services(c.requests()); });
    EXPECT_EQ(wirechecks::nothingByAccidentAndReleased(sent), "");
    // Woken through COM1; on a starved machine a late answer may cost a
    // reconnection, which is the link's own business.
    EXPECT_GE(ecu.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); }), 1u);
    testsupport::runCommand("wineserver -k 2>/dev/null; true");
}
