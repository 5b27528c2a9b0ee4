// Ctrl+C and termination as a request the main loop polls, so that the
// program can end in order (the link stopped at an exchange boundary, the
// port closed). POSIX: SIGINT, SIGTERM and SIGHUP, taken synchronously. Windows:
// Ctrl+C, Ctrl+Break and the console's close, through the console's control
// handler.
#pragma once

#include <chrono>

namespace platform {

class StopSignals {
public:
    // Must be made before any other thread starts.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits up to the time given; true once a stop was asked.
    bool waitFor(std::chrono::milliseconds timeout);
    // The orderly end is done: a console that is closing may go.
    void ended();
};

// Standard output takes UTF-8 as it is (a console told so on Windows).
void prepareUtf8Output();

}  // namespace platform
