// SPDX-License-Identifier: GPL-3.0-or-later
// The link against the ways of real USB serial chips, as their Linux drivers
// show them, played by the simulated adapter; and the termios layer's own
// checks on a pseudo-terminal with a driver that refuses or rounds.
#include <gtest/gtest.h>

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "link/Com_Port.h"
#include "link/StatusTexts.h"
#include "platform/PosixSerialLine.h"
#include "platform/SerialPorts.h"
#include "platform/WakeSequence.h"
#include "sim/PtyPeer.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using platform::WakeMethod;
using std::chrono::milliseconds;

namespace {

// Hears what the link and the line tell the user.
struct Ears : klink::LinkObserver {
    void portFailed(const std::string& device, const std::string& reason) override {
        failures.push_back(device + ": " + reason);
    }
    void adapterNote(const std::string& text) override { notes.push_back(text); }
    std::vector<std::string> failures, notes;
};

struct Rig {
    Rig(sim::AdapterModel chip, WakeMethod wake) : line(options(chip), false, wake), port(line, data, nullptr, &ears) {
        line.setNoteSink([this](const std::string& t) { ears.notes.push_back(t); });
        data.startEnabled = 0;
    }
    static sim::SimOptions options(sim::AdapterModel chip) {
        sim::SimOptions o;
        o.adapter = chip;
        o.answerDelay = milliseconds(2);
        return o;
    }
    std::string status() { return cp1251::toUtf8(data.statusText.get()); }
    klink::LinkData data;
    Ears ears;
    sim::SimulatedLine line;
    klink::Com_Port port;
};

}  // namespace

TEST(Adapters, TheSlowByteWakesTheEcuOnEveryChipThatGrantsTheRate) {
    for (const auto& [name, chip] :
         {std::pair{"ftdi", sim::AdapterModel::ftdi()}, std::pair{"ch340", sim::AdapterModel::ch340()},
          std::pair{"pl2303 clone", sim::AdapterModel::pl2303Clone()}}) {
        SCOPED_TRACE(name);
        // The pattern is never short (every try); a busy machine can only
        // make it long, so its upper bound holds in one of three tries.
        const auto missed = testsupport::timelyInOneOf(3, [&, chip = chip] {
            Rig rig(chip, WakeMethod::SlowByte);
            rig.port.loopTurn();
            EXPECT_TRUE(rig.port.linkUp()) << rig.status();
            if (!rig.port.linkUp()) return std::string();
            rig.port.loopTurn();
            EXPECT_EQ(rig.port.liveData01Reply()[8], 0x10);  // the reply, at its place
            const auto w = rig.line.lastWake();
            EXPECT_TRUE(w.echoSeen);  // the byte was off the wire before the rate changed
            EXPECT_GE(w.end - w.start, milliseconds(50));
            EXPECT_TRUE(rig.ears.notes.empty());
            return testsupport::lateBy("wake-up pattern",
                                       std::chrono::duration_cast<milliseconds>(w.end - w.start).count(), 69);
        });
        EXPECT_EQ(missed, "");
    }
}

