// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window does, without a display: a face that only records
// what it is asked to show, against the simulated car.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "journal/Journal.h"
#include "logic/ControlWindow.h"
#include "logic/JournalWindow.h"
#include "logic/MainWindow.h"
#include "logic/PostQueue.h"
#include "painting/PaintGate.h"
#include "painting/PanelLayout.h"
#include "platform/FileAccess.h"
#include "sim/FaultyEcuLine.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"
#include "tests/WireFaultCampaign.h"

namespace {

struct FakeFace : logic::MainWindowFace {
    void wake() override {}  // the test pumps: until() below
    // What the window's controls now show, as a face reads it: "Старт"
    // disabled is running; a preset's button down.
    void showControls() override {
        logic::ui::WindowLogic& c = main->controls();
        for (int id : c.takeChanged()) {
            if (id == logic::ui::kStart) running.push_back(!c.shown(id).enabled);
            if (id >= logic::ui::kPreset1 && id < logic::ui::kPreset1 + 12 && c.shown(id).value == 1)
                events.push_back("preset " + std::to_string(id - logic::ui::kPreset1 + 1));
        }
    }
    void repaintPanel(int k) override { painted.push_back(k); }
    void showError(const std::string& text) override {
        errors.push_back(text);
        runningAtError = !running.empty() && running.back();
    }
    void closeChildren() override { events.push_back("close children"); }
    void quit(int code) override { events.push_back("quit " + std::to_string(code)); }
    int stripTextWidth(const std::string& text) const override { return 7 * static_cast<int>(text.size()); }
    void capturePicture(const logic::ui::Rect& a) override {
        const logic::ui::WindowDescription& d = logic::ui::mainWindow();
        const display::PanelPlace& c = display::kChartsArea;
        events.push_back(a == logic::ui::Rect{0, 0, d.width, d.height}       ? "capture window"
                         : a == logic::ui::Rect{c.x, c.y, c.width, c.height} ? "capture charts"
                                                                             : "capture elsewhere");
    }
    std::string openDocument(const std::string& path) override {
        events.push_back("open " + path);
        return {};
    }
    std::string saveCapturedPicture(const std::string& path) override {
        events.push_back("save " + path);
        return {};
    }
    std::string chooseFile(const FileDialog& d) override {
        events.push_back(d.save ? "ask " + d.title + " in [" + d.folder + "] for " + d.name
                                : "ask to open " + d.title + " in [" + d.folder + "]");
        return answer;
    }
    void openChild(std::unique_ptr<logic::ui::WindowLogic> w) override {
        events.push_back(std::string("open ") + w->description().title);
    }
    std::string answer;  // the path the save dialog returns
    // Runs what was posted, as the face's event loop would.
    void pump() {
        if (main) main->runPosted();
    }
    bool until(const std::function<bool()>& cond) {
        return testsupport::waitUntil([&] {
            pump();
            return cond();
        });
    }
    logic::MainWindow* main = nullptr;
    std::vector<bool> running;
    bool runningAtError = false;  // "Старт" disabled when the last box came
    std::vector<int> painted;
    std::vector<std::string> errors, events;
};

struct Rig {
    explicit Rig(sim::SimOptions o = {}, bool instant = false, bool canCommand = true, std::string journal = {},
                 std::string journalRecording = {}) {
        options.settingsPath = path;
        options.journalPath = std::move(journal);
        options.journalRecording = !journalRecording.empty();
        options.record = std::move(journalRecording);
        auto l = std::make_unique<sim::SimulatedLine>(o, instant);
        line = l.get();
        lines::MadeLine made(std::move(l));
        made.canCommand = canCommand;
        made.portChoosable = options.journalPath.empty();  // as --simulate makes it, where the journal names the port
        main = std::make_unique<logic::MainWindow>(options, std::move(made), face);
        face.main = main.get();
        main->controls().takeChanged();  // shown as the window is made
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

// A command asked while the connection is being set up is refused at once:
// kept for it, the starter would crank whenever the ECU answered again.
TEST(MainWindowLogic, ACommandWhileTheLinkIsBeingSetUpIsRefusedAndNeverSentAndAnUnansweredOneIsNotConfirmed) {
    namespace ui = logic::ui;
    sim::SimOptions o;
    o.fault = sim::LineFault::SilentEcu;
    Rig rig(o);
    rig.main->start();
    auto control = rig.main->openControl();
    control->chosen(ui::kControlList, 10);  // "Реле стартера"
    control->pressed(ui::kControlLeft, true);
    ASSERT_FALSE(rig.face.errors.empty());
    EXPECT_EQ(rig.face.errors.back(),
              "Связь с ЭБУ устанавливается: в ЭБУ ничего не отправлено. Повторите, когда пойдут данные");
    control->closing();
    rig.line->withCore([](sim::AdapterCore& c) { return c.options().fault = sim::LineFault::None; });
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= 2; }));
    const auto sent = rig.line->withCore([](sim::AdapterCore& c) { return testsupport::services(c.requests()); });
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "30 0E 06 FF"), 0);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "30 0E 00"), 1);  // the hand-back of the window's output
    // A command the ECU leaves unanswered may still have been carried out:
    // it is said as not confirmed, not as not done.
    control = rig.main->openControl();
    control->chosen(ui::kControlList, 7);  // "Реле вентилятора 1"
    rig.main->link().pause();
    rig.line->withCore([](sim::AdapterCore& c) { return c.options().fault = sim::LineFault::SilentEcu; });
    const std::size_t said = rig.face.errors.size();
    control->pressed(ui::kControlLeft, true);
    rig.main->link().start();
    ASSERT_TRUE(rig.face.until([&] { return rig.face.errors.size() > said; }));
    EXPECT_EQ(rig.face.errors[said], "Реле вентилятора 1: включение не подтверждено: ЭБУ не ответил");
    control->closing();
}

