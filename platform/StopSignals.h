// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C, termination and a closed terminal as a request that both programs
// take the same way, so that they can end in order (windows closed, outputs
// released, the link stopped at an exchange boundary, the port closed).
// POSIX: SIGINT, SIGTERM and SIGHUP; the handler only marks the request and
// writes a byte to a pipe that an event loop can watch. Windows: Ctrl+C,
// Ctrl+Break and the console's close, through the console's control handler.
#pragma once

#include <chrono>

namespace platform {

class StopSignals {
public:
    // One at a time; made before any box or loop that should be stoppable.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits up to the time given; true once a stop was asked (and from then
    // on, however often asked).
    bool waitFor(std::chrono::milliseconds timeout);
    // True once a stop was asked; never waits.
    bool asked() const;
    // POSIX: readable while a stop request is unread, for an event loop to
    // watch (read() drains it); -1 on Windows and where it could not be made.
    int notifyFd() const;
    // Empties what notifyFd holds, so that a watching loop does not spin.
    void drain();
    // The orderly end is done: a console that is closing may go.
    void ended();
};

// Standard output takes UTF-8 as it is (a console told so on Windows).
void prepareUtf8Output();

}  // namespace platform
