// SPDX-License-Identifier: GPL-3.0-or-later
// Connection set-up against the simulated adapter and ECU, driven one loop
// turn at a time on the test's thread.
#include <gtest/gtest.h>

#include "link/Com_Port.h"
#include "link/StatusTexts.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

struct Rig {
    explicit Rig(sim::SimOptions o = {}, bool instant = true) : line(o, instant), port(line, data) {
        data.startEnabled = 0;  // as after "Старт"
    }
    std::vector<std::string> sent() {
        return line.withCore([](sim::AdapterCore& c) { return services(c.requests()); });
    }
    std::string status() { return cp1251::toUtf8(data.statusText.get()); }
    klink::LinkData data;
    sim::SimulatedLine line;
    klink::Com_Port port;
};

}  // namespace

TEST(Connection, SuccessfulSetUpWakesThenReadsTheIdentification) {
    Rig rig({}, false);
    rig.port.loopTurn();
    EXPECT_TRUE(rig.port.portOpen());
    EXPECT_TRUE(rig.port.linkUp());
    EXPECT_EQ(rig.port.failCount(), 0);
    EXPECT_EQ(rig.status(), "Установление связи.");
    EXPECT_EQ(rig.sent(), (std::vector<std::string>{"82", "81", "21 A1", "21 A2", "21 A3", "1A 80"}));

    // One wake-up, between StopCommunication and StartCommunication, and
    // StartCommunication right after its 50 ms: never before, within 5 ms
    // after in one of three tries (a busy machine only delays it).
    const auto missed = testsupport::timelyInOneOf(3, [] {
        Rig rig({}, false);
        rig.port.loopTurn();
        return rig.line.withCore([](sim::AdapterCore& c) {
            EXPECT_EQ(c.wakeUps().size(), 1u);
            if (c.wakeUps().empty() || c.requests().size() < 2) return std::string("no wake-up; ");
            const auto wake = c.wakeUps().front();
            EXPECT_GT(wake, c.requests()[0].at);
            const auto gap = c.requests()[1].at - (wake + std::chrono::milliseconds(50));
            EXPECT_GE(gap, Clock::duration::zero());
            return testsupport::lateBy("StartCommunication after the wake-up",
                                       std::chrono::duration_cast<std::chrono::milliseconds>(gap).count(), 4);
        });
    });
    EXPECT_EQ(missed, "");
}

TEST(Connection, NoAdapterTakesFullReadTimeOutsAndStopsAtTheTenthAttempt) {
    sim::SimOptions o;
    o.fault = sim::LineFault::NoAdapter;
    Rig rig(o, false);
    rig.port.loopTurn();  // opens and makes the first attempt
    int made = 1;
    // Two reads of up to 14 bytes run into 14 x 50 + 50 ms each, plus the
    // 50 ms wake-up: never shorter; not much longer in one of two attempts.
    const auto missed = testsupport::timelyInOneOf(2, [&] {
        const auto t0 = Clock::now();
        rig.port.loopTurn();
        ++made;
        const auto attempt = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
        EXPECT_GT(attempt, 1540);
        EXPECT_EQ(rig.status(), "Проверте адаптер!");
        return testsupport::lateBy("an attempt without an adapter", attempt, 1700);
    });
    EXPECT_EQ(missed, "");
    EXPECT_EQ(rig.port.failCount(), made);
    // The count to ten needs no more real time: the rest run instantly.
    rig.line.setInstant(true);
    for (; made < 9; ++made) rig.port.loopTurn();
    EXPECT_FALSE(rig.port.stoppedItself());
    rig.port.loopTurn();
    EXPECT_EQ(rig.status(), "Адаптер не подключен!");
    EXPECT_TRUE(rig.port.stoppedItself());
    EXPECT_FALSE(rig.port.portOpen());
    EXPECT_FALSE(rig.line.isOpen());
    EXPECT_EQ(rig.port.failCount(), 0);
    EXPECT_EQ(rig.data.startEnabled.load(), 1);
}

TEST(Connection, SilentEcuIsJudgedByTheEchoAsAMissingAdapter) {
    sim::SimOptions o;
    o.fault = sim::LineFault::SilentEcu;
    Rig rig(o, false);
    const auto t0 = Clock::now();
    rig.port.loopTurn();
    // Each read ends 50 ms after the echo; with the wake-up about 150 ms.
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(400) * testsupport::slowdown());
    EXPECT_EQ(rig.status(), "Проверте адаптер!");
    EXPECT_EQ(rig.port.failCount(), 1);
    EXPECT_FALSE(rig.port.linkUp());
}