// A step the ECU refuses shows the value in effect again, and the next step
// counts from it. A hand-back the ECU refused is noted once a later one,
// from another window, is confirmed.
TEST(MainWindowLogic, ARefusedStepShowsTheValueInEffectAndALaterHandBackIsNoted) {
    namespace ui = logic::ui;
    const std::string path = testsupport::tempDir() + "/журнал.sqlite3";
    Rig rig({}, false, true, path);
    rig.main->start();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= 2; }));
    const auto ecu = [&](auto f) { return rig.line->withCore([&](sim::AdapterCore& c) { return f(c.ecu()); }); };
    ecu([](sim::EcuModel& e) { return e.adjustLimit = 1; });
    auto control = rig.main->openControl();
    control->chosen(ui::kControlList, 14);  // "Клапан продувки адсорбера", from 0 %
    const auto shownNow = [&] {
        control->tick();
        return control->shown(ui::kControlStatus).text;
    };
    control->pressed(ui::kControlLeft, true);
    ASSERT_TRUE(rig.face.until([&] { return ecu([](sim::EcuModel& e) { return e.adjustValue[0x43]; }) == 1; }));
    control->pressed(ui::kControlLeft, true);  // 2 %: out of the ECU's range
    ASSERT_TRUE(rig.face.until([&] { return !rig.face.errors.empty(); }));
    EXPECT_EQ(rig.face.errors.back(),
              "Клапан продувки адсорбера: установка 2 % не выполнена: ЭБУ отказал: значение вне допустимого (код 31)");
    EXPECT_EQ(shownNow(), "1 %");
    control->pressed(ui::kControlRight, true);  // from 1 %, not from 2 %
    ASSERT_TRUE(rig.face.until([&] { return ecu([](sim::EcuModel& e) { return e.adjustValue[0x43]; }) == 0; }));
    EXPECT_EQ(shownNow(), "0 %");
    // The fan relay switched on, then its hand-back refused at every try.
    control->chosen(ui::kControlList, 7);
    control->pressed(ui::kControlLeft, true);
    ASSERT_TRUE(rig.face.until([&] { return ecu([](sim::EcuModel& e) { return e.outputOn[0x0A]; }); }));
    ecu([](sim::EcuModel& e) { return e.busyReleases = 3; });
    const std::size_t said = rig.face.errors.size();
    control->closing();
    ASSERT_TRUE(rig.face.until([&] { return rig.face.errors.size() > said; }));
    EXPECT_EQ(rig.face.errors.back(),
              "Реле вентилятора 1: возврат управления ЭБУ не выполнен: ЭБУ отказал: занят, просит повторить (код 21)");
    // Another window leaves the relay's entry: that hand-back is confirmed.
    control = rig.main->openControl();
    control->chosen(ui::kControlList, 7);
    control->chosen(ui::kControlList, 8);
    ASSERT_TRUE(rig.face.until([&] { return !ecu([](sim::EcuModel& e) { return e.outputOn[0x0A]; }); }));
    control->closing();
    const std::uint64_t after = rig.main->link().passCount();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= after + 2; }));
    rig.main->shutDown();
    std::string why;
    const auto j = journal::Journal::open(path, why);
    ASSERT_TRUE(j) << why;
    const auto visits = j->visits(0);
    ASSERT_EQ(visits.size(), 1u);
    std::vector<std::string> relay;
    for (const auto& a : j->actions(visits[0].id))
        if (a.text.rfind("Реле вентилятора 1", 0) == 0)
            relay.push_back(a.kind + " " + a.text.substr(a.text.find(':') + 2));
    EXPECT_EQ(relay,
              (std::vector<std::string>{
                  "output включено",
                  "output-failed возврат управления ЭБУ не выполнен: ЭБУ отказал: занят, просит повторить (код 21)",
                  "output управление возвращено ЭБУ"}));
}

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
    namespace ui = logic::ui;
    rig.main->pressed(ui::kPreset1 + 1);  // "2"
    EXPECT_EQ(rig.main->chartParameter[2], 78);
    const auto before = rig.main->chartParameter;
    rig.main->pressed(ui::kPreset1 + 2);  // no such set: the charts stay
    EXPECT_EQ(rig.main->chartParameter, before);
    EXPECT_EQ(rig.face.events, (std::vector<std::string>{"preset 2", "preset 3"}));

    rig.main->pressed(ui::kErrors);
    EXPECT_TRUE(klink::isSet(rig.main->linkData.command.dtcReadRequest));
    rig.main->pressed(ui::kControl);
    EXPECT_TRUE(klink::isSet(rig.main->linkData.command.controlActive));
    rig.main->pressed(ui::kSettings);
    rig.main->pressed(ui::kAbout);
    EXPECT_EQ(
        std::vector<std::string>(rig.face.events.begin() + 2, rig.face.events.end()),
        (std::vector<std::string>{"open Ошибки", "open Управление", "open Настройка программы", "open О программе"}));
    // "О программе" opens on "OK", which closes it; "Руководство" closes it
    // and then asks for the manual (none beside a test: said so).
    auto about = rig.main->openAbout();
    EXPECT_EQ(about->description().opensOn, ui::kAboutOk);
    about->pressed(ui::kAboutOk, true);
    EXPECT_TRUE(about->takeClose());
    about = rig.main->openAbout();
    about->pressed(ui::kAboutManual, true);
    EXPECT_TRUE(about->takeClose());
    EXPECT_TRUE(rig.face.errors.empty());
    EXPECT_TRUE(rig.face.until([&] { return !rig.face.errors.empty(); }));
    EXPECT_NE(rig.face.errors[0].find("manual-ru.html"), std::string::npos);

    Rig replay({}, false, false);
    replay.main->pressed(ui::kControl);
    EXPECT_TRUE(replay.face.events.empty());
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
        ecu::HistoryBuffer h;
        rig.main->session().liveHistory(56, rig.main->session().ticks(), h);
        return std::count(h.afterGap.begin(), h.afterGap.end(), 1) == 1;
    }));
}

TEST(SessionHistory, EightHoursStayWithinTenMegabytesAnHourAndTheOldestMakeRoomAtTheBound) {
    // The simulated car's pass takes 253 ms (measured with the logger), as a
    // real K-line pass does; eight hours of it, made at once.
    constexpr std::int64_t kPassMs = 253;
    const std::size_t eightHours = 8 * 3600 * 1000 / kPassMs;
    auto kept = std::make_unique<ecu::SessionHistory>();
    ecu::PassRecord r;
    const int slot = ecu::chartedSlot(56);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(ecu::chartedSlot(6), -1);  // reserved: no chart, no sample
    for (std::size_t i = 0; i < eightHours; ++i) {
        r.pass = i + 1;
        r.timeMs = static_cast<std::int64_t>(i) * kPassMs;
        r.samples[static_cast<std::size_t>(slot)] = static_cast<std::int16_t>(i % 100);
        kept->add(r);
    }
    EXPECT_LE(kept->bytes(), std::size_t{8} * 10 * 1000 * 1000);
    std::printf("[ figure   ] %.2f MB an hour of passes every %lld ms\n", kept->bytes() / 8.0 / 1e6,
                static_cast<long long>(kPassMs));
    EXPECT_EQ(kept->lowerBound(1000 * kPassMs + 1), 1001u);
    EXPECT_EQ(kept->nearest(1000 * kPassMs + 100), 1000u);
    EXPECT_EQ(kept->nearest(1000 * kPassMs + 200), 1001u);
    std::vector<ecu::TracePoint> trace;
    kept->trace(56, 1098, 1102, trace);
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[2].value, 0);  // pass 1101 is index 1100
    EXPECT_EQ(trace[2].timeMs, 1100 * kPassMs);

    // Past the bound the oldest passes go, a chunk at a time, and memory stays.
    const std::size_t bound = kept->bytes() * ecu::SessionHistory::kMaxPasses / eightHours + (1 << 20);
    for (std::size_t i = eightHours; i < ecu::SessionHistory::kMaxPasses + 5000; ++i) {
        r.pass = i + 1;
        r.timeMs = static_cast<std::int64_t>(i) * kPassMs;
        kept->add(r);
    }
    EXPECT_GT(kept->first(), 0u);
    EXPECT_EQ(kept->end(), ecu::SessionHistory::kMaxPasses + 5000);
    EXPECT_LE(kept->end() - kept->first(), ecu::SessionHistory::kMaxPasses);
    EXPECT_LE(kept->bytes(), bound);
    ecu::PassRecord out;
    EXPECT_FALSE(kept->copy(0, out));
    ASSERT_TRUE(kept->copy(kept->end() - 1, out));
    EXPECT_EQ(out.pass, ecu::SessionHistory::kMaxPasses + 5000);
}

