// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window does, without a display: a face that only records
// what it is asked to show, against the simulated car.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <mutex>

#include "logic/MainWindow.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

namespace {

struct FakeFace : logic::MainWindowFace {
    void post(std::function<void()> step) override {
        std::lock_guard<std::mutex> lock(mutex);
        posted.push_back(std::move(step));
    }
    void showRunning(bool r) override { running.push_back(r); }
    void repaintPanel(int k) override { painted.push_back(k); }
    void showError(const std::string& text) override { errors.push_back(text); }
    void closeChildren() override { events.push_back("close children"); }
    void quit(int code) override { events.push_back("quit " + std::to_string(code)); }
    int stripTextWidth(const std::string& text) const override { return 7 * static_cast<int>(text.size()); }
    void capturePicture(bool whole) override { events.push_back(whole ? "capture window" : "capture charts"); }
    std::string saveCapturedPicture(const std::string& path) override {
        events.push_back("save " + path);
        return {};
    }
    std::string chooseSaveFile(const std::string& title, const std::string& folder, const std::string& name,
                               bool) override {
        events.push_back("ask " + title + " in [" + folder + "] for " + name);
        return answer;
    }
    std::string answer;  // the path the save dialog returns
    // Runs what was posted, as the face's event loop would.
    void pump() {
        for (;;) {
            std::function<void()> step;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (posted.empty()) return;
                step = std::move(posted.front());
                posted.pop_front();
            }
            step();
        }
    }
    bool until(const std::function<bool()>& cond) {
        return testsupport::waitUntil([&] {
            pump();
            return cond();
        });
    }
    std::mutex mutex;
    std::deque<std::function<void()>> posted;
    std::vector<bool> running;
    std::vector<int> painted;
    std::vector<std::string> errors, events;
};

struct Rig {
    explicit Rig(sim::SimOptions o = {}, bool instant = false, bool canCommand = true) {
        options.settingsPath = path;
        auto l = std::make_unique<sim::SimulatedLine>(o, instant);
        line = l.get();
        lines::MadeLine made(std::move(l));
        made.canCommand = canCommand;
        main = std::make_unique<logic::MainWindow>(options, std::move(made), face);
        EXPECT_EQ(main->begin("."), "");
        main->created();
    }
    ~Rig() {
        if (main) main->shutDown();
    }
    std::string path = testsupport::tempSettingsPath();
    logic::TesterOptions options;
    FakeFace face;
    sim::SimulatedLine* line;
    std::unique_ptr<logic::MainWindow> main;
};

}  // namespace

TEST(MainWindowLogic, StartStopStartGoesOnWithoutANewWakeUpAndTheChartsAreRepainted) {
    sim::SimOptions o;
    o.answerDelay = std::chrono::milliseconds(2);
    o.readTimeoutDivisor = 10;
    Rig rig(o);
    EXPECT_EQ(rig.main->chartParameter, (stored::ChartParameters{2, 3, 4, 5, 6}));  // preset 1 on creation
    EXPECT_EQ(rig.line->openCount(), 0);                                            // nothing before "Старт"
    rig.face.painted.clear();

    rig.main->start();
    EXPECT_EQ(rig.face.running, std::vector<bool>{true});
    const auto firstTimer = rig.main->timerId.load();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= 3; }));
    // The sampler's ticks reach the panels: the moving charts, at most once
    // per request, and the strip for the status.
    ASSERT_TRUE(rig.face.until([&] { return !rig.face.painted.empty(); }));
    rig.main->stop();
    EXPECT_EQ(rig.face.running.back(), false);
    EXPECT_FALSE(rig.main->timers().isRunning(firstTimer));
    const auto passes = rig.main->link().passCount();
    rig.main->start();
    EXPECT_NE(rig.main->timerId.load(), firstTimer);
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= passes + 3; }));
    EXPECT_EQ(rig.line->withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); }), 1u);
}

