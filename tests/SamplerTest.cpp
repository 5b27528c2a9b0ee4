// SPDX-License-Identifier: GPL-3.0-or-later
// The 30 ms sampler and its timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include "painting/Sampler.h"
#include "platform/TimerService.h"
#include "tests/TestSupport.h"

using display::Sampler;

namespace {

struct Rig {
    Rig()
        : sampler(
              link, kept, [this](Sampler::Repaint r) { repaints.push_back(r); }, [this] { kills++; }) {
        link.startEnabled = 0;
    }
    display::HistoryBuffer history(int number, std::optional<std::uint64_t> at = std::nullopt) {
        display::HistoryBuffer b;
        kept.liveHistory(number, at ? *at : kept.ticks(), b);
        return b;
    }
    // A measured pass, as the link keeps it, with what the decoding set.
    void pass(const std::function<void(ecu::LiveData&)>& decoded, bool afterGap = false) {
        auto d = std::make_unique<ecu::LiveData>();
        decoded(*d);
        ecu::PassRecord r;
        r.afterGap = afterGap;
        ecu::takeSamples(*d, r);
        kept.add(r);
        link.sampleReady = 1;
        link.dataValid = 1;
    }
    void pass(int number, float plot, bool afterGap = false) {
        pass([&](ecu::LiveData& d) { d.analogue[static_cast<std::size_t>(number)].plotValue = plot; }, afterGap);
    }
    klink::LinkData link;
    ecu::SessionHistory kept;
    std::vector<Sampler::Repaint> repaints;
    int kills = 0;
    Sampler sampler;
};

}  // namespace

TEST(Sampler, NothingAgesBeforeTheFirstPassAndOnlyTheStripRepaints) {
    Rig r;
    for (int i = 0; i < 50; ++i) r.sampler.tick();
    const auto h = r.history(56);
    for (std::size_t i = 0; i < display::kHistorySlots; ++i) {
        EXPECT_EQ(h.historyAge[i], static_cast<int>(i));
        EXPECT_EQ(h.historyValue[i], 0);
    }
    EXPECT_EQ(r.repaints, std::vector<Sampler::Repaint>(50, Sampler::Repaint::StripOnly));
    EXPECT_FALSE(r.kept.liveHistory(59, 0, *std::make_unique<display::HistoryBuffer>()));  // N_ERR has none
}

TEST(Sampler, SamplesTruncateShiftInAndAgeWhileTheLinkStalls) {
    Rig r;
    r.pass(56, 99.9f);
    r.sampler.tick();
    auto h = r.history(56);
    EXPECT_EQ(h.historyValue[1], 99);
    EXPECT_EQ(h.historyAge[1], 0);
    EXPECT_EQ(h.historyAge[2], 2);  // the initial slot 1, aged once and shifted
    EXPECT_EQ(r.link.sampleReady.load(), 0);
    r.pass(56, -0.5f);
    r.sampler.tick();
    r.pass(56, -1.7f);
    r.sampler.tick();
    h = r.history(56);
    EXPECT_EQ(h.historyValue[1], -1);
    EXPECT_EQ(h.historyValue[2], 0);
    EXPECT_EQ(h.historyValue[3], 99);
    // A flag's sample is exactly 0 or 80.
    r.pass([](ecu::LiveData& d) { d.flag[21].plotValue = 80; });
    r.sampler.tick();
    EXPECT_EQ(r.history(21).historyValue[1], 80);
    // No new pass: every tick still ages everything by one.
    const int age = r.history(56).historyAge[1];
    for (int i = 0; i < 690; ++i) r.sampler.tick();
    EXPECT_EQ(r.history(56).historyAge[1], age + 690);
    EXPECT_EQ(r.repaints.back(), Sampler::Repaint::All);
}

TEST(Sampler, The1025thSampleDropsTheOldestRealOne) {
    Rig r;
    for (int i = 1; i <= 1025; ++i) {
        r.pass(54, static_cast<float>(i));
        r.sampler.tick();
    }
    const auto h = r.history(54);
    EXPECT_EQ(h.historyValue[1], 1025);
    EXPECT_EQ(h.historyValue[1024], 2);  // sample 1 is gone
    EXPECT_EQ(h.historyAge[1024], 1023);
}

