#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv) {
    // A test that hangs up a pseudo-terminal must not kill the runner.
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