TEST(MainWindowLogic, ALinkThatGivesUpShowsStoppedAndItsTimerStopsItself) {
    sim::SimOptions o;
    o.fault = sim::LineFault::NoAdapter;
    Rig rig(o, true);
    rig.main->start();
    const auto id = rig.main->timerId.load();
    ASSERT_TRUE(rig.face.until([&] { return !rig.face.running.empty() && !rig.face.running.back(); }));
    EXPECT_TRUE(rig.face.until([&] { return !rig.main->timers().isRunning(id); }));
}

TEST(MainWindowLogic, TheEndClosesTheWindowsStoresTheColoursAndQuitsOnce) {
    Rig rig;
    rig.main->colourScheme.gridColour = {0.2f, 0.4f, 0.1f, 0.4f};
    rig.main->start();
    rig.main->end(130);
    rig.main->end(0);  // a second way out while ending changes nothing
    EXPECT_EQ(rig.face.events, (std::vector<std::string>{"close children", "quit 130"}));
    EXPECT_TRUE(rig.main->ended());
    EXPECT_EQ(platform::SettingsStore(rig.path).readInt(stored::kColourKey, "GRID_R").value, 20);
    const std::size_t frames = rig.line->withCore([](sim::AdapterCore& c) { return c.received().size(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(rig.line->withCore([](sim::AdapterCore& c) { return c.received().size(); }),
              frames);  // nothing more sent
    rig.main->start();  // a press that was queued behind the end
    EXPECT_EQ(rig.face.running, std::vector<bool>{true});
}

TEST(MainWindowLogic, PresetsTheChildWindowsReadsAndAReplaysMissingCommands) {
    Rig rig;
    rig.main->store().writeInt(stored::setKey(2), "diagram_3", 77);
    rig.main->store().deleteKey(stored::setKey(3));
    rig.main->selectPreset(2);
    EXPECT_EQ(rig.main->chartParameter[2], 78);
    const auto before = rig.main->chartParameter;
    rig.main->selectPreset(3);  // no such set: the charts stay
    EXPECT_EQ(rig.main->chartParameter, before);

    EXPECT_TRUE(rig.main->openErrors());
    EXPECT_TRUE(klink::isSet(rig.main->linkData.command.dtcReadRequest));
    EXPECT_TRUE(rig.main->openControl());
    EXPECT_TRUE(klink::isSet(rig.main->linkData.command.controlActive));

    Rig replay({}, false, false);
    EXPECT_FALSE(replay.main->openControl());
    EXPECT_FALSE(klink::isSet(replay.main->linkData.command.controlActive));
    EXPECT_FALSE(klink::isSet(replay.main->linkData.command.actuator[0].reportRequest));
}

TEST(MainWindowLogic, WithReconnectingChosenAnUnpluggedAdapterIsWaitedForAndTheChartsShowTheGap) {
    sim::SimOptions o;
    o.answerDelay = std::chrono::milliseconds(1);
    o.readTimeoutDivisor = 10;
    Rig rig(o);
    stored::savePortChoice(rig.main->store(), {"", platform::WakeMethod::SlowByte, true});
    rig.main->link().setReconnectPause(std::chrono::milliseconds(200));
    rig.main->start();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= 3; }));
    rig.line->setOpenSucceeds(false);  // unplugged
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().reconnecting(); }));
    const auto passes = rig.main->link().passCount();
    rig.line->setOpenSucceeds(true);
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= passes + 3; }));
    // Never shown stopped: nobody had to press "Старт".
    EXPECT_EQ(rig.face.running, std::vector<bool>{true});
    EXPECT_EQ(rig.main->linkData.reconnections.load(), 1u);
    // The first sample after the gap starts a new trace.
    ASSERT_TRUE(rig.face.until([&] {
        display::HistoryBuffer h;
        rig.main->histories.copy(56, h);
        return std::count(h.afterGap.begin(), h.afterGap.end(), 1) == 1;
    }));
}