TEST(MainWindowLogic, APausedViewStaysWhileTheLinkPollsOnAndAClickPutsTheCursorOnAPass) {
    sim::SimOptions o;  // passes some milliseconds apart
    o.answerDelay = std::chrono::milliseconds(2);
    o.readTimeoutDivisor = 10;
    Rig rig(o);
    rig.main->start();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->session().end() >= 20; }));
    const auto& view = rig.main->review();
    EXPECT_TRUE(view.ordinary());
    EXPECT_TRUE(rig.main->press(logic::ui::letter('P')));
    const auto& kept = rig.main->session();
    const std::int64_t left = view.leftMs(0);
    const std::string inputs = display::panelInputs(1, rig.main->sources());
    const std::size_t passes = kept.end();
    ASSERT_TRUE(rig.face.until([&] { return kept.end() >= passes + 10; }));
    // Still: the same left edge and nothing that would paint the charts again.
    EXPECT_FALSE(view.following());
    EXPECT_EQ(view.leftMs(kept.timeAt(kept.end() - 1)), left);
    EXPECT_EQ(display::panelInputs(1, rig.main->sources()), inputs);

    // A click puts the cursor on the pass nearest to the time under it.
    rig.main->chartClick(375, false);
    const std::int64_t under = view.leftMs(0) - view.spanMs() / 2;
    ASSERT_TRUE(view.cursorA());
    EXPECT_EQ(*view.cursorA(), kept.timeAt(kept.nearest(under)));
    rig.main->press(logic::ui::key(logic::ui::Key::Period));
    EXPECT_EQ(*view.cursorA(), kept.timeAt(kept.nearest(under) + 1));
    // A held key: the cursor goes on moving with the repeats; P, held, has
    // paused once and stays paused.
    EXPECT_TRUE(rig.main->press(logic::ui::key(logic::ui::Key::Period), true));
    EXPECT_EQ(*view.cursorA(), kept.timeAt(kept.nearest(under) + 2));
    EXPECT_TRUE(rig.main->press(logic::ui::letter('P'), true));
    EXPECT_FALSE(view.following());

    // The menu says what is paused and what can be done; its entries do
    // what their keys do. Other modifiers, and keys while the link is not
    // the window's, do nothing.
    const auto menu = rig.main->chartMenu();
    ASSERT_GE(menu.size(), 13u);
    EXPECT_EQ(menu[0].text, "Продолжить");
    EXPECT_EQ(menu[0].keys, "P");
    EXPECT_TRUE(menu[1].enabled);    // back to live
    EXPECT_FALSE(menu[12].enabled);  // no range between two cursors yet
    EXPECT_TRUE(menu[4].separator());
    rig.main->menuChosen(static_cast<int>(logic::ui::Command::SecondCursor), 0);
    ASSERT_TRUE(view.cursorB());
    EXPECT_TRUE(rig.main->chartMenu()[12].enabled);
    EXPECT_FALSE(rig.main->press(logic::ui::letter('P', logic::ui::kShift)));
    EXPECT_FALSE(rig.main->press(logic::ui::key(logic::ui::Key::End, logic::ui::kCtrl)));
    EXPECT_FALSE(view.following());
    EXPECT_FALSE(rig.main->press(logic::ui::Chord{logic::ui::Key::Function, 3, logic::ui::kCtrl}));
    EXPECT_TRUE(rig.main->press(logic::ui::Chord{logic::ui::Key::Function, 3, 0}));
    EXPECT_EQ(rig.face.events.back(), "preset 3");

    // End: live again, as it always looked.
    rig.main->press(logic::ui::key(logic::ui::Key::End));
    EXPECT_TRUE(view.ordinary());
    EXPECT_TRUE(display::panelInputs(1, rig.main->sources()).empty());  // the moving trace again

    // The report while the link polls on: only what the link shares with
    // this thread is read (the thread sanitizer's build watches).
    rig.face.answer = testsupport::tempDir() + "/live.json";
    rig.main->run(logic::ui::Command::Report);
    std::ifstream written(rig.face.answer);
    const std::string report((std::istreambuf_iterator<char>(written)), {});
    EXPECT_NE(report.find("\"Код ЭБУ\": \"2112114101\""), std::string::npos) << report.substr(0, 400);
    EXPECT_TRUE(rig.face.errors.empty());
}

// Before a pass is measured the history's table is not offered: the key
// says why, and no dialog asks for a file.
TEST(MainWindowLogic, AnEmptyHistoryIsSaidInsteadOfSavingAnEmptyTable) {
    namespace ui = logic::ui;
    Rig rig;
    for (const ui::MenuItem& item : rig.main->chartMenu())
        if (item.id == static_cast<int>(ui::Command::SaveTable)) {
            EXPECT_FALSE(item.enabled);
        }
    EXPECT_TRUE(rig.main->press(ui::letter('E', ui::kCtrl)));
    ASSERT_EQ(rig.face.errors.size(), 1u);
    EXPECT_EQ(rig.face.errors[0], "ещё не измерен ни один цикл опроса: таблица была бы пустой");
    EXPECT_TRUE(rig.face.events.empty());
}

