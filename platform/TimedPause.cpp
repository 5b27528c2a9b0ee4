// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TimedPause.h"

#ifdef _WIN32
#include <windows.h>

#include <thread>
#else
#include <cerrno>
#include <ctime>
#endif

namespace platform {

#ifdef _WIN32

void pauseUntil(Clock::time_point deadline) {
    // The default sleep granularity of 15.6 ms would ruin a 25 ms break: a
    // high-resolution waitable timer where the system has one, then the
    // last fraction on the clock itself.
    static thread_local HANDLE timer = [] {
        HANDLE t = CreateWaitableTimerExW(nullptr, nullptr, 0x00000002 /* HIGH_RESOLUTION */, TIMER_ALL_ACCESS);
        return t ? t : CreateWaitableTimerW(nullptr, TRUE, nullptr);
    }();
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return;
        if (left < std::chrono::milliseconds(1) || !timer) {
            std::this_thread::yield();
            continue;
        }
        LARGE_INTEGER due;
        due.QuadPart = -std::chrono::duration_cast<std::chrono::nanoseconds>(left).count() / 100;  // relative, 100 ns
        if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            std::this_thread::sleep_for(left);
            continue;
        }
        WaitForSingleObject(timer, INFINITE);
    }
}

#else

void pauseUntil(Clock::time_point deadline) {
    // steady_clock is CLOCK_MONOTONIC on Linux; sleep on an absolute deadline
    // so that an interrupted sleep resumes without drifting.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

#endif

}  // namespace platform
