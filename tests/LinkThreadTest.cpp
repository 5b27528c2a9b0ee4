// SPDX-License-Identifier: GPL-3.0-or-later
// The link on its own thread: start, pause at exchange boundaries, the
// failure stop's hand-over, the orderly end, and no data race under load.
#include <gtest/gtest.h>

#include "link/Com_Port.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

struct StopWatcher : klink::LinkObserver {
    explicit StopWatcher(klink::LinkData& d) : data(d) {}
    void linkStopped() override {
        startEnabledSeen = data.startEnabled.load();
        stops++;
    }
    klink::LinkData& data;
    std::atomic<int> startEnabledSeen{-1};
    std::atomic<int> stops{0};
};

std::size_t requests(sim::SimulatedLine& line) {
    return line.withCore([](sim::AdapterCore& c) { return c.requests().size(); });
}
std::size_t wakeUps(sim::SimulatedLine& line) {
    return line.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); });
}

}  // namespace

TEST(LinkThread, NothingHappensBeforeStartAndPauseKeepsTheConnection) {
    sim::SimOptions o;
    o.answerDelay = milliseconds(2);
    sim::SimulatedLine line(o);
    klink::LinkData data;
    klink::Com_Port port(line, data);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(line.openCount(), 0);
    EXPECT_EQ(requests(line), 0u);

    port.start();
    ASSERT_TRUE(waitUntil([&] { return port.passCount() >= 3; }));
    port.pause();
    ASSERT_TRUE(waitUntil([&] { return port.threadParked(); }));
    const auto frozen = requests(line);
    const auto passes = port.passCount();
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_EQ(requests(line), frozen);
    EXPECT_TRUE(port.linkUp());
    EXPECT_TRUE(port.portOpen());

    // Resumed while the ECU still answers: polling goes on without a wake-up.
    port.start();
    ASSERT_TRUE(waitUntil([&] { return port.passCount() >= passes + 3; }));
    EXPECT_EQ(wakeUps(line), 1u);

    // The ECU drops the session during a pause: the first pass finds no
    // data and the next turn reconnects.
    port.pause();
    ASSERT_TRUE(waitUntil([&] { return port.threadParked(); }));
    line.withCore([](sim::AdapterCore& c) {
        c.ecu().dropSession();
        return 0;
    });
    port.start();
    ASSERT_TRUE(waitUntil([&] { return wakeUps(line) == 2 && port.linkUp(); }));
    port.shutdown();
}

TEST(LinkThread, AFailureStopShowsTheStoppedStateBeforeItPausesAndCanBeRestarted) {
    sim::SimOptions o;
    o.fault = sim::LineFault::SilentEcu;
    o.answerDelay = milliseconds(1);
    sim::SimulatedLine line(o, true);
    klink::LinkData data;
    StopWatcher watcher(data);
    klink::Com_Port port(line, data, nullptr, &watcher);
    data.startEnabled = 0;
    port.start();
    ASSERT_TRUE(waitUntil([&] { return watcher.stops == 1 && port.threadParked(); }));
    EXPECT_EQ(watcher.startEnabledSeen.load(), 1);
    EXPECT_EQ(cp1251::toUtf8(data.statusText.get()), "Адаптер не подключен!");
    EXPECT_FALSE(line.isOpen());
    const auto opens = line.openCount();

    line.withCore([](sim::AdapterCore& c) {
        c.options().fault = sim::LineFault::None;
        return 0;
    });
    data.startEnabled = 0;
    port.start();
    ASSERT_TRUE(waitUntil([&] { return port.passCount() > 0; }));
    EXPECT_EQ(line.openCount(), opens + 1);
}

TEST(LinkThread, ShutdownLeavesAReadUnderWayAtOnceAndSendsNothingMore) {
    sim::SimOptions o;
    o.fault = sim::LineFault::NoAdapter;  // every read runs into its 750 ms
    sim::SimulatedLine line(o);
    klink::LinkData data;
    klink::Com_Port port(line, data);
    port.start();
    std::this_thread::sleep_for(milliseconds(200));
    const auto t0 = Clock::now();
    port.shutdown();
    EXPECT_LT(Clock::now() - t0, milliseconds(100) * testsupport::slowdown());
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(port.portOpen());
}

TEST(LinkThread, ReadersCopyingEverythingWhileTheLinkRunsDoNotRace) {
    sim::SimulatedLine line({}, true);
    klink::LinkData data;
    klink::Com_Port port(line, data);
    klink::post(data.command.controlActive);
    klink::post(data.command.dtcReadRequest);
    std::atomic<bool> stop{false};
    std::atomic<long> copies{0};
    std::thread reader([&] {
        while (!stop) {
            auto s = data.statusText.get();
            auto ids = data.identText.getAll();
            auto dtc = data.command.dtcReply.copy();
            for (auto& a : data.command.actuator) s += a.stateText.get();
            if (data.sampleReady.exchange(0, std::memory_order_acquire)) copies++;
            (void)ids;
            (void)dtc;
        }
    });
    std::thread poster([&] {
        while (!stop) {
            for (auto& a : data.command.actuator) klink::post(a.reportRequest);
            data.command.adjust[0].adjustFrame.setValue(5);
            klink::post(data.command.adjust[0].adjustRequest);
            klink::post(data.command.actuator[3].releaseRequest);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    port.start();
    EXPECT_TRUE(waitUntil([&] { return port.passCount() >= 2000; }, std::chrono::seconds(60)));
    stop = true;
    reader.join();
    poster.join();
    port.shutdown();
    EXPECT_GT(copies.load(), 0);
}

TEST(LinkThread, AnIdentificationReadCutShortByTheEndIsNeitherSaidNorShown) {
    // The end comes while the read of the ECU's own identification (1A 80)
    // waits for its answer.
    struct Watcher : klink::LinkObserver {
        void identificationRead() override { reads++; }
        std::atomic<int> reads{0};
    } watcher;
    sim::SimulatedLine line(sim::SimOptions{});
    std::atomic<bool> asked{false};
    line.withCore([&](sim::AdapterCore& c) {
        c.beforeAnswer = [&](const std::vector<std::uint8_t>& frame, auto) {
            if (frame.size() > 4 && frame[3] == 0x1A && frame[4] == 0x80) {
                c.ecu().dropSession();  // no answer: the read waits out its time
                asked = true;
            }
        };
        return 0;
    });
    klink::LinkData data;
    klink::Com_Port port(line, data, nullptr, &watcher);
    port.start();
    ASSERT_TRUE(waitUntil([&] { return asked.load(); }));
    port.shutdown();
    EXPECT_EQ(watcher.reads.load(), 0);
    EXPECT_EQ(port.passCount(), 0u);
}