TEST(ChartReview, ScrollingZoomAndCursorsKeepTheViewWithinTheDrive) {
    display::ChartReview view;
    const std::int64_t oldest = 1000, newest = 100000, span = view.spanMs();
    view.scroll(-1, oldest, newest);  // scrolling pauses
    EXPECT_EQ(view.leftMs(newest + 500), newest - span / 10);
    view.scroll(-100, oldest, newest);  // no further than the oldest at the right edge
    EXPECT_EQ(view.leftMs(0), oldest + span);
    EXPECT_EQ(view.timeAtPixel(display::ChartReview::kPixelsAcross, 0), oldest);
    EXPECT_DOUBLE_EQ(view.unitsAt(oldest, 0), display::ChartReview::kUnitsAcross);
    view.zoom(-1);  // a longer span keeps the left edge
    EXPECT_EQ(view.spanMs(), 2 * span);
    EXPECT_EQ(view.leftMs(0), oldest + span);
    view.scroll(100, oldest, newest);  // back at the newest data: following again
    EXPECT_TRUE(view.following());
    EXPECT_FALSE(view.ordinary());          // at another span
    view.placeCursor(false, 5000, newest);  // a cursor pauses a following view
    EXPECT_EQ(view.leftMs(newest + 500), newest);
    view.backToLive();
    EXPECT_TRUE(view.ordinary());
    EXPECT_FALSE(view.cursorA());
    view.showWhole(oldest, newest);  // 99 s: the 120 s span, paused at the end
    EXPECT_EQ(view.spanMs(), 120000);
    EXPECT_EQ(view.leftMs(0), newest);
    EXPECT_FALSE(view.frozenTick());  // paused, but not from the live picture

    // A pause from the live picture keeps that picture until the view moves.
    view.backToLive();
    EXPECT_TRUE(view.pauseAsShown(newest + 90, 777));
    EXPECT_EQ(view.frozenTick(), 777u);
    EXPECT_EQ(view.leftMs(0), newest + 90);
    view.zoom(1);
    EXPECT_FALSE(view.frozenTick());
    for (const auto& move : std::vector<std::function<void()>>{[&] { view.scroll(-1, oldest, newest); },
                                                               [&] { view.placeCursor(false, 5000, newest); },
                                                               [&] { view.togglePause(newest); }}) {
        view.backToLive();
        view.pauseAsShown(newest, 5);
        move();
        EXPECT_FALSE(view.frozenTick());
    }
}

#ifdef M797_LOG_PATH
TEST(MainWindowLogic, AReplayReviewedAtOnceKeepsTheDriveAndItsTablesAreTheLoggers) {
    const std::string dir = testsupport::tempDir();
    const std::string rec = dir + "/drive.rec", logged = dir + "/logged.csv";
    ASSERT_EQ(testsupport::runCommand(std::string(M797_LOG_PATH) + " --simulate --passes 16 --record " + rec +
                                      " --csv " + logged + " --csv-style excel-ru >/dev/null 2>&1")
                  .status,
              0);
    logic::TesterOptions o;
    o.settingsPath = dir + "/VELKOR.ini";
    o.replay = rec;
    o.replaySpeed = 4;
    {  // --speed 4: the replies come four times as fast
        FakeFace face;
        lines::MadeLine made = logic::makeLine(o);
        klink::ReplayLine* replay = made.replay;
        ASSERT_TRUE(replay);
        logic::MainWindow main(o, std::move(made), face);
        EXPECT_EQ(replay->speed(), 4);
    }
    o.replaySpeed = 0;
    FakeFace face;
    logic::MainWindow main(o, logic::makeLine(o), face);
    face.main = &main;
    main.controls().takeChanged();
    ASSERT_EQ(main.begin(","), "");
    main.created();  // the whole drive, at once, without "Старт"
    ASSERT_TRUE(face.until([&] { return face.running.size() >= 2 && !face.running.back(); }));
    EXPECT_EQ(main.session().end(), 16u);
    EXPECT_FALSE(main.review().following());  // shown whole, paused at its end
    EXPECT_EQ(main.review().leftMs(0), main.session().timeAt(15));

    const auto read = [](const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    // The window writes for a Russian spreadsheet unless told otherwise, as
    // the logger does with --csv-style excel-ru.
    const std::string table = read(logged);
    ASSERT_NE(table.find("\r\n16;"), std::string::npos);
    face.answer = dir + "/all.csv";
    main.exportDrive(logic::Export::Table);
    EXPECT_EQ(read(dir + "/all.csv"), table);

    // Cursors on passes 5 and 8: a click at the left edge (the newest pass,
    // 16), then the keys a pass at a time.
    main.chartClick(0, false);
    for (int i = 0; i < 11; ++i) main.press(logic::ui::key(logic::ui::Key::Comma));
    main.chartClick(0, true);
    for (int i = 0; i < 8; ++i) main.press(logic::ui::key(logic::ui::Key::Comma));
    ASSERT_TRUE(main.rangeChosen());
    face.answer = dir + "/range.csv";
    main.exportDrive(logic::Export::RangeTable);
    const std::size_t from = table.find("\r\n5;") + 2, to = table.find("\r\n9;") + 2;
    const std::size_t header = table.find("\r\n", table.find("\r\n") + 2) + 2;  // its two lines
    EXPECT_EQ(read(dir + "/range.csv"), table.substr(0, header) + table.substr(from, to - from));
    // The dialog opened in the folder of the last file saved, and one that
    // could not be written moves it nowhere.
    EXPECT_NE(face.events.back().find("in [" + dir + "]"), std::string::npos) << face.events.back();
    face.answer = dir + "/no-such/x.csv";
    main.exportDrive(logic::Export::Table);
    ASSERT_EQ(face.errors.size(), 1u);
    EXPECT_NE(face.errors.back().find("no-such/x.csv"), std::string::npos);
    face.errors.clear();
    face.answer.clear();
    main.exportDrive(logic::Export::Table);
    EXPECT_NE(face.events.back().find("in [" + dir + "]"), std::string::npos) << face.events.back();

    // Told so in the settings file, the window writes the logger's own
    // table (commas, decimal points), as its replay of the drive does.
    ASSERT_EQ(testsupport::runCommand(std::string(M797_LOG_PATH) + " --replay " + rec + " --csv " + dir +
                                      "/rfc.csv >/dev/null 2>&1")
                  .status,
              0);
    platform::SettingsStore(o.settingsPath).writeText(stored::kExportKey, "csv_style", "rfc");
    face.answer = dir + "/all-rfc.csv";
    main.exportDrive(logic::Export::Table);
    EXPECT_EQ(read(dir + "/all-rfc.csv"), read(dir + "/rfc.csv"));

    // Ctrl+R: the drive's report, the logger's from the same recording but
    // for the program's name, and opened at once.
    ASSERT_EQ(testsupport::runCommand(std::string(M797_LOG_PATH) + " --replay " + rec + " --report " + dir +
                                      "/logged.json >/dev/null 2>&1")
                  .status,
              0);
    face.answer = dir + "/report.json";
    EXPECT_TRUE(main.press(logic::ui::letter('R', logic::ui::kCtrl)));
    std::string report = read(dir + "/report.json");
    const std::string tester = "\"m797-tester ";
    ASSERT_NE(report.find(tester), std::string::npos);
    report.replace(report.find(tester), tester.size(), "\"m797-log ");
    EXPECT_EQ(report, read(dir + "/logged.json"));
    ASSERT_GE(face.events.size(), 2u);
    EXPECT_NE(face.events[face.events.size() - 2].find("-отчёт.html"), std::string::npos);
    EXPECT_EQ(face.events.back(), "open " + dir + "/report.json");
    EXPECT_TRUE(face.errors.empty());
    main.shutDown();
}
#endif

// The drive kept for looking back holds exactly the passes whose two answers
// came whole, each as the bytes of its own pass gave it, behind a wire that
// spoils a quarter of the exchanges (the wire-fault campaign's line and
// checker, on the link's own thread).
TEST(MainWindowLogic, TheKeptDriveHoldsOnlyMeasuredPassesBehindABadWire) {
    auto faulty = std::make_unique<sim::FaultyEcuLine>(11);
    campaign::Checker checker(platform::wallNow());
    std::mutex mutex;
    faulty->onExchange = [&](const sim::FaultExchange& e) {
        std::lock_guard<std::mutex> lock(mutex);
        checker.exchange(e);
        checker.rows.clear();
        checker.csv.clear();
        checker.identLines.clear();
    };
    lines::MadeLine made(std::move(faulty));
    made.reconnects = true;
    FakeFace face;
    logic::TesterOptions options;
    options.settingsPath = testsupport::tempSettingsPath();
    logic::MainWindow main(options, std::move(made), face);
    face.main = &main;
    ASSERT_EQ(main.begin("."), "");
    main.created();
    // The codes read in every pass, as with their window open: a row's time
    // is still its own live data's.
    klink::post(main.linkData.command.dtcReadRequest);
    main.start();
    ASSERT_TRUE(face.until([&] { return main.link().passCount() >= 2000; }));
    main.stop();
    ASSERT_TRUE(testsupport::waitUntil([&] { return main.link().threadParked(); }));
    std::lock_guard<std::mutex> lock(mutex);
    const ecu::SessionHistory& kept = main.session();
    std::size_t wrong = 0, count = 0;
    for (std::size_t i = kept.first(); i < kept.end(); ++i, ++count) {
        ecu::LiveData d;
        ecu::PassRecord r;
        ASSERT_TRUE(kept.decode(i, '.', d, &r));
        const auto measured = checker.byPass.find(r.pass);
        if (measured == checker.byPass.end() || measured->second != cli::logRow(r.pass, r.timeMs, d)) {
            EXPECT_LT(++wrong, 3u) << "kept pass " << r.pass << " is not what its own bytes say";
        }
    }
    EXPECT_EQ(wrong, 0u);
    // (A pass that "Стоп" parked halfway is not over yet.)
    const auto over = checker.byPass.upper_bound(main.link().passCount());
    EXPECT_EQ(count, static_cast<std::size_t>(std::distance(checker.byPass.begin(), over)));
    EXPECT_GT(count, 500u);
    main.shutDown();
}

TEST(PostQueue, WakesOnceForWhatWaitsRunsInOrderAndAStepPostedWhileRunningWakesAgain) {
    int wakes = 0;
    std::vector<int> ran;
    logic::PostQueue queue([&] { ++wakes; });
    queue.post([&] { ran.push_back(1); });
    queue.post([&] { ran.push_back(2); });
    EXPECT_EQ(wakes, 1);  // the loop is woken once for both
    queue.post([&] {
        ran.push_back(3);
        queue.post([&] { ran.push_back(4); });  // not lost: the loop hears of it
    });
    queue.run();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(wakes, 2);
    queue.run();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));
}

