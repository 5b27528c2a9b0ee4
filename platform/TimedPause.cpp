#include "platform/TimedPause.h"

#include <cerrno>
#include <ctime>

namespace platform {

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

}  // namespace platform
