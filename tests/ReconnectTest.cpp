// SPDX-License-Identifier: GPL-3.0-or-later
// The link reconnecting by itself: an adapter unplugged and plugged in again,
// an ECU that falls silent for a while, and "Стоп" or the program's end while
// it waits.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "link/Com_Port.h"
#include "platform/Cp1251.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

namespace {

using namespace std::chrono_literals;

struct Heard : klink::LinkObserver {
    void adapterNote(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        notes.push_back(text);
    }
    void linkStopped() override { stopped = true; }
    bool said(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& n : notes)
            if (n.rfind(text, 0) == 0) return true;
        return false;
    }
    std::mutex mutex;
    std::vector<std::string> notes;
    std::atomic<bool> stopped{false};
};

struct Rig {
    Rig() : line(options()), port(line, data, nullptr, &heard) {
        port.setReconnect(true);
        port.setReconnectPause(300ms);
        data.startEnabled = 0;
        port.start();
        EXPECT_TRUE(testsupport::waitUntil([&] { return port.passCount() >= 3; }));
    }
    static sim::SimOptions options() {
        sim::SimOptions o;
        o.answerDelay = 1ms;
        o.readTimeoutDivisor = 10;
        return o;
    }
    std::size_t wakeUps() {
        return line.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); });
    }
    std::string status() { return cp1251::toUtf8(data.statusText.get()); }
    sim::SimulatedLine line;
    klink::LinkData data;
    Heard heard;
    klink::Com_Port port;
};

}  // namespace

TEST(Reconnect, AnUnpluggedAdapterIsWaitedForAndPollingGoesOnWhenItIsBack) {
    Rig rig;
    rig.line.setOpenSucceeds(false);  // unplugged
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.heard.said("the port is gone"); }));
    EXPECT_TRUE(rig.port.reconnecting());
    EXPECT_TRUE(rig.heard.said(klink::Com_Port::kReconnectingNote));
    EXPECT_EQ(rig.status(), "Адаптер не подключен!");
    const auto passes = rig.port.passCount();

    // "Стоп" while it waits parks the link at once, and it stays parked
    // when the adapter comes back.
    const auto before = std::chrono::steady_clock::now();
    rig.port.pause();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s * testsupport::slowdown());
    rig.line.setOpenSucceeds(true);
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(rig.port.passCount(), passes);

    rig.port.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.port.passCount() >= passes + 3; }));
    EXPECT_EQ(rig.data.reconnections.load(), 1u);
    EXPECT_TRUE(rig.heard.said("connected again"));
    EXPECT_FALSE(rig.heard.stopped);  // never a failure stop
    EXPECT_EQ(rig.data.startEnabled.load(), 0);
    EXPECT_EQ(rig.status(), "Данные получены.");
}

TEST(Reconnect, ASilentEcuIsAskedAtACalmPaceUntilItAnswersAndTheEndIsAtOnce) {
    Rig rig;
    rig.line.withCore([](sim::AdapterCore& c) { return c.options().fault = sim::LineFault::SilentEcu; });
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.port.reconnecting(); }));
    // One attempt per 300 ms pause, not the set-up's pace of one per 150 ms.
    const std::size_t wakes = rig.wakeUps();
    std::this_thread::sleep_for(1200ms);
    EXPECT_LE(rig.wakeUps() - wakes, 5u);
    EXPECT_GE(rig.wakeUps() - wakes, 1u);  // but it keeps asking
    EXPECT_FALSE(rig.heard.stopped);

    rig.line.withCore([](sim::AdapterCore& c) { return c.options().fault = sim::LineFault::None; });
    const auto passes = rig.port.passCount();
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.port.passCount() >= passes + 2; }));

    // Silent again; the program's end comes while the link waits.
    rig.line.withCore([](sim::AdapterCore& c) { return c.options().fault = sim::LineFault::SilentEcu; });
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.port.reconnecting(); }));
    const auto before = std::chrono::steady_clock::now();
    rig.port.shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s * testsupport::slowdown());
}

TEST(Reconnect, WithoutTheOptionTheLinkStopsAsBefore) {
    sim::SimulatedLine line(Rig::options());
    klink::LinkData data;
    Heard heard;
    klink::Com_Port port(line, data, nullptr, &heard);
    data.startEnabled = 0;
    port.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return port.passCount() >= 2; }));
    line.setOpenSucceeds(false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return heard.stopped.load(); }));
    EXPECT_EQ(data.startEnabled.load(), 1);
    EXPECT_FALSE(heard.said(klink::Com_Port::kReconnectingNote));
}
