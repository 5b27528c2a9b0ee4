// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StopSignals.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <thread>
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>
#endif

namespace platform {

#ifdef _WIN32

namespace {
std::atomic<bool> gStop{false};
std::atomic<bool> gEnded{false};

BOOL WINAPI onConsoleEvent(DWORD type) {
    gStop = true;
    // Closing the console ends the process when this returns: give the
    // orderly end its few seconds first.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        for (int i = 0; i < 400 && !gEnded; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return TRUE;
}
}  // namespace

StopSignals::StopSignals() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }
StopSignals::~StopSignals() { SetConsoleCtrlHandler(onConsoleEvent, FALSE); }

bool StopSignals::waitFor(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!gStop && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return gStop;
}

bool StopSignals::asked() const { return gStop; }
int StopSignals::notifyFd() const { return -1; }
void StopSignals::drain() {}

void StopSignals::ended() { gEnded = true; }

void prepareUtf8Output() { SetConsoleOutputCP(CP_UTF8); }

#else

namespace {
std::atomic<bool> gStop{false};
int gPipe[2] = {-1, -1};
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int) {
    const int saved = errno;
    gStop.store(true);
    if (gPipe[1] >= 0) (void)!::write(gPipe[1], "x", 1);
    errno = saved;
}
}  // namespace

StopSignals::StopSignals() {
    if (::pipe2(gPipe, O_NONBLOCK | O_CLOEXEC) != 0) gPipe[0] = gPipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kStopSignals) ::sigaction(sig, &action, nullptr);
    // A write past the file size limit, or to a connection the other end
    // closed, fails and is said, as any failed write is; by default either
    // would end the program without a word.
    ::signal(SIGXFSZ, SIG_IGN);
    ::signal(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int sig : kStopSignals) ::sigaction(sig, &action, nullptr);
    for (int& fd : gPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

bool StopSignals::waitFor(std::chrono::milliseconds timeout) {
    if (gStop.load()) return true;
    if (gPipe[0] < 0) {
        std::this_thread::sleep_for(timeout);
        return gStop.load();
    }
    pollfd p{gPipe[0], POLLIN, 0};
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!gStop.load()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        (void)::poll(&p, 1, static_cast<int>(left.count()));  // a signal's byte, or EINTR, or the time
    }
    return gStop.load();
}

bool StopSignals::asked() const { return gStop.load(); }

int StopSignals::notifyFd() const { return gPipe[0]; }

void StopSignals::drain() {
    char bytes[64];
    while (gPipe[0] >= 0 && ::read(gPipe[0], bytes, sizeof bytes) > 0) {
    }
}

void StopSignals::ended() {}

void prepareUtf8Output() {}

#endif

}  // namespace platform
