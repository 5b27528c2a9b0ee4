// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs' options: "--name value" and "--name=value" alike.
#include <gtest/gtest.h>

#include <vector>

#include "logic/TesterOptions.h"

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
    // A value may itself hold "=", and "--port=" names an empty device.
    ASSERT_TRUE(parse({"--replay=drive=1.txt"}, error));
    EXPECT_EQ(parse({"--replay=drive=1.txt"}, error)->replay, "drive=1.txt");
    EXPECT_EQ(parse({"--port="}, error)->port, "");
}

TEST(CommandLine, BadOptionsSayWhy) {
    std::string error;
    EXPECT_FALSE(parse({"--simulate=yes"}, error));
    EXPECT_EQ(error, "--simulate takes no value");
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
