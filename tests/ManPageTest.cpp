// SPDX-License-Identifier: GPL-3.0-or-later
// Every example of the manual pages runs as written, on a screen wider than
// 1024 pixels as most are: the ports it names are pseudo-terminals with the
// simulated ECU behind them, the files are made in a folder of the test's.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "sim/PtyPeer.h"
#include "tests/TestSupport.h"

namespace {

// The commands of a page's EXAMPLES section, continuation lines joined.
std::vector<std::string> examples(const std::string& page) {
    std::ifstream in(std::string(M797_SOURCE_DIR) + "/packaging/" + page);
    std::vector<std::string> out;
    bool inExamples = false;
    std::string pending;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".SH", 0) == 0) inExamples = line == ".SH EXAMPLES" || line == ".SH ПРИМЕРЫ";
        if (!inExamples) continue;
        line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
        const bool continued = line.size() >= 2 && line.compare(line.size() - 2, 2, "\\e") == 0;
        if (continued) line.erase(line.size() - 2);
        if (!pending.empty() || line.rfind("m797-", 0) == 0) pending += line;
        if (!continued && !pending.empty()) {
            out.push_back(std::regex_replace(pending, std::regex(" +"), " "));
            pending.clear();
        }
    }
    return out;
}

// A display of its own, 1280 pixels wide; ended with the test.
struct WideScreen {
    WideScreen() {
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        if (xvfb.waitForReadyRead(10000)) display = ":" + QString::fromLatin1(xvfb.readLine()).trimmed();
    }
    ~WideScreen() {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }
    QProcess xvfb;
    QString display;
};

}  // namespace

TEST(ManPages, EveryExampleRunsAsWrittenOnAWideScreen) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) GTEST_SKIP() << "needs Xvfb";
    const std::string dir = testsupport::tempDir();
    WideScreen screen;
    ASSERT_FALSE(screen.display.isEmpty());
    const std::vector<std::string> logger = examples("m797-log.1");
    const std::vector<std::string> tester = examples("m797-tester.1");
    ASSERT_EQ(logger.size(), 4u);
    ASSERT_EQ(tester.size(), 5u);
    // The Russian pages show the same commands.
    EXPECT_EQ(examples("ru/m797-log.1"), logger);
    EXPECT_EQ(examples("ru/m797-tester.1"), tester);
    // The logger's first (which records the drive the others look at) first.
    for (const std::string& example : logger) {
        SCOPED_TRACE(example);
        sim::SimOptions o;
        o.answerDelay = std::chrono::milliseconds(1);
        sim::PtyPeer car(o);
        const std::string command =
            std::regex_replace(std::regex_replace(example, std::regex("/dev/[^ ]+"), car.slavePath()),
                               std::regex("^m797-log"), M797_LOG_PATH);
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(dir));
        p.start("bash", {"-c", QString::fromStdString("exec " + command)});
        ASSERT_TRUE(p.waitForStarted());
        const bool untilStopped =
            example.find("--passes") == std::string::npos && example.find("--replay") == std::string::npos;
        if (untilStopped) {
            // Runs until Ctrl+C: stopped once it has logged some passes.
            ASSERT_TRUE(testsupport::waitUntil([&] {
                std::ifstream csv(dir + "/drive.csv");
                std::stringstream s;
                s << csv.rdbuf();
                const std::string text = s.str();
                return std::count(text.begin(), text.end(), '\n') >= 4;
            }));
            ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        }
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), untilStopped ? 130 : 0) << p.readAllStandardError().toStdString();
    }
    for (const char* made : {"/drive.txt", "/drive.csv", "/drive.log", "/drive.html", "/drive.json"}) {
        std::error_code ec;
        EXPECT_GT(std::filesystem::file_size(dir + made, ec), 0u) << made;
    }
    // The tester's examples stay open on the wide screen, past the notice's 4 s.
    for (const std::string& example : tester) {
        SCOPED_TRACE(example);
        sim::PtyPeer car;
        QStringList args = QProcess::splitCommand(
            QString::fromStdString(std::regex_replace(example, std::regex("/dev/[^ ]+"), car.slavePath())));
        args.removeFirst();
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(dir));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", screen.display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir));  // not the user's settings
        p.setProcessEnvironment(env);
        p.start(M797_TESTER_PATH, args);
        ASSERT_TRUE(p.waitForStarted());
        EXPECT_FALSE(p.waitForFinished(5000 * testsupport::slowdown())) << p.readAllStandardError().toStdString();
        p.terminate();
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 130);
    }
}