// The manual is found beside the program or where the package puts it, and
// opens from the chart menu's last entry; without it the user is told.
TEST(MainWindowLogic, TheManualIsFoundAndOpensFromTheChartMenuOrItsAbsenceIsSaid) {
    const std::string dir = testsupport::tempDir();
    EXPECT_EQ(logic::findManual(dir), "");
    std::filesystem::create_directories(dir + "/bin");
    std::filesystem::create_directories(dir + "/share/m797-tester");
    std::ofstream(dir + "/share/m797-tester/manual-ru.html") << "<html></html>";
    const std::string packaged = logic::findManual(dir + "/bin");
    EXPECT_EQ(
        packaged,
        std::filesystem::path(dir + "/share/m797-tester/manual-ru.html").lexically_normal().make_preferred().string());
    std::ofstream(dir + "/bin/manual-ru.html") << "<html></html>";
    EXPECT_EQ(
        logic::findManual(dir + "/bin"),
        std::filesystem::path(dir + "/bin/manual-ru.html").make_preferred().string());  // beside the program first

    for (const std::string& manual : {packaged, std::string()}) {
        logic::TesterOptions o;
        o.settingsPath = testsupport::tempSettingsPath();
        o.simulate = true;
        o.manualPath = manual;
        FakeFace face;
        logic::MainWindow main(o, logic::makeLine(o), face);
        face.main = &main;
        main.reportError = [&](const std::string& e) { face.errors.push_back(e); };
        ASSERT_EQ(main.begin("."), "");
        const auto items = main.chartMenu();
        const auto entry = std::find_if(items.begin(), items.end(), [](const logic::ui::MenuItem& i) {
            return i.id == static_cast<int>(logic::ui::Command::Manual);
        });
        ASSERT_NE(entry, items.end());
        EXPECT_EQ(entry->text, "Руководство");
        EXPECT_TRUE(entry->enabled);
        EXPECT_TRUE(entry->keys.empty());  // F1 stays a preset
        main.menuChosen(entry->id, 0);
        if (manual.empty()) {
            ASSERT_EQ(face.errors.size(), 1u);
            EXPECT_NE(face.errors[0].find("manual-ru.html"), std::string::npos);
        } else {
            EXPECT_EQ(face.events.back(), "open " + manual);
            EXPECT_TRUE(face.errors.empty());
        }
        main.shutDown();
    }
}

