// SPDX-License-Identifier: GPL-3.0-or-later
// The termios layer over a pseudo-terminal: raw bytes, the read time-outs,
// the wake-up, and the link end to end against the simulated ECU.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "link/Com_Port.h"
#include "platform/PosixSerialLine.h"
#include "sim/PtyPeer.h"
#include "tests/TestSupport.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// A bare pseudo-terminal: the test plays the other end itself.
struct RawPty {
    RawPty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        path = ptsname(master);
    }
    ~RawPty() {
        if (master >= 0) close(master);
    }
    int master = -1;
    std::string path;
};

long ms(Clock::duration d) { return std::chrono::duration_cast<milliseconds>(d).count(); }

}  // namespace

TEST(PosixSerialLine, PassesEveryByteUnchangedInBothDirections) {
    RawPty pty;
    platform::PosixSerialLine line(pty.path);
    ASSERT_TRUE(line.open());
    EXPECT_EQ(line.grantedBaud(), 10400u);
    const std::uint8_t out[] = {0x00, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x7F, 0xFF, 0x1C};
    line.write(out, sizeof out);
    std::uint8_t seen[16] = {};
    std::size_t got = 0;
    while (got < sizeof out) {
        const ssize_t n = ::read(pty.master, seen + got, sizeof seen - got);
        ASSERT_GT(n, 0);
        got += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(Bytes(seen, seen + got), Bytes(out, out + sizeof out));

    ASSERT_EQ(::write(pty.master, out, sizeof out), static_cast<ssize_t>(sizeof out));
    std::uint8_t in[16] = {};
    EXPECT_EQ(line.read(in, sizeof out), sizeof out);
    EXPECT_EQ(Bytes(in, in + sizeof out), Bytes(out, out + sizeof out));
}

TEST(PosixSerialLine, ReadTimeOutsHoldWithinAFewMilliseconds) {
    RawPty pty;
    platform::PosixSerialLine line(pty.path);
    ASSERT_TRUE(line.open());
    std::uint8_t buf[64];
    // Each read ends when its time-out says: never early (checked in every
    // try), at most 15 ms late in one of three tries (a busy machine makes
    // a read only later).
    const auto missed = testsupport::timelyInOneOf(3, [&] {
        std::string late;
        // Nothing arrives: the total time-out, 14 x 50 + 50 ms.
        auto t0 = Clock::now();
        EXPECT_EQ(line.read(buf, 14), 0u);
        long long took = ms(Clock::now() - t0);
        EXPECT_GE(took, 748);
        late += testsupport::lateBy("silence", took, 765);

        // Bytes arrive and stop: the read ends 50 ms after the last one
        // (timed from when the peer wrote it: a slow thread start moves the
        // writes, not the rule).
        long long gap = 0;  // between the peer's two writes, as they happened
        Clock::time_point last{};
        std::thread peer([&] {
            std::this_thread::sleep_for(milliseconds(100));
            const std::uint8_t b[] = {1, 2, 3};
            (void)::write(pty.master, b, 3);
            const auto first = Clock::now();
            std::this_thread::sleep_for(milliseconds(30));
            (void)::write(pty.master, b, 2);
            last = Clock::now();
            gap = ms(last - first);
        });
        const std::size_t got = line.read(buf, 40);
        const auto ended = Clock::now();
        peer.join();
        if (gap >= 45) {
            // The peer itself was held up past the interval: this try says
            // nothing about the line.
            line.purgeReceive();
            late += "bytes then silence: the peer wrote " + std::to_string(gap) + " ms apart; ";
        } else {
            EXPECT_EQ(got, 5u);
            took = ms(ended - last);
            EXPECT_GE(took, 48);
            late += testsupport::lateBy("bytes then silence, after the last byte", took, 65);
        }

        // The count is reached: the read ends at once.
        const std::uint8_t six[] = {9, 8, 7, 6, 5, 4};
        EXPECT_EQ(::write(pty.master, six, 6), 6);
        t0 = Clock::now();
        EXPECT_EQ(line.read(buf, 4), 4u);
        late += testsupport::lateBy("count reached", ms(Clock::now() - t0), 10);
        line.purgeReceive();
        t0 = Clock::now();
        EXPECT_EQ(line.read(buf, 1), 0u);  // the purge dropped the rest
        took = ms(Clock::now() - t0);
        EXPECT_GE(took, 98);
        late += testsupport::lateBy("after the purge", took, 115);

        // A late first byte: the total time-out of a 3-byte read (200 ms)
        // ends the read before the interval after that byte would.
        std::thread slow([&] {
            const std::uint8_t b = 0x55;
            std::this_thread::sleep_for(milliseconds(170));
            (void)::write(pty.master, &b, 1);
            std::this_thread::sleep_for(milliseconds(60));
            (void)::write(pty.master, &b, 1);
        });
        t0 = Clock::now();
        const std::size_t n = line.read(buf, 3);
        took = ms(Clock::now() - t0);
        slow.join();
        line.purgeReceive();  // the second byte, for the next try
        EXPECT_GE(took, 198);
        late += testsupport::lateBy("late first byte", took, 215);
        // On a slow try the first byte may come after the 200 ms, or the
        // read may be woken only after the second: both are lateness.
        if (n != 1) late += "late first byte: " + std::to_string(n) + " bytes read; ";
        return late;
    });
    EXPECT_EQ(missed, "");
}

TEST(PosixSerialLine, DevicesThatCannotBeUsedFailToOpen) {
    platform::PosixSerialLine missing("/dev/m797-no-such-port");
    EXPECT_FALSE(missing.open());
    platform::PosixSerialLine notATty("/dev/null");
    EXPECT_FALSE(notATty.open());
    EXPECT_FALSE(notATty.isOpen());

    RawPty pty;
    platform::PosixSerialLine first(pty.path);
    platform::PosixSerialLine second(pty.path);
    ASSERT_TRUE(first.open());
    EXPECT_FALSE(second.open());  // busy
    first.close();
    EXPECT_TRUE(second.open());
}

TEST(PosixSerialLine, WakeUpEdgesKeepTheirTimes) {
    // Never early (every try); late only by what a busy machine adds to the
    // rate switch or the break's clearing, and a sanitizer to every system
    // call: within bounds in one of three tries.
    const long long late = testsupport::sanitized() ? 10 : 0;
    RawPty pty;
    const auto missed = testsupport::timelyInOneOf(3, [&] {
        std::string over;
        {
            platform::PosixSerialLine line(pty.path);  // a pty: the slow byte
            EXPECT_TRUE(line.open());
            line.wakeUp();
            const auto w = line.lastWake();
            EXPECT_EQ(w.method, platform::WakeMethod::SlowByte);
            EXPECT_GE(w.end - w.start, milliseconds(50));
            over += testsupport::lateBy("slow byte", ms(w.end - w.start), 57 + late);
            EXPECT_EQ(line.grantedBaud(), 10400u);  // back at the link's rate
            std::uint8_t b = 0xAA;
            EXPECT_EQ(::read(pty.master, &b, 1), 1);
            EXPECT_EQ(b, 0x00);
        }
        platform::PosixSerialLine line(pty.path, platform::WakeMethod::Break);
        EXPECT_TRUE(line.open());
        line.wakeUp();
        const auto w = line.lastWake();
        EXPECT_EQ(w.method, platform::WakeMethod::Break);
        // Said as made, though nothing came back and the next one is the byte.
        EXPECT_EQ(line.wokenBy(), "a 25 ms break");
        EXPECT_GE(w.rising - w.start, milliseconds(24));
        over += testsupport::lateBy("break's rising edge", ms(w.rising - w.start), 29 + late);
        EXPECT_GE(w.end - w.start, milliseconds(50));
        over += testsupport::lateBy("break pattern", ms(w.end - w.start), 57 + late);
        return over;
    });
    EXPECT_EQ(missed, "");
}

TEST(PosixSerialLine, TheLinkConnectsEndToEndOverAPseudoTerminal) {
    sim::PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    platform::PosixSerialLine line(peer.slavePath());
    klink::LinkData data;
    klink::Com_Port port(line, data);
    // The peer answers from a thread of its own: on a busy machine an
    // attempt or the first pass may miss its time, and the link tries again
    // as it would. A turn made while the link is down is an attempt.
    int attempts = 0;
    for (int turn = 0; turn < 6 && !(port.linkUp() && port.liveData01Reply()[8] == 0x10); ++turn) {
        if (!port.linkUp()) ++attempts;
        port.loopTurn();
    }
    ASSERT_TRUE(port.linkUp()) << cp1251::toUtf8(data.statusText.get());
    EXPECT_EQ(port.liveData01Reply()[8], 0x10);
    // The connection that held, then the first poll pass.
    auto sent = peer.withCore([](sim::AdapterCore& c) { return services(c.requests()); });
    ASSERT_GE(sent.size(), 8u);
    sent.erase(sent.begin(), sent.end() - 8);
    EXPECT_EQ(sent, (std::vector<std::string>{"82", "81", "21 A1", "21 A2", "21 A3", "1A 80", "21 01", "21 03"}));
    EXPECT_EQ(peer.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); }),
              static_cast<std::size_t>(attempts));
}

TEST(PosixSerialLine, AVanishedDeviceLeadsToTheFailureStopWithoutSpinning) {
    sim::PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    platform::PosixSerialLine line(peer.slavePath());
    klink::LinkData data;
    klink::Com_Port port(line, data);
    // The link's own further attempts, for a peer answering late on a
    // loaded machine.
    for (int attempt = 0; attempt < 3 && !port.linkUp(); ++attempt) port.loopTurn();
    ASSERT_TRUE(port.linkUp());
    peer.hangUp();
    const auto t0 = Clock::now();
    int turns = 0;
    while (!port.stoppedItself() && turns < 20) {
        port.loopTurn();
        ++turns;
    }
    EXPECT_TRUE(port.stoppedItself());
    EXPECT_EQ(turns, 11);  // the pass that finds nothing, then ten attempts
    EXPECT_EQ(cp1251::toUtf8(data.statusText.get()), "Адаптер не подключен!");
    // Every attempt still waits out its wake-up: no busy loop.
    EXPECT_GE(Clock::now() - t0, milliseconds(500));
}