TEST(Adapters, AFakedBreakNeverWakesTheEcuAndARefusedOneFallsBackToTheByte) {
    {
        // CH340: the break holds the line low some 200 ms, far outside the
        // fast-init window; every attempt fails as a silent ECU.
        Rig rig(sim::AdapterModel::ch340(), WakeMethod::Break);
        rig.port.loopTurn();
        EXPECT_FALSE(rig.port.linkUp());
        EXPECT_EQ(rig.status(), "Проверте адаптер!");
        const auto lows = rig.line.withCore([](sim::AdapterCore& c) { return c.lowPeriods(); });
        ASSERT_EQ(lows.size(), 1u);
        EXPECT_GE(lows[0].second, milliseconds(150));
        EXPECT_TRUE(rig.line.withCore([](sim::AdapterCore& c) { return c.wakeUps().empty(); }));
        // The clearing took far too long: from now on the byte, which works.
        ASSERT_EQ(rig.ears.notes.size(), 1u);
        EXPECT_NE(rig.ears.notes[0].find("fakes a break"), std::string::npos) << rig.ears.notes[0];
        rig.port.loopTurn();
        EXPECT_TRUE(rig.port.linkUp()) << rig.status();
    }
    {
        // A driver without break support that says yes (the kernels before
        // 6.5 passed no refusal on): nothing comes back, so the byte next.
        sim::AdapterModel silent;
        silent.breakStyle = sim::BreakStyle::Silent;
        Rig rig(silent, WakeMethod::Break);
        rig.port.loopTurn();
        EXPECT_FALSE(rig.port.linkUp());
        ASSERT_EQ(rig.ears.notes.size(), 1u);
        EXPECT_NE(rig.ears.notes[0].find("none came back"), std::string::npos) << rig.ears.notes[0];
        rig.port.loopTurn();
        EXPECT_TRUE(rig.port.linkUp()) << rig.status();
        EXPECT_EQ(rig.line.wakeMethod(), WakeMethod::SlowByte);
    }
    {
        Rig rig(sim::AdapterModel::pl2303Clone(), WakeMethod::Break);
        rig.port.loopTurn();
        EXPECT_TRUE(rig.port.linkUp()) << rig.status();
        EXPECT_EQ(rig.line.wakeMethod(), WakeMethod::SlowByte);
        rig.port.reopenPort();
        rig.port.loopTurn();
        rig.port.loopTurn();
        EXPECT_TRUE(rig.port.linkUp());
        ASSERT_EQ(rig.ears.notes.size(), 1u);  // said once
        EXPECT_NE(rig.ears.notes[0].find("refused a break"), std::string::npos);
    }
    {
        // An exact break, as a real UART makes it, does wake the ECU (timed
        // by our clock, so a very busy machine may need another attempt, as
        // it would with a real ECU).
        Rig rig(sim::AdapterModel{}, WakeMethod::Break);
        for (int attempt = 0; attempt < 3 && !rig.port.linkUp(); ++attempt) rig.port.loopTurn();
        EXPECT_TRUE(rig.port.linkUp()) << rig.status();
        EXPECT_EQ(rig.line.lastWake().method, WakeMethod::Break);
    }
}

TEST(Adapters, ARoundedRateIsAFailureToOpenThatSaysTheRate) {
    Rig rig(sim::AdapterModel::cp210x(), WakeMethod::SlowByte);
    rig.port.loopTurn();
    EXPECT_TRUE(rig.port.stoppedItself());
    EXPECT_EQ(rig.status(), "Ошибка открытия порта!");
    ASSERT_EQ(rig.ears.failures.size(), 1u);
    EXPECT_EQ(rig.ears.failures[0], "simulated: rate not granted: the port runs at 14400 baud, not 10400");
    EXPECT_TRUE(rig.line.withCore([](sim::AdapterCore& c) { return c.requests().empty(); }));
}

TEST(Adapters, AnAdapterThatDoesNotEchoNeverYieldsData) {
    Rig rig(sim::AdapterModel::noEcho(), WakeMethod::SlowByte);
    for (int i = 0; i < 3; ++i) rig.port.loopTurn();
    EXPECT_FALSE(rig.port.linkUp());
    EXPECT_EQ(rig.port.passCount(), 0u);
    EXPECT_EQ(rig.status(), "Проверте адаптер!");
    EXPECT_TRUE(rig.data.identText.getAll()[0].empty());
    ASSERT_EQ(rig.ears.notes.size(), 1u);
    EXPECT_NE(rig.ears.notes[0].find("does not echo"), std::string::npos);

    // A link that was up and loses the echo mid-drive takes nothing from
    // the unechoed replies.
    Rig drive(sim::AdapterModel{}, WakeMethod::SlowByte);
    drive.port.loopTurn();
    drive.port.loopTurn();
    ASSERT_EQ(drive.port.liveData01Reply()[8], 0x10);
    const auto before = drive.port.liveData01Reply();
    drive.line.withCore([](sim::AdapterCore& c) {
        c.options().adapter.echo = false;
        c.ecu().setLive01(20, 0x77);
        return 0;
    });
    drive.port.loopTurn();
    EXPECT_FALSE(drive.port.linkUp());
    auto after = drive.port.liveData01Reply();
    after[8] = before[8];  // cleared before every pass
    EXPECT_EQ(after, before);
}

TEST(Adapters, PacketsAfterALatencyTimerKeepTheReplyWholeAndInPlace) {
    sim::AdapterModel slow = sim::AdapterModel::ftdi();
    slow.packetSize = 8;  // many packets per reply
    Rig rig(slow, WakeMethod::SlowByte);
    rig.port.loopTurn();
    ASSERT_TRUE(rig.port.linkUp());
    rig.port.loopTurn();
    EXPECT_TRUE(rig.port.linkUp());
    EXPECT_EQ(rig.port.liveData01Reply()[8], 0x10);
    EXPECT_EQ(rig.status(), "Данные получены.");
}