// The live charts draw the newest samples of the drive's one history; what
// they showed at an earlier tick (a paused chart) stays as it was.
TEST(Sampler, TheChartsTakeOnlyKeptPassesAndAnEarlierTicksPictureStaysAsShown) {
    Rig r;
    r.pass(56, 10);
    r.sampler.tick();
    r.link.sampleReady = 1;  // a pass that did not measure: raised, never kept
    r.sampler.tick();
    auto h = r.history(56);
    EXPECT_EQ(h.historyValue[1], 10);
    EXPECT_EQ(h.historyAge[1], 1);
    EXPECT_EQ(h.historyValue[2], 0);  // no second point for it
    // Two passes kept between ticks (the timer fell behind): the newer is
    // taken, and the gap before the older one is not lost.
    r.pass(56, 20, true);
    r.pass(56, 30);
    r.sampler.tick();
    const std::uint64_t then = r.kept.ticks();
    const auto shown = r.history(56);
    EXPECT_EQ(shown.historyValue[1], 30);
    EXPECT_EQ(shown.afterGap[1], 1);
    EXPECT_EQ(shown.historyValue[2], 10);
    for (int i = 0; i < 50; ++i) {
        r.pass(56, static_cast<float>(i));
        r.sampler.tick();
    }
    EXPECT_TRUE(r.kept.liveHistoryKept(then));
    const auto again = r.history(56, then);
    EXPECT_EQ(again.historyValue, shown.historyValue);
    EXPECT_EQ(again.historyAge, shown.historyAge);
    EXPECT_EQ(again.afterGap, shown.afterGap);
}

TEST(Sampler, TheTimerKillsItselfOneTickAfterAFailureStop) {
    klink::LinkData link;
    ecu::SessionHistory kept;
    platform::TimerService timers;
    std::atomic<platform::TimerService::Id> id{0};
    std::atomic<int> ticks{0};
    std::atomic<int> ticksAtKill{-1};
    Sampler sampler(
        link, kept, [&](Sampler::Repaint) { ticks++; },
        [&] {
            ticksAtKill = ticks.load();
            timers.killEvent(id);
        });
    link.startEnabled = 0;
    id = timers.setEvent(30, 10, [&] { sampler.tick(); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return ticks >= 3; }));
    link.startEnabled = 1;  // what the link's failure stop does
    ASSERT_TRUE(testsupport::waitUntil([&] { return !timers.isRunning(id); }));
    // The killing tick goes on after the kill and still repaints once; then
    // nothing more comes.
    ASSERT_TRUE(testsupport::waitUntil([&] { return ticks == ticksAtKill + 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(ticks.load(), ticksAtKill + 1);
    timers.killEvent(id);  // a dead identifier is harmless
    timers.killEvent(12345);
}

TEST(TimerService, TicksKeepTheirScheduleWithoutDrift) {
    // Tick k is due (k + 1) x 30 ms after the start. None comes early (every
    // try), and a late one does not push the later ones back: the median
    // lateness of the first 30 stays small where 5 ms of work per tick would
    // drift 150 ms by the 30th. A busy machine only delays ticks, so the
    // schedule must hold in one of three tries.
    const auto missed = testsupport::timelyInOneOf(3, [] {
        platform::TimerService timers;
        std::vector<std::chrono::steady_clock::time_point> at;
        std::mutex m;
        const auto t0 = std::chrono::steady_clock::now();
        const auto id = timers.setEvent(30, 10, [&] {
            std::lock_guard<std::mutex> l(m);
            at.push_back(std::chrono::steady_clock::now());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // work in the callback
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        timers.killEvent(id);
        std::lock_guard<std::mutex> l(m);
        EXPECT_LE(at.size(), 34u);
        if (at.size() < 30) return "only " + std::to_string(at.size()) + " ticks in 1 s; ";
        std::vector<long long> late;
        for (std::size_t k = 0; k < 30; ++k)
            late.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(at[k] - t0).count() -
                           30 * static_cast<long long>(k + 1));
        EXPECT_GE(*std::min_element(late.begin(), late.end()), -2);
        std::nth_element(late.begin(), late.begin() + 15, late.end());
        return testsupport::lateBy("median lateness", late[15], 15);
    });
    EXPECT_EQ(missed, "");
}
