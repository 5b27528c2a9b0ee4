// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <csignal>

#include "tests/PrivateData.h"

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A test that hangs up a pseudo-terminal must not kill the runner.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifndef _WIN32
    const testsupport::PrivateDataFolder data;
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
