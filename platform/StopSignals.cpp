#include "platform/StopSignals.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <thread>
#else
#include <pthread.h>

#include <csignal>
#include <ctime>
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

void StopSignals::ended() { gEnded = true; }

void prepareUtf8Output() { SetConsoleOutputCP(CP_UTF8); }

#else

namespace {
sigset_t stopSet() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGINT);
    sigaddset(&s, SIGTERM);
    sigaddset(&s, SIGHUP);  // the terminal closed
    return s;
}
}  // namespace

StopSignals::StopSignals() {
    // Blocked in every thread (they inherit the mask), taken here by name.
    const sigset_t s = stopSet();
    pthread_sigmask(SIG_BLOCK, &s, nullptr);
}

StopSignals::~StopSignals() = default;

bool StopSignals::waitFor(std::chrono::milliseconds timeout) {
    const sigset_t s = stopSet();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    timespec t{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    return sigtimedwait(&s, nullptr, &t) > 0;
}

void StopSignals::ended() {}

void prepareUtf8Output() {}

#endif

}  // namespace platform