TEST(Connection, WrongKeyBytesSendStopAgainAndEmptyTheIdentification) {
    Rig rig;
    rig.port.loopTurn();
    ASSERT_TRUE(rig.port.linkUp());
    rig.data.identText.setAll({"x", "y", "z", "", "", "", "", "", "", "", "w"});
    rig.line.withCore([](sim::AdapterCore& c) {
        c.ecu().wrongKeyBytes = true;
        c.ecu().dropSession();
        return 0;
    });
    rig.port.loopTurn();  // the pass finds no data
    ASSERT_FALSE(rig.port.linkUp());
    rig.port.loopTurn();
    EXPECT_EQ(rig.status(), "Нет ответа.");
    EXPECT_EQ(rig.port.failCount(), 1);
    for (std::size_t k = 0; k < klink::kIdentTextCount; ++k) EXPECT_EQ(rig.data.identText.get(k), "");
    const auto s = rig.sent();
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ((std::vector<std::string>(s.end() - 3, s.end())), (std::vector<std::string>{"82", "81", "82"}));
}

TEST(Connection, TheKindOfTheTenthFailureChoosesTheStopText) {
    {
        Rig rig;
        rig.line.withCore([](sim::AdapterCore& c) {
            c.ecu().wrongKeyBytes = true;
            return 0;
        });
        for (int i = 0; i < 9; ++i) rig.port.loopTurn();
        EXPECT_EQ(rig.status(), "Нет ответа.");
        rig.line.withCore([](sim::AdapterCore& c) {
            c.options().fault = sim::LineFault::SilentEcu;
            return 0;
        });
        rig.port.loopTurn();
        EXPECT_EQ(rig.status(), "Адаптер не подключен!");
        EXPECT_TRUE(rig.port.stoppedItself());
    }
    {
        Rig rig;
        rig.line.withCore([](sim::AdapterCore& c) {
            c.ecu().wrongKeyBytes = true;
            return 0;
        });
        for (int i = 0; i < 10; ++i) rig.port.loopTurn();
        EXPECT_EQ(rig.status(), "Контроллер не отвечает.");
        EXPECT_TRUE(rig.port.stoppedItself());
    }
}

TEST(Connection, ASuccessResetsTheFailureCount) {
    Rig rig;
    auto silent = [&](bool on) {
        rig.line.withCore([on](sim::AdapterCore& c) {
            c.options().fault = on ? sim::LineFault::SilentEcu : sim::LineFault::None;
            return 0;
        });
    };
    silent(true);
    for (int i = 0; i < 9; ++i) rig.port.loopTurn();
    EXPECT_EQ(rig.port.failCount(), 9);
    silent(false);
    rig.port.loopTurn();
    EXPECT_TRUE(rig.port.linkUp());
    EXPECT_EQ(rig.port.failCount(), 0);
    silent(true);
    rig.port.loopTurn();  // the pass finds nothing
    for (int i = 0; i < 9; ++i) rig.port.loopTurn();
    EXPECT_EQ(rig.port.failCount(), 9);
    EXPECT_FALSE(rig.port.stoppedItself());
}

TEST(Connection, APortThatCannotBeOpenedStopsTheLinkAndKeepsTheIdentification) {
    Rig rig;
    rig.data.identText.setAll({"VIN", "", "", "", "", "", "", "", "", "", ""});
    rig.line.setOpenSucceeds(false);
    rig.port.loopTurn();
    EXPECT_EQ(rig.status(), "Ошибка открытия порта!");
    EXPECT_TRUE(rig.port.stoppedItself());
    EXPECT_FALSE(rig.port.portOpen());
    EXPECT_EQ(rig.data.startEnabled.load(), 1);
    EXPECT_EQ(rig.data.identText.get(0), "VIN");
    EXPECT_TRUE(rig.sent().empty());

    // Started again, it opens the port anew before sending anything.
    rig.line.setOpenSucceeds(true);
    rig.port.loopTurn();
    EXPECT_EQ(rig.line.openCount(), 2);
    EXPECT_TRUE(rig.port.linkUp());
}