// ---- the termios layer's own checks -------------------------------------

namespace {

// A driver that refuses the break, or reports another rate than asked.
class OddDriverLine : public platform::PosixSerialLine {
public:
    using PosixSerialLine::PosixSerialLine;
    bool refuseBreak = false;
    unsigned reportedRate = 0;  // 0: the truth

protected:
    int control(unsigned long request, void* arg) override {
        if (refuseBreak && (request == TIOCSBRK || request == TIOCCBRK)) {
            errno = EINVAL;
            return -1;
        }
        const int r = PosixSerialLine::control(request, arg);
        if (r == 0 && request == TCGETS2 && reportedRate) {
            auto* tio = static_cast<termios2*>(arg);
            if (tio->c_ospeed == platform::kLinkBaud) tio->c_ospeed = reportedRate;
        }
        return r;
    }
};

}  // namespace

TEST(PortChecks, ARefusedBreakOnARealPortFallsBackToTheByteAndSaysSoOnce) {
    sim::PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    OddDriverLine line(peer.slavePath(), WakeMethod::Break);
    line.refuseBreak = true;
    std::vector<std::string> notes;
    line.setNoteSink([&](const std::string& t) { notes.push_back(t); });
    klink::LinkData data;
    klink::Com_Port port(line, data);
    // The peer answers from a thread of its own: on a busy machine an
    // attempt may miss its time, and the next one is made as the link would.
    for (int attempt = 0; attempt < 3 && !port.linkUp(); ++attempt) port.loopTurn();
    EXPECT_TRUE(port.linkUp()) << cp1251::toUtf8(data.statusText.get());
    EXPECT_EQ(line.lastWake().method, WakeMethod::SlowByte);
    EXPECT_TRUE(line.lastWake().echoSeen);
    const std::size_t woken = peer.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); });
    EXPECT_GE(woken, 1u);
    port.reopenPort();
    port.loopTurn();
    EXPECT_EQ(notes.size(), 1u);  // said once, however often the break is refused
    EXPECT_EQ(peer.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); }), woken + 1);
}

TEST(PortChecks, EveryFailureToOpenSaysWhy) {
    OddDriverLine missing("/dev/ttyUSB9-m797");
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.failureReason().rfind("No such file or directory (serial ports here: ", 0), 0u)
        << missing.failureReason();

    OddDriverLine notATty("/dev/null");
    EXPECT_FALSE(notATty.open());
    EXPECT_EQ(notATty.failureReason(), "not a serial port");

    sim::PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    OddDriverLine rounded(peer.slavePath());
    rounded.reportedRate = 14400;
    EXPECT_FALSE(rounded.open());
    EXPECT_EQ(rounded.failureReason(), "rate not granted: the port runs at 14400 baud, not 10400");
    rounded.reportedRate = 10450;  // within 2 %: what a UART's divisor gives
    EXPECT_TRUE(rounded.open());
    EXPECT_EQ(rounded.failureReason(), "");

    OddDriverLine second(peer.slavePath());
    EXPECT_FALSE(second.open());
    EXPECT_EQ(second.failureReason(), "in use by another program");

    if (::geteuid() != 0) {  // root opens any device
        char tmpl[] = "/tmp/m797-perm-XXXXXX";
        const std::string dir = mkdtemp(tmpl);
        const std::string path = dir + "/ttyX";
        { std::ofstream(path) << ""; }
        ::chmod(path.c_str(), 0);
        OddDriverLine locked(path);
        EXPECT_FALSE(locked.open());
        EXPECT_NE(locked.failureReason().find("dialout"), std::string::npos);
        std::filesystem::remove_all(dir);
    }
}