// A session in the window is a visit in the journal: its car once the
// identification came whole, each reading of the codes, their clearing, an
// output switched on and off, a reset confirmed and the report, in order and
// with their times; closed when the window ends.
TEST(MainWindowLogic, TheSessionIsAVisitInTheJournalWithItsCarAndWhatWasDone) {
    namespace ui = logic::ui;
    const std::string path = testsupport::tempDir() + "/journal.sqlite3";
    {  // A session that never started is no visit, and the journal's recording of it goes.
        const std::string unused = testsupport::tempDir() + "/unused.m797";
        std::ofstream(unused) << "# m797 wire recording 1\n";
        Rig idle({}, false, true, path, unused);
        idle.main->shutDown();
        EXPECT_FALSE(std::filesystem::exists(unused));
        std::string why;
        EXPECT_TRUE(journal::Journal::open(path, why)->visits(0).empty()) << why;
    }
    // A tester whose journal, and the journal's recording, lie in a folder of their own.
    const auto journalled = [](const std::string& dir, const std::string& drive) {
        std::ofstream(drive) << "# m797 wire recording 1\n";
        logic::TesterOptions o;
        o.settingsPath = dir + "/VELKOR.ini";
        o.journalPath = dir + "/journal.sqlite3";
        o.record = drive;
        o.journalRecording = true;
        return o;
    };
    {  // "Старт" before the window's first turn opened the journal: a visit all the same.
        const std::string early = testsupport::tempDir(), drive = early + "/early.m797";
        const logic::TesterOptions o = journalled(early, drive);
        FakeFace face;
        lines::MadeLine made(std::make_unique<sim::SimulatedLine>(sim::SimOptions{}, false));
        made.portChoosable = false;
        logic::MainWindow main(o, std::move(made), face);
        face.main = &main;
        ASSERT_EQ(main.begin("."), "");
        main.start();
        main.created();
        std::string why;
        // A visit once the car is known.
        ASSERT_TRUE(face.until([&] { return journal::Journal::open(o.journalPath, why)->cars().size() == 1; }));
        main.shutDown();
        EXPECT_TRUE(std::filesystem::exists(drive));
        EXPECT_EQ(journal::Journal::open(o.journalPath, why)->visits(0).size(), 1u) << why;
    }
    {  // A "Старт" nothing came of (a port that would not open) is no visit, nor is its recording kept.
        const std::string failed = testsupport::tempDir(), drive = failed + "/failed.m797";
        const logic::TesterOptions o = journalled(failed, drive);
        FakeFace face;
        auto unplugged = std::make_unique<sim::SimulatedLine>(sim::SimOptions{}, false);
        unplugged->setOpenSucceeds(false);
        lines::MadeLine made(std::move(unplugged));
        made.portChoosable = false;
        logic::MainWindow main(o, std::move(made), face);
        face.main = &main;
        ASSERT_EQ(main.begin("."), "");
        main.created();
        main.start();
        ASSERT_TRUE(face.until([&] { return !face.errors.empty(); }));
        EXPECT_FALSE(face.runningAtError);  // the box stands over "Старт" enabled again
        main.shutDown();
        EXPECT_FALSE(std::filesystem::exists(drive));
        std::string why;
        EXPECT_TRUE(journal::Journal::open(o.journalPath, why)->visits(0).empty()) << why;
    }
    Rig rig({}, false, true, path);
    // Before "Старт" a clear, a switched output and a reset are refused and
    // said, and none waits for the start: nothing is noted nor sent.
    {
        auto early = rig.main->openErrors();
        early->pressed(ui::kClear, true);
        early->closing();
        auto control = rig.main->openControl();
        control->chosen(ui::kControlList, 7);
        control->pressed(ui::kControlLeft, true);
        control->chosen(ui::kControlList, logic::ControlWindow::kResetEntry);
        control->takeStandIn()->pressed(ui::kYes, true);
        control->closing();
        EXPECT_EQ(rig.face.errors.size(), 3u);
        // One left by a window of an earlier run is dropped at the start.
        klink::post(rig.main->linkData.command.ecuInitRequest);
    }
    rig.main->start();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= 2; }));
    const auto kinds = [&path] {
        std::string why;
        std::vector<std::string> out;
        const auto j = journal::Journal::open(path, why);
        const auto visits = j ? j->visits(0) : std::vector<journal::Visit>{};
        if (visits.size() == 1)
            for (const auto& a : j->actions(visits[0].id)) out.push_back(a.kind);
        return out;
    };
    auto codes = rig.main->openErrors();
    const auto readings = [&](std::size_t n) {
        return rig.face.until([&] {
            codes->tick();
            return kinds().size() >= n;
        });
    };
    ASSERT_TRUE(readings(1));
    codes->pressed(ui::kClear, true);
    ASSERT_TRUE(readings(3));  // the clearing, and the reading after it
    codes->closing();
    auto control = rig.main->openControl();
    // The ECU refuses the ignition's test while the engine runs: no "включено".
    control->chosen(ui::kControlList, 4);  // "Зажигание 1-4"
    control->pressed(ui::kControlLeft, true);
    ASSERT_TRUE(readings(4));
    // and says so at once.
    ASSERT_TRUE(rig.face.until([&] { return !rig.face.errors.empty(); }));
    EXPECT_EQ(rig.face.errors.back(),
              "Зажигание 1-4: включение не выполнено: ЭБУ отказал: условия не позволяют (код 22)");
    control->chosen(ui::kControlList, 7);  // "Реле вентилятора 1"
    rig.main->link().pause();              // "Вкл" twice before its frame goes: one action
    control->pressed(ui::kControlLeft, true);
    control->pressed(ui::kControlLeft, true);
    rig.main->link().start();
    control->pressed(ui::kControlRight, true);
    // Two steps of the purge valve before its frame goes: the ECU gets the
    // second, and the journal notes that one alone.
    control->chosen(ui::kControlList, 14);
    rig.main->link().pause();
    control->pressed(ui::kControlLeft, true);
    control->pressed(ui::kControlLeft, true);
    rig.main->link().start();
    const auto purge = [&] {
        return rig.line->withCore([](sim::AdapterCore& c) { return c.ecu().adjustValue[0x43]; });
    };
    ASSERT_TRUE(rig.face.until([&] { return purge() == 2; }));
    // One step back: the first press's value again, noted once.
    control->pressed(ui::kControlRight, true);
    ASSERT_TRUE(rig.face.until([&] { return purge() == 1; }));
    const std::uint64_t after = rig.main->link().passCount();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= after + 2; }));
    control->chosen(ui::kControlList, logic::ControlWindow::kResetEntry);
    auto confirmation = control->takeStandIn();
    ASSERT_TRUE(confirmation);
    confirmation->pressed(ui::kYes, true);
    confirmation->closing();
    control->closing();
    ASSERT_TRUE(readings(12)) << ::testing::PrintToString(kinds());  // the reset answered
    // Never over the program's own files: the journal here (the drive's
    // recording and the settings alike).
    const std::size_t errors = rig.face.errors.size();
    rig.face.answer = path;
    rig.main->exportDrive(logic::Export::Report);
    ASSERT_EQ(rig.face.errors.size(), errors + 1);
    EXPECT_NE(rig.face.errors.back().find("это файл самой программы"), std::string::npos) << rig.face.errors.back();
    rig.face.answer = testsupport::tempDir() + "/отчёт.html";
    rig.main->exportDrive(logic::Export::Report);
    rig.main->shutDown();

    std::string why;
    const auto j = journal::Journal::open(path, why);
    ASSERT_TRUE(j) << why;
    const auto cars = j->cars();
    ASSERT_EQ(cars.size(), 1u);
    EXPECT_EQ(cars[0].vin, "XTA21700080123456");
    const auto visits = j->visits(cars[0].id);
    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].state, journal::VisitState::Closed);
    EXPECT_EQ(visits[0].program, "m797-tester " M797_VERSION);
    EXPECT_EQ(visits[0].port, "simulated");
    EXPECT_EQ(visits[0].report, platform::absolutePath(rig.face.answer));
    const auto actions = j->actions(visits[0].id);
    std::vector<std::string> done;
    for (const auto& a : actions) done.push_back(a.kind + " " + a.text.substr(0, a.text.find(':')));
    EXPECT_EQ(done, (std::vector<std::string>{
                        "codes-read коды ошибок прочитаны", "codes-cleared коды ошибок стёрты",
                        "codes-read коды ошибок прочитаны", "output-failed Зажигание 1-4", "output Зажигание 1-4",
                        "output Реле вентилятора 1", "output Реле вентилятора 1", "output Реле вентилятора 1",
                        "adjustment Клапан продувки адсорбера", "adjustment Клапан продувки адсорбера",
                        "adjustment Клапан продувки адсорбера", "reset сброс ЭБУ"}));
    EXPECT_EQ(actions[3].text, "Зажигание 1-4: включение не выполнено: ЭБУ отказал: условия не позволяют (код 22)");
    EXPECT_EQ(actions[4].text, "Зажигание 1-4: управление возвращено ЭБУ");       // another entry chosen
    EXPECT_EQ(actions[7].text, "Реле вентилятора 1: управление возвращено ЭБУ");  // another entry chosen
    EXPECT_EQ(actions[8].text, "Клапан продувки адсорбера: 2 %");
    EXPECT_EQ(actions[9].text, "Клапан продувки адсорбера: 1 %");
    EXPECT_EQ(actions[10].text, "Клапан продувки адсорбера: управление возвращено ЭБУ");  // the reset's entry chosen
    EXPECT_NE(actions[0].text.find("P  0102"), std::string::npos) << actions[0].text;
    for (std::size_t k = 1; k < actions.size(); ++k) EXPECT_GE(actions[k].seconds, actions[k - 1].seconds);
    EXPECT_LT(actions.back().seconds, 60);
    // On the wire: the one clear and the one reset of the session, no initialisation.
    const auto sent = [&](std::uint8_t service, std::uint8_t first) {
        return rig.line->withCore([&](sim::AdapterCore& c) {
            int n = 0;
            for (const auto& f : c.requests()) n += f.bytes.size() > 4 && f.bytes[3] == service && f.bytes[4] == first;
            return n;
        });
    };
    EXPECT_EQ(sent(0x14, 0x00), 1);  // the clear
    EXPECT_EQ(sent(0x11, 0x01), 1);  // the reset
    EXPECT_EQ(sent(0x11, 0x90), 0);  // the initialisation
    // The report lists what was done to the car (and what the ECU refused), not the readings.
    EXPECT_EQ(rig.main->actions().size(), 10u);
}

