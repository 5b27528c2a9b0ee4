// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <cstring>

#include "platform/SerialPorts.h"

#include "platform/TimedPause.h"

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace platform {
namespace {

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    return static_cast<int>((left.count() + 999) / 1000);
}

// device: the path, to tell a device from a file that merely cannot be read.
std::string openFailure(int err, const std::string& device = {}) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return std::string(std::strerror(err)) + " (serial ports here: " + describeSerialPorts(listSerialPorts()) +
                   ")";
        case EACCES:
        case EPERM: {
            // The group helps only with a device: a file or folder is something else.
            struct stat st {};
            if (!device.empty() && (::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)))
                return std::string(std::strerror(err)) + " (not a serial port)";
            return std::string(std::strerror(err)) +
                   " (join the dialout group: sudo usermod -aG dialout $USER, then log in again)";
        }
        case EBUSY:
            return "in use by another program";
        default:
            return std::strerror(err);
    }
}

}  // namespace

PosixSerialLine::PosixSerialLine(std::string device, WakeMethod wake)
    : DeviceLine(std::move(device)), wakeMethod_(wake) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PosixSerialLine::~PosixSerialLine() {
    close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

int PosixSerialLine::control(unsigned long request, void* arg) { return ioctl(fd_, request, arg); }

void PosixSerialLine::setWakeMethod(WakeMethod method) { wakeMethod_ = method; }

bool PosixSerialLine::fail(const std::string& reason) {
    close();
    return failed(reason);
}

bool PosixSerialLine::open() {
    gone_ = false;
    close();
    fd_ = ::open(name().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return fail(openFailure(errno, name()));
    // TIOCEXCL keeps other programs out (root excepted); the advisory lock
    // also catches a second instance run as root.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return fail(openFailure(EBUSY));
    termios2 probe{};
    if (control(TCGETS2, &probe) != 0) return fail("not a serial port");
    if (control(TIOCEXCL, nullptr) != 0) return fail(openFailure(errno));
    const std::string problem = configure();
    if (!problem.empty()) return fail(problem);
    return opened();
}

std::string PosixSerialLine::configure() {
    grantedBaud_ = 0;
    termios2 tio{};
    if (control(TCGETS2, &tio) != 0) return std::strerror(errno);
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (control(TCSETS2, &tio) != 0) return std::strerror(errno);
    const unsigned rate = portRate_.load();
    if (!setRate(rate)) {
        // A chip that cannot make 10400 baud (it rounds to a rate of its
        // own) would talk past the ECU.
        if (grantedBaud_ == 0) return std::strerror(errno);
        return "rate not granted: the port runs at " + std::to_string(grantedBaud_) + " baud, not " +
               std::to_string(rate);
    }

    // USB adapters hold received bytes for up to 16 ms unless asked not to;
    // chips that do not know the request refuse it, which is harmless.
    serial_struct ss{};
    if (control(TIOCGSERIAL, &ss) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        (void)control(TIOCSSERIAL, &ss);
    }
    purgeReceive();
    return {};
}

bool PosixSerialLine::setRate(unsigned baud) {
    termios2 tio{};
    if (control(TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    if (control(TCSETS2, &tio) != 0) return false;
    termios2 back{};
    if (control(TCGETS2, &back) != 0) return false;
    grantedBaud_ = back.c_ospeed;
    return rateClose(grantedBaud_, baud);
}

bool PosixSerialLine::setBreak(bool on) { return control(on ? TIOCSBRK : TIOCCBRK, nullptr) == 0; }

void PosixSerialLine::sendByte(std::uint8_t byte) { write(&byte, 1); }

void PosixSerialLine::drain() {
    if (fd_ >= 0) (void)::ioctl(fd_, TCSBRK, 1);  // tcdrain: the output has left the driver
}

void PosixSerialLine::lost(int error) {
    if (error != EIO && error != ENODEV && error != ENXIO) return;
    if (gone_) return;  // said once as it goes, whichever call finds it first
    gone_ = true;
    note(std::string("the port went away (") + std::strerror(error) + "): is the adapter unplugged?");
}

bool PosixSerialLine::awaitZero(Clock::time_point deadline) {
    while (!interrupted_.load(std::memory_order_relaxed)) {
        const int waitMs = remainingMs(deadline);
        if (waitMs == 0) return false;
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = poll(p, 2, waitMs);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || p[1].revents) return false;
        if (p[0].revents & POLLIN) {
            std::uint8_t got[64];
            const ssize_t n = ::read(fd_, got, sizeof got);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) return false;
            if (std::find(got, got + n, 0x00) != got + n) return true;
            continue;  // not the echo: dropped
        }
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
    }
    return false;
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
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            lost(errno);
            return;
        }
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
            lost(n == 0 ? ENODEV : errno);  // EOF or EIO: the device went away mid-read
            break;
        }
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) break;
    }
    return got;
}

void PosixSerialLine::purgeReceive() {
    if (fd_ >= 0) (void)ioctl(fd_, TCFLSH, TCIFLUSH);
}

void PosixSerialLine::wakeUp() {
    if (fd_ < 0 || gone_) {
        pauseFor(WakeTiming::kTotal);
        return;
    }
    WakeMethod method = wakeMethod_.load();
    lastWake_ = runWake(*this, method, [this](const std::string& text) { note(text); });
    wokenMethod_ = lastWake_.method;
    wakeMethod_ = method;
}

bool PosixSerialLine::devicePresent() const {
    // A by-id link that points nowhere is no device either.
    return ::access(name().c_str(), F_OK) == 0;
}

void PosixSerialLine::interrupt() {
    endRests();
    interrupted_.store(true, std::memory_order_relaxed);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        (void)::write(wakeFd_, &one, sizeof one);
    }
}

}  // namespace platform
