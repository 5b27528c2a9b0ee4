// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs' options: "--name value" and "--name=value" alike.
#include <gtest/gtest.h>

#include <vector>

#include "logic/TesterOptions.h"
#include "logic/TesterStart.h"
#include "platform/FileAccess.h"
#include "tests/TestSupport.h"

namespace {

std::optional<logic::TesterOptions> parse(std::vector<std::string> args, std::string& error) {
    args.insert(args.begin(), "m797-tester");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return logic::parseTesterArgs(static_cast<int>(argv.size()), argv.data(), error);
}

}  // namespace

TEST(CommandLine, AnOptionsValueMayFollowAnEqualsSignOrComeNext) {
    std::string error;
    const auto spaced =
        parse({"--port", "/dev/ttyUSB0", "--wake", "break", "--record", "a b.txt", "--settings", "s.ini"}, error);
    const auto joined = parse({"--port=/dev/ttyUSB0", "--wake=break", "--record=a b.txt", "--settings=s.ini"}, error);
    ASSERT_TRUE(spaced && joined) << error;
    for (const auto& o : {*spaced, *joined}) {
        EXPECT_EQ(o.port, "/dev/ttyUSB0");
        EXPECT_TRUE(o.portGiven);
        EXPECT_EQ(o.wake, platform::WakeMethod::Break);
        EXPECT_TRUE(o.wakeGiven);
        EXPECT_EQ(o.record, "a b.txt");
        EXPECT_EQ(o.settingsPath, "s.ini");
    }
    // A value may itself hold "=", and an empty one names nothing.
    ASSERT_TRUE(parse({"--replay=drive=1.txt"}, error));
    EXPECT_EQ(parse({"--replay=drive=1.txt"}, error)->replay, "drive=1.txt");
    EXPECT_FALSE(parse({"--port="}, error));
    EXPECT_EQ(error, "--port needs a value");
    EXPECT_FALSE(parse({"--record", ""}, error));
    EXPECT_EQ(error, "--record needs a value");
    // A recording named alone (opened from the file manager) is reviewed:
    // the whole drive at once, unless a speed is asked; a second is refused.
    const auto reviewed = parse({"--any-screen", "поездка 1.m797"}, error);
    ASSERT_TRUE(reviewed) << error;
    EXPECT_EQ(reviewed->replay, "поездка 1.m797");
    EXPECT_EQ(reviewed->replaySpeed, 0);
    EXPECT_EQ(parse({"drive.m797", "--speed", "2"}, error)->replaySpeed, 2);
    EXPECT_FALSE(parse({"a.m797", "b.m797"}, error));
    EXPECT_EQ(error, "unknown or incomplete option: b.m797");
    EXPECT_FALSE(parse({"--simulate", "a.m797"}, error));
    EXPECT_EQ(error, "--port, --simulate and --replay exclude each other");
}

TEST(CommandLine, BadOptionsSayWhy) {
    std::string error;
    // The simulated car's faults follow an equals sign; a name it does not know is said.
    EXPECT_FALSE(parse({"--simulate=yes"}, error));
    EXPECT_EQ(error.rfind("no such fault of the simulated car: yes (weak-charging, ", 0), 0u) << error;
    const auto faulty = parse({"--simulate=air-leak,misfire"}, error);
    ASSERT_TRUE(faulty);
    EXPECT_TRUE(faulty->simulate && faulty->faults.airLeak && faulty->faults.misfire && !faulty->faults.knock);
    EXPECT_FALSE(parse({"--port"}, error));
    EXPECT_EQ(error, "unknown or incomplete option: --port");
    EXPECT_FALSE(parse({"--wake=slow"}, error));
    EXPECT_EQ(error, "bad wake-up method (byte or break): slow");
    EXPECT_FALSE(parse({"--frobnicate=1"}, error));
    EXPECT_EQ(error, "unknown or incomplete option: --frobnicate");
    EXPECT_FALSE(parse({"--simulate", "--replay=x"}, error));
    EXPECT_EQ(error, "--port, --simulate and --replay exclude each other");
    EXPECT_FALSE(parse({"--replay=x", "--record=y"}, error));
}

// The start decides the exit statuses for both faces: the window runs only
// over a line that could be made, and a line that cannot be made is said in
// a box as well as on the terminal.
TEST(TesterStart, TheWindowRunsOnlyOverALineAndEveryFailureHasItsStatus) {
    struct Face : logic::TesterFace {
        std::vector<std::string> seen;
        void prepare(platform::StopSignals&) override { seen.push_back("prepare"); }
        void errorBox(const std::string& text) override { seen.push_back("box " + text); }
        int screenWidth() override { return width; }
        int runNotice(std::unique_ptr<logic::ui::WindowLogic> w, platform::StopSignals&) override {
            // Its time closes it, and only its time does so by itself.
            const bool openBefore = !w->takeClose();
            w->tick();
            seen.push_back(w->tickMs() == logic::ui::kNoticeMs && openBefore && w->takeClose() ? "notice"
                                                                                               : "a notice that stays");
            return 0;
        }
        int width = 1024;
        int runWindow(const logic::TesterOptions& o, lines::MadeLine line, platform::StopSignals&) override {
            seen.push_back(std::string("window ") + (line.line ? "with a line" : "without") +
                           (o.anyScreen ? ", any screen" : ""));
            return 7;
        }
    };
    const auto run = [](std::vector<std::string> args, Face& face) {
        args.insert(args.begin(), "m797-tester");
        return logic::runTester(args, face);
    };
    Face bad, help, missing, simulated, wide, wideAnyway;
    EXPECT_EQ(run({"--no-such-option"}, bad), logic::kExitUsage);
    EXPECT_TRUE(bad.seen.empty());
    EXPECT_EQ(run({"--help"}, help), 0);
    EXPECT_TRUE(help.seen.empty());
    EXPECT_EQ(run({"--replay", "/nonexistent/drive.txt"}, missing), logic::kExitUsage);
    ASSERT_EQ(missing.seen.size(), 2u);
    EXPECT_EQ(missing.seen[1].rfind("box ", 0), 0u);
    EXPECT_NE(missing.seen[1].find("drive.txt"), std::string::npos);
    EXPECT_EQ(run({"--simulate", "--any-screen"}, simulated), 7);  // the window's own status
    EXPECT_EQ(simulated.seen, (std::vector<std::string>{"prepare", "window with a line, any screen"}));
    // On a screen of another width only the notice shows, unless asked otherwise.
    wide.width = wideAnyway.width = 1280;
    // and no file is made or written over: not the recording asked for.
    const std::string recording = testsupport::tempDir() + "/запись.m797";
    EXPECT_EQ(run({"--simulate", "--record", recording}, wide), 0);
    EXPECT_EQ(wide.seen, (std::vector<std::string>{"prepare", "notice"}));
    EXPECT_FALSE(platform::fileExists(recording));
    EXPECT_EQ(run({"--simulate", "--any-screen"}, wideAnyway), 7);
    EXPECT_EQ(wideAnyway.seen.back(), "window with a line, any screen");
}

TEST(TesterStart, OnlyAScreenOfTheWindowsWidthShowsItUnlessAnyScreenIsAsked) {
    EXPECT_EQ(logic::screenRefusal(1024, false), "");
    EXPECT_EQ(logic::screenRefusal(1280, true), "");
    EXPECT_EQ(logic::screenRefusal(1280, false),
              "the screen is 1280 pixels wide, not 1024: the program shows its notice and ends in 4 s "
              "(--any-screen starts it on any screen)");
}