// The journal's window: the cars newest first (those no identification
// came in last), found by any text of their identification; the chosen
// car's visits and the chosen visit's actions; a drive or a report opened
// only where its file is still there; a journal that is not one said on its
// status line. From the main window: Ctrl+J opens it, Ctrl+O asks for a
// recording in the journal's folder and reviews it in a tester of its own.
TEST(JournalWindow, CarsVisitsAndActionsAreChosenAndOnlyFilesThatAreThereOpen) {
    namespace ui = logic::ui;
    const std::string dir = testsupport::tempDir();
    const std::string path = dir + "/journal.sqlite3";
    const std::string recording = dir + "/drive.m797";
    std::ofstream(recording) << "M797 recording\n";
    {
        std::string why;
        auto j = journal::Journal::open(path, why);
        ASSERT_TRUE(j) << why;
        const auto old = j->beginVisit({"m797-tester 1.0.0", "/dev/ttyUSB0", "kline", dir + "/gone.m797"});
        j->setCar(old, {"XTA21700080123456", "0261S04987654321", "", "", "", "", "", "", "", "ПРИОРА "});
        j->addAction(old, 3.25, "reset", "сброс ЭБУ");
        j->endVisit(old);
        const auto kalina = j->beginVisit({"m797-log 1.0.0", "tcp:192.168.0.10:35000", "elm327", recording});
        j->setCar(kalina, {"XTA11190070654321", "0261S01111111111"});
        j->setReport(kalina, dir + "/none.html");
        j->beginVisit({"m797-log 1.0.0", "simulated", "kline", ""});  // no identification came
    }
    std::vector<std::string> reviewed;
    logic::JournalWindow w(path, {[&](const std::string& r) { reviewed.push_back(r); }, {}, {}});
    w.open();
    const auto& cars = w.shown(ui::kJournalCars).rows;
    ASSERT_EQ(cars.size(), 3u);
    EXPECT_EQ(cars[0][0].text, "XTA11190070654321");
    EXPECT_EQ(cars[2][0].text, "без идентификации");
    EXPECT_EQ(w.shown(ui::kJournalCars).value, 0);
    ASSERT_EQ(w.shown(ui::kJournalVisits).rows.size(), 1u);
    EXPECT_EQ(w.shown(ui::kJournalVisits).rows[0][4].text, "ELM327");
    EXPECT_TRUE(w.shown(ui::kJournalReplay).enabled);
    EXPECT_FALSE(w.shown(ui::kJournalReport).enabled);  // its file is not there
    w.pressed(ui::kJournalReplay, true);
    EXPECT_EQ(reviewed, std::vector<std::string>{recording});

    w.chosen(ui::kJournalCars, 1);
    EXPECT_EQ(w.shown(ui::kJournalCars).value, 1);
    EXPECT_EQ(w.shown(ui::kJournalVisits).rows[0][2].text, "закончен");
    ASSERT_EQ(w.shown(ui::kJournalActions).rows.size(), 1u);
    EXPECT_EQ(w.shown(ui::kJournalActions).rows[0][0].text, "3.2");
    EXPECT_EQ(w.shown(ui::kJournalActions).rows[0][1].text, "сброс ЭБУ");
    EXPECT_FALSE(w.shown(ui::kJournalReplay).enabled);  // removed since, and said so
    EXPECT_NE(w.shown(ui::kJournalReplay).tip.find("файла больше нет"), std::string::npos);
    w.pressed(ui::kJournalReplay, true);
    EXPECT_EQ(reviewed.size(), 1u);
    // Home and End in a table choose its first and last row; elsewhere, or
    // with a modifier, they are the control's own.
    EXPECT_TRUE(w.key(ui::key(ui::Key::End), ui::kJournalCars));
    EXPECT_EQ(w.shown(ui::kJournalCars).value, 2);
    EXPECT_EQ(w.shown(ui::kJournalVisits).rows[0][3].text, "simulated");
    EXPECT_TRUE(w.key(ui::key(ui::Key::Home), ui::kJournalCars));
    EXPECT_EQ(w.shown(ui::kJournalCars).value, 0);
    EXPECT_TRUE(w.key(ui::key(ui::Key::End), ui::kJournalActions));  // no actions: nothing chosen
    EXPECT_EQ(w.shown(ui::kJournalActions).value, -1);
    EXPECT_FALSE(w.key(ui::key(ui::Key::End), ui::kJournalSearch));
    EXPECT_FALSE(w.key(ui::key(ui::Key::End, ui::kCtrl), ui::kJournalCars));
    EXPECT_FALSE(w.key(ui::key(ui::Key::Down), ui::kJournalCars));
    w.chosen(ui::kJournalCars, 1);
    EXPECT_TRUE(w.key(ui::key(ui::Key::End), ui::kJournalActions));
    EXPECT_EQ(w.shown(ui::kJournalActions).value, 0);

    w.typed(ui::kJournalSearch, "приора");
    w.pressed(ui::kJournalFind, true);
    EXPECT_EQ(w.cars().size(), 0u);  // Cyrillic letters match in their own case only
    EXPECT_EQ(w.shown(ui::kJournalStatus).text, "Ни в одной идентификации автомобиля нет «приора»");
    w.typed(ui::kJournalSearch, "ПРИОРА");
    w.pressed(ui::kJournalFind, true);
    ASSERT_EQ(w.cars().size(), 1u);
    EXPECT_EQ(w.cars()[0].vin, "XTA21700080123456");
    EXPECT_EQ(w.shown(ui::kJournalStatus).text, "");
    w.chosen(ui::kJournalSearch, 1);  // a car picked from the search list
    EXPECT_EQ(w.shown(ui::kJournalSearch).text, "XTA21700080123456");
    EXPECT_EQ(w.cars().size(), 1u);
    w.pressed(ui::kJournalExit, true);
    EXPECT_TRUE(w.takeClose());

    std::ofstream(dir + "/text.sqlite3") << std::string(2000, 'x');
    logic::JournalWindow broken(dir + "/text.sqlite3", {});
    broken.open();
    EXPECT_EQ(broken.shown(ui::kJournalStatus).text, dir + "/text.sqlite3: файл не является журналом");
    logic::JournalWindow none(dir + "/none.sqlite3", {});
    none.open();
    EXPECT_EQ(none.shown(ui::kJournalStatus).text, "В журнале пока нет визитов");
    EXPECT_FALSE(std::filesystem::exists(dir + "/none.sqlite3"));  // looking makes no journal

    std::filesystem::create_directories(journal::recordingsFolder(path));  // recorded visits were kept here
    Rig rig({}, false, true, path);
    std::vector<std::vector<std::string>> started;
    rig.main->startTester = [&started](const std::vector<std::string>& args) {
        started.push_back(args);
        return std::string();
    };
    EXPECT_TRUE(rig.main->press(ui::letter('J', ui::kCtrl)));
    rig.face.answer = recording;
    EXPECT_TRUE(rig.main->press(ui::letter('O', ui::kCtrl)));
    EXPECT_EQ(rig.face.events,
              (std::vector<std::string>{"open Журнал визитов",
                                        "ask to open Открыть запись in [" + journal::recordingsFolder(path) + "]"}));
    EXPECT_EQ(
        started,
        (std::vector<std::vector<std::string>>{{"--replay", recording, "--speed", "all", "--settings", rig.path}}));
}

