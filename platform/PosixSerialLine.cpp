#include "platform/PosixSerialLine.h"

// termios2 lives in the kernel headers, which clash with <termios.h> and
// <sys/ioctl.h>; declare ioctl ourselves instead.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/TimedPause.h"

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace platform {
namespace {

constexpr unsigned kLinkBaud = 10400;
constexpr unsigned kWakeBaud = 360;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    return static_cast<int>((left.count() + 999) / 1000);
}

}  // namespace

PosixSerialLine::PosixSerialLine(std::string device, WakeMethod wake)
    : device_(std::move(device)), wakeMethod_(wake) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PosixSerialLine::~PosixSerialLine() {
    close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool PosixSerialLine::open() {
    close();
    fd_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    // TIOCEXCL keeps other programs out (root excepted); the advisory lock
    // also catches a second instance run as root.
    if (ioctl(fd_, TIOCEXCL) != 0 || flock(fd_, LOCK_EX | LOCK_NB) != 0 || !configure()) {
        close();
        return false;
    }
    return true;
}

bool PosixSerialLine::configure() {
    termios2 tio{};
    if (ioctl(fd_, TCGETS2, &tio) != 0) return false;  // not a terminal
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (ioctl(fd_, TCSETS2, &tio) != 0) return false;
    if (!setRate(kLinkBaud)) return false;

    // USB adapters hold received bytes for up to 16 ms unless asked not to;
    // chips that do not know the request refuse it, which is harmless.
    serial_struct ss{};
    if (ioctl(fd_, TIOCGSERIAL, &ss) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(fd_, TIOCSSERIAL, &ss);
    }
    purgeReceive();
    return true;
}

bool PosixSerialLine::setRate(unsigned baud) {
    termios2 tio{};
    if (ioctl(fd_, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    if (ioctl(fd_, TCSETS2, &tio) != 0) return false;
    termios2 back{};
    if (ioctl(fd_, TCGETS2, &back) != 0) return false;
    grantedBaud_ = back.c_ospeed;
    return true;
}

void PosixSerialLine::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void PosixSerialLine::write(const std::uint8_t* data, std::size_t size) {
    if (fd_ < 0) return;
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    std::size_t done = 0;
    while (done < size && !interrupted_.load(std::memory_order_relaxed)) {
        const ssize_t n = ::write(fd_, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return;  // device gone
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, remainingMs(deadline)) <= 0) return;
    }
}

std::size_t PosixSerialLine::read(std::uint8_t* buffer, std::size_t max) {
    if (fd_ < 0 || max == 0) return 0;
    const auto start = Clock::now();
    const auto totalDeadline = start + ReadTimeouts::total(max);
    Clock::time_point intervalDeadline = Clock::time_point::max();
    std::size_t got = 0;
    while (got < max && !interrupted_.load(std::memory_order_relaxed)) {
        const auto deadline = std::min(totalDeadline, intervalDeadline);
        const int waitMs = remainingMs(deadline);
        if (waitMs == 0) break;
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = poll(p, 2, waitMs);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (r == 0) continue;  // the deadline check above ends the loop
        if (p[1].revents) break;
        if (p[0].revents & POLLIN) {
            const ssize_t n = ::read(fd_, buffer + got, max - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                intervalDeadline = Clock::now() + std::chrono::milliseconds(ReadTimeouts::kInterval);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            break;  // EOF or EIO: the device went away mid-read
        }
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) break;
    }
    return got;
}

void PosixSerialLine::purgeReceive() {
    if (fd_ >= 0) (void)ioctl(fd_, TCFLSH, TCIFLUSH);
}

bool PosixSerialLine::isPseudoTerminal() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;  // Unix98 pty slaves
}

void PosixSerialLine::wakeUp() {
    if (fd_ < 0) {
        pauseFor(WakeTiming::kTotal);
        return;
    }
    WakeMethod method = wakeMethod_;
    // A pseudo-terminal accepts TIOCSBRK and does nothing with it, so the
    // peer would never see the pattern; the slow byte reaches it.
    if (method == WakeMethod::Automatic) {
        method = isPseudoTerminal() ? WakeMethod::SlowByte : WakeMethod::Break;
    }
    if (method == WakeMethod::Break) {
        wakeByBreak();
    } else {
        wakeBySlowByte();
    }
}

void PosixSerialLine::wakeByBreak() {
    WakeRecord rec;
    rec.method = WakeMethod::Break;
    const auto before = Clock::now();
    (void)ioctl(fd_, TIOCSBRK);
    rec.start = Clock::now();
    // The line goes low somewhere during the call; aim the release at 25 ms
    // after its middle, less what the release call itself is expected to take.
    const auto setCost = rec.start - before;
    const auto lowFrom = before + setCost / 2;
    pauseUntil(lowFrom + WakeTiming::kLow - setCost / 2);
    (void)ioctl(fd_, TIOCCBRK);
    rec.rising = Clock::now();
    pauseUntil(lowFrom + WakeTiming::kTotal);
    rec.end = Clock::now();
    rec.start = lowFrom;
    lastWake_ = rec;
}

void PosixSerialLine::wakeBySlowByte() {
    WakeRecord rec;
    rec.method = WakeMethod::SlowByte;
    setRate(kWakeBaud);
    const std::uint8_t zero = 0x00;
    rec.start = Clock::now();
    (void)::write(fd_, &zero, 1);
    // Start bit and eight zero data bits: nine bit times of 1/360 s, 25 ms.
    rec.rising = rec.start + WakeTiming::kLow;
    pauseUntil(rec.start + WakeTiming::kTotal);
    setRate(kLinkBaud);
    rec.end = Clock::now();
    lastWake_ = rec;
}

void PosixSerialLine::interrupt() {
    interrupted_.store(true, std::memory_order_relaxed);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        (void)::write(wakeFd_, &one, sizeof one);
    }
}

}  // namespace platform