TEST(PortChecks, TheListOfPortsHasEverySerialClassTheirStableNamesAndProducts) {
    char tmpl[] = "/tmp/m797-dev-XXXXXX";
    const std::string root = mkdtemp(tmpl);
    namespace fs = std::filesystem;
    fs::create_directories(root + "/dev/serial/by-id");
    for (const char* n : {"ttyS0", "ttyS1", "ttyS10", "ttyUSB0", "ttyACM2", "tty0", "ttySAC", "ttyAMA0", "ttyCH341USB1",
                          "rfcomm0", "ttyNEW3", "tty5"})
        std::ofstream(root + "/dev/" + n) << "";
    fs::create_symlink("../../ttyUSB0", root + "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    for (const auto& [n, type] : {std::pair{"ttyS0", "4"}, std::pair{"ttyS1", "0"}, std::pair{"ttyS10", "4"}}) {
        fs::create_directories(root + "/sys/" + n);
        std::ofstream(root + "/sys/" + n + "/type") << type << "\n";
    }
    // The USB adapter as sysfs shows it: the tty's device is the chip's port,
    // two levels below the USB device that names its product.
    const std::string usb = root + "/devices/usb1/1-1";
    fs::create_directories(usb + "/1-1:1.0/ttyUSB0");
    fs::create_directories(root + "/drivers/ftdi_sio");
    std::ofstream(usb + "/product") << "FT232R USB UART\n";
    fs::create_symlink(root + "/drivers/ftdi_sio", usb + "/1-1:1.0/ttyUSB0/driver");
    fs::create_directories(root + "/sys/ttyUSB0");
    fs::create_symlink(usb + "/1-1:1.0/ttyUSB0", root + "/sys/ttyUSB0/device");
    // A tty of a class nobody listed, but with hardware behind it.
    fs::create_directories(root + "/sys/ttyNEW3");
    fs::create_symlink(usb, root + "/sys/ttyNEW3/device");
    fs::create_directories(root + "/sys/tty5");  // a console: no device

    const auto ports = platform::listSerialPorts(root + "/dev", root + "/sys");
    std::vector<std::string> names;
    for (const auto& p : ports) names.push_back(p.device.substr(root.size()));
    EXPECT_EQ(names, (std::vector<std::string>{"/dev/rfcomm0", "/dev/ttyACM2", "/dev/ttyAMA0", "/dev/ttyCH341USB1",
                                               "/dev/ttyNEW3", "/dev/ttyS0", "/dev/ttyS10", "/dev/ttyUSB0"}));
    EXPECT_EQ(ports.back().byId, root + "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(ports.back().what, "FT232R USB UART (ftdi_sio)");
    EXPECT_EQ(ports.front().what, "Bluetooth");  // a paired adapter's link, marked as such
    EXPECT_EQ(platform::describeSerialPorts({}), "none");
    fs::remove_all(root);
}

// A byte already waiting when the wake-up begins is no echo of the slow
// byte: the rate stays at 360 baud until the nine low bit times are out.
TEST(Adapters, AStrayByteNeverCutsTheWakeUpShort) {
    for (const auto& chip : {sim::AdapterModel{}, sim::AdapterModel::ftdi()}) {
        // Never short (every try); a busy machine can only make the low
        // long, so its upper bound holds in one of three tries.
        const auto missed = testsupport::timelyInOneOf(3, [&] {
            sim::SimOptions o = Rig::options(chip);
            o.strayByteBeforeWake = true;
            sim::SimulatedLine line(o, false, WakeMethod::SlowByte);
            klink::LinkData data;
            klink::Com_Port port(line, data);
            port.loopTurn();
            EXPECT_TRUE(port.linkUp());
            const auto lows = line.withCore([](sim::AdapterCore& c) { return c.lowPeriods(); });
            EXPECT_EQ(lows.size(), 1u);
            if (lows.size() != 1) return std::string();
            EXPECT_GE(lows[0].second, milliseconds(25));
            return testsupport::lateBy("the low", std::chrono::duration_cast<milliseconds>(lows[0].second).count(), 29);
        });
        EXPECT_EQ(missed, "");
    }
}

// A USB chip takes the slow byte some time after the write returns, and a
// zero of noise may already wait: the rate goes back only nine bit times
// after the byte has left the driver, never 25 ms after the write alone.
TEST(Adapters, TheSlowByteIsNeverCutByALateChipOrAWaitingZero) {
    struct LatePort : platform::WakePort {
        bool setRate(unsigned baud) override {
            if (baud == platform::kLinkBaud) backAt = Clock::now();
            return true;
        }
        bool setBreak(bool) override { return false; }
        void sendByte(std::uint8_t) override { sentAt = Clock::now(); }
        void drain() override { std::this_thread::sleep_for(milliseconds(12)); }
        bool awaitZero(Clock::time_point) override { return true; }  // the zero of noise
        void purge() override {}
        Clock::time_point sentAt, backAt;
    } port;
    WakeMethod method = WakeMethod::SlowByte;
    const platform::WakeRecord w = platform::runWake(port, method, {});
    EXPECT_GE(port.backAt - port.sentAt, milliseconds(12) + platform::WakeTiming::kLow);
    EXPECT_GE(w.end - w.start, platform::WakeTiming::kTotal);
}