#ifdef M797_LOG_PATH
// The same car's previous drive beside this one: found in the journal by
// the car's identification (its recording, not this drive's), read whole
// on a thread of its own, drawn and judged in the report beside this one;
// asked again, gone. A car with no earlier drive is said.
TEST(MainWindowLogic, ThePreviousDriveOfTheSameCarIsShownBesideAndComparedInTheReport) {
    const std::string dir = testsupport::tempDir();
    const std::string path = dir + "/journal.sqlite3";
    Rig alone({}, false, true, path);
    alone.main->start();
    ASSERT_TRUE(alone.face.until([&] { return alone.main->link().passCount() >= 1; }));
    alone.main->run(logic::ui::Command::Compare);
    EXPECT_EQ(alone.face.errors,
              std::vector<std::string>{"В журнале нет более ранней записанной поездки этого автомобиля"});
    alone.main->shutDown();

    // An earlier drive of the simulated car, recorded into the journal by the logger.
    const auto earlier = testsupport::runCommand(
        "XDG_DATA_HOME=" + dir + " " M797_LOG_PATH " --simulate=weak-charging --passes 6 --journal 2>/dev/null");
    ASSERT_EQ(earlier.status, 0);
    const std::string logged = dir + "/m797-tester/journal.sqlite3";
    Rig rig({}, false, true, logged);
    rig.main->start();
    ASSERT_TRUE(rig.face.until([&] { return rig.main->link().passCount() >= 2; }));
    rig.main->run(logic::ui::Command::Compare);
    ASSERT_TRUE(rig.face.until([&] { return rig.main->previousDrive() != nullptr; })) << rig.face.errors.front();
    EXPECT_EQ(rig.main->previousDrive()->end() - rig.main->previousDrive()->first(), 6u);
    EXPECT_EQ(rig.main->sources().previous, rig.main->previousDrive());
    const auto menu = rig.main->chartMenu();
    const auto compare = std::find_if(menu.begin(), menu.end(), [](const logic::ui::MenuItem& m) {
        return m.id == static_cast<int>(logic::ui::Command::Compare);
    });
    ASSERT_NE(compare, menu.end());
    EXPECT_TRUE(compare->checkable && compare->checked);
    const std::string report = dir + "/report.json";
    ASSERT_EQ(rig.main->writeReport(report), "");
    std::ifstream in(report);
    const std::string json{std::istreambuf_iterator<char>(in), {}};
    const auto previous = json.find(", \"previous\": {\"start\": ");
    ASSERT_NE(previous, std::string::npos) << json;
    EXPECT_NE(json.find("\"passes\": 6, \"checks\": [{\"id\": \"charging\"", previous), std::string::npos) << json;
    rig.main->run(logic::ui::Command::Compare);
    EXPECT_EQ(rig.main->previousDrive(), nullptr);
    EXPECT_EQ(rig.main->sources().previous, nullptr);
    EXPECT_TRUE(rig.face.errors.empty());
}
#endif
