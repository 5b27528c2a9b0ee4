// The logger cross-built for Windows, run under Wine with COM1 mapped to a
// pseudo-terminal that the simulated adapter and ECU serve, prints what the
// Linux logger prints for the same ECU. Runs when M797_WINDOWS_LOG names the
// .exe (scripts/run-tests.sh does so after scripts/build-windows.sh), in the
// Wine prefix WINEPREFIX names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "sim/PtyPeer.h"
#include "tests/TestSupport.h"

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
    const auto linux = testsupport::runCommand(std::string(M797_LOG_PATH) + " --port " + linuxPeer.slavePath() +
                                               " --passes 3 --dtc 2>/dev/null");
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
