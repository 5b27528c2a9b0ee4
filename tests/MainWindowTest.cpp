// SPDX-License-Identifier: GPL-3.0-or-later
// The main window against the simulated car, under Xvfb.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ecu/ParameterCatalogue.h"
#include "logic/TesterStart.h"
#include "platform/SerialPorts.h"
#include "qt/ChildWindow.h"
#include "qt/MainWindow.h"
#include "qt/glpanel/TOpenGLPanel.h"
#include "sim/PtyPeer.h"
#include "sim/SimulatedLine.h"
#include "sim/TcpPeer.h"
#include "tests/GuiSupport.h"

using testsupport::waitUntil;

namespace {

struct Window {
    explicit Window(sim::SimOptions o = {}, bool instant = false,
                    std::string settings = testsupport::tempSettingsPath()) {
        logic::TesterOptions opt;
        opt.settingsPath = settings;
        path = settings;
        auto l = std::make_unique<sim::SimulatedLine>(o, instant);
        line = l.get();
        form = std::make_unique<qtface::MainWindow>(opt, std::move(l));
        form->logic().reportError = [this](const std::string& e) { errors.push_back(e); };
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get(), 5000 * testsupport::slowdown()));
    }
    // Processes events until cond holds.
    bool until(const std::function<bool()>& cond, int ms = 5000) { return testsupport::waitProcessing(cond, ms); }
    std::unique_ptr<qtface::MainWindow> form;
    sim::SimulatedLine* line;
    std::string path;
    std::vector<std::string> errors;
};

}  // namespace

// "О программе" lists the keys, opens on its harmless "OK", and its
// "Руководство" asks for the manual (not installed beside a test: said so).
TEST(MainWindow, AboutListsTheKeysAndItsManualButtonAsksForTheManual) {
    namespace ui = logic::ui;
    Window w;
    QPointer<qtface::ChildWindow> about = dynamic_cast<qtface::ChildWindow*>(w.form->AboutClick());
    ASSERT_TRUE(about);
    EXPECT_EQ(testsupport::laidOutAsDescribed(about, ui::aboutWindow()), "");
    EXPECT_EQ(about->get<QLabel>(ui::kAboutText)->text(), "Тестер M7.9.7, версия " M797_VERSION);
    EXPECT_TRUE(w.until([&] { return about->control(ui::kAboutOk)->hasFocus(); }));
    QTest::mouseClick(about->get<QAbstractButton>(ui::kAboutManual), Qt::LeftButton);
    EXPECT_TRUE(w.until([&] { return about.isNull() && w.form->isEnabled(); }));
    ASSERT_TRUE(w.until([&] { return !w.errors.empty(); }));
    EXPECT_NE(w.errors[0].find("manual-ru.html"), std::string::npos) << w.errors[0];
}

// The notice on a screen of another width: its sign and request as the
// table lays them out, and Escape leaves it (which ends the program).
TEST(MainWindow, TheNoticeIsLaidOutAsDescribedAndEscapeLeavesIt) {
    QPointer<qtface::ChildWindow> notice = new qtface::ChildWindow(logic::noticeWindow());
    bool closed = false;
    notice->onClosed = [&closed] { closed = true; };
    notice->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(notice, 5000 * testsupport::slowdown()));
    EXPECT_EQ(testsupport::laidOutAsDescribed(notice, logic::ui::resolutionNotice()), "");
    QTest::keyClick(notice, Qt::Key_Escape);
    EXPECT_TRUE(testsupport::waitProcessing([&] { return closed && notice.isNull(); }, 2000));
}

TEST(MainWindow, StartsAtTheTopLeftStoppedAndSendsNothingBeforeStart) {
    Window w;
    EXPECT_EQ(w.form->geometry(), QRect(0, 0, 1024, 740));
    EXPECT_TRUE(w.form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w.form->startButton()->isEnabled());
    EXPECT_FALSE(w.form->stopButton()->isEnabled());
    EXPECT_TRUE(w.form->presetButton(1)->isChecked());
    EXPECT_EQ(w.form->logic().chartParameter, (stored::ChartParameters{2, 3, 4, 5, 6}));
    EXPECT_EQ(w.form->panel(1)->geometry(), QRect(23, 15, 750, 115));
    EXPECT_EQ(w.form->panel(6)->geometry(), QRect(23, 674, 750, 49));
    EXPECT_EQ(w.form->panel(7)->geometry(), QRect(807, 324, 193, 401));
    EXPECT_EQ(testsupport::laidOutAsDescribed(w.form.get(), logic::ui::mainWindow()), "");
    EXPECT_EQ(w.form->presetButton(12)->geometry(), QRect(808 + 168, 16 + 48, 25, 18));
    EXPECT_EQ(w.form->commandButton("Выход")->geometry(), QRect(808 + 56, 96 + 104, 89, 22));
    QTest::qWait(200);
    EXPECT_EQ(w.line->openCount(), 0);
    EXPECT_TRUE(w.errors.empty());
}

TEST(MainWindow, AFailureStopReenablesStartAndTheTimerStopsItself) {
    sim::SimOptions o;
    o.fault = sim::LineFault::NoAdapter;
    Window w(o, true);
    QTest::mouseClick(w.form->startButton(), Qt::LeftButton);
    const auto id = w.form->logic().timerId.load();
    ASSERT_TRUE(w.until([&] { return w.form->startButton()->isEnabled(); }));
    EXPECT_FALSE(w.form->stopButton()->isEnabled());
    EXPECT_TRUE(w.until([&] { return !w.form->logic().timers().isRunning(id); }, 500));
}

TEST(MainWindow, ExitAndTheSystemCloseBothStoreTheColours) {
    for (bool byExit : {true, false}) {
        const std::string settings = testsupport::tempSettingsPath();
        {
            Window w({}, false, settings);
            ASSERT_TRUE(w.until([&] { return platform::SettingsStore(settings).keyExists(stored::setKey(1)); }));
            w.form->logic().colourScheme.gridColour = {0.2f, 0.4f, 0.1f, 0.4f};
            byExit ? w.form->ExitClick() : (void)w.form->close();
        }
        platform::SettingsStore store(settings);
        EXPECT_EQ(store.readInt(stored::kColourKey, "GRID_R").value, 20) << byExit;
    }
    const std::string settings = testsupport::tempSettingsPath();
    {
        Window w({}, false, settings);
        w.form->close();
    }
    platform::SettingsStore store(settings);
    EXPECT_EQ(store.readInt(stored::kColourKey, "GRID_R").value, 50);
    EXPECT_EQ(store.readInt(stored::kColourKey, "GRAPHIC_T").value, 99);
    EXPECT_EQ(store.readInt(stored::kColourKey, "Text3_B").value, 80);
}

TEST(MainWindow, PresetButtonsLoadTheirSets) {
    const std::string settings = testsupport::tempSettingsPath();
    { Window w({}, false, settings); }
    platform::SettingsStore store(settings);
    store.writeInt(stored::setKey(2), "diagram_3", 77);
    store.deleteKey(stored::setKey(3));
    Window w({}, false, settings);
    QTest::mouseClick(w.form->presetButton(2), Qt::LeftButton);
    EXPECT_TRUE(w.form->presetButton(2)->isChecked());
    EXPECT_FALSE(w.form->presetButton(1)->isChecked());
    EXPECT_EQ(w.form->logic().chartParameter[2], 78);
    const auto before = w.form->logic().chartParameter;
    QTest::mouseClick(w.form->presetButton(3), Qt::LeftButton);
    EXPECT_EQ(w.form->logic().chartParameter, before);
}

TEST(MainWindow, ClosingDuringAnExchangeNeitherHangsNorCrashes) {
    sim::SimOptions o;
    o.fault = sim::LineFault::NoAdapter;  // every read runs into its 750 ms
    Window w(o);
    QTest::mouseClick(w.form->startButton(), Qt::LeftButton);
    QTest::qWait(300);
    QElapsedTimer t;
    t.start();
    w.form->close();
    w.form.reset();
    EXPECT_LT(t.elapsed(), 300 * testsupport::slowdown());
}

TEST(MainWindow, AWideScreenShowsOnlyTheNoticeAndEndsAfterFourSeconds) {
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty() || QStandardPaths::findExecutable("Xvfb").isEmpty())
        GTEST_SKIP() << "needs xvfb-run";
    sim::PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start("xvfb-run",
            {"-a", "-s", "-screen 0 1280x1024x24", M797_TESTER_PATH, "--port", QString::fromStdString(peer.slavePath()),
             "--settings", QString::fromStdString(testsupport::tempSettingsPath())});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_GT(t.elapsed(), 4000);
    EXPECT_TRUE(peer.received().empty());  // the port was never touched
    // The terminal hears why and what to do.
    EXPECT_TRUE(p.readAllStandardError().contains("1280 pixels wide, not 1024"));
}

TEST(MainWindow, BadArgumentsPrintTheUsageAndExitWithTwo) {
    QProcess p;
    p.start(M797_TESTER_PATH, {"--frobnicate"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("usage: m797-tester"));
    p.start(M797_TESTER_PATH, {"--simulate", "--port", "/dev/ttyUSB0"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    p.start(M797_TESTER_PATH, {"--help"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().contains("--any-screen"));
    p.start(M797_TESTER_PATH, {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.readAllStandardOutput().toStdString(), "m797-tester " M797_VERSION "\n");
    p.start(M797_TESTER_PATH, {"--wake", "slowly"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    // The terminal hears the locale's language.
    for (const char* lang : {"ru_RU.UTF-8", "C.UTF-8"}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) env.remove(name);
        env.insert("LANG", lang);
        p.setProcessEnvironment(env);
        p.start(M797_TESTER_PATH, {"--help"});
        ASSERT_TRUE(p.waitForFinished(10000));
        const bool russian = lang[0] == 'r';
        EXPECT_EQ(p.readAllStandardOutput().contains("запускаться на экране шириной не 1024 точки"), russian) << lang;
        p.start(M797_TESTER_PATH, {"--frobnicate"});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.readAllStandardError().contains("неизвестный или неполный параметр: --frobnicate"), russian)
            << lang;
    }
}

TEST(MainWindow, ASettingsFileThatIsNotOursIsReportedInFrontOfTheWindowAndKept) {
    const std::string path = testsupport::tempSettingsPath();
    std::string binary(4096, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 131 + 7);
    { std::ofstream(path, std::ios::binary) << binary; }
    logic::TesterOptions opt;
    opt.settingsPath = path;
    qtface::MainWindow form(opt, std::make_unique<sim::SimulatedLine>(sim::SimOptions{}));
    std::vector<bool> visibleAtReport;
    std::string report;
    long paintsAtReport = 0;
    form.logic().reportError = [&](const std::string& e) {
        visibleAtReport.push_back(form.isVisible());
        report = e;
        QTest::qWait(300);  // as a box's own event loop: the first exposes are painted under it
        paintsAtReport = form.panel(1)->paintCount();
    };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 5000 * testsupport::slowdown()));
    ASSERT_EQ(visibleAtReport.size(), 1u);
    // The charts show the preset read after the box, not the blank before it.
    EXPECT_TRUE(testsupport::waitProcessing([&] { return form.panel(1)->paintCount() > paintsAtReport; }));
    EXPECT_TRUE(visibleAtReport[0]);  // the box stands in front of the window
    EXPECT_NE(report.find(path), std::string::npos);
    EXPECT_EQ(form.logic().chartParameter, (stored::ChartParameters{2, 3, 4, 5, 6}));
    form.close();  // the system close stores the colours: not into that file
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), binary);
}

// The whole program on the real serial layer: Ctrl+C and termination end it
// in order, with the control window open and an output under test released
// on the wire first.
TEST(MainWindow, CtrlCTerminationAndHangUpEndTheProgramInOrder) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        sim::PtyPeer peer;
        ASSERT_TRUE(peer.ok());
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(M797_TESTER_PATH, {"--port", QString::fromStdString(peer.slavePath()), "--settings",
                                   QString::fromStdString(testsupport::tempSettingsPath())});
        ASSERT_TRUE(p.waitForStarted(10000));
        auto click = [](int x, int y) {
            QProcess::execute("xdotool", {"mousemove", QString::number(x), QString::number(y), "click", "1"});
        };
        auto frames = [&peer] {
            return peer.withCore([](sim::AdapterCore& c) { return testsupport::services(c.requests()); });
        };
        auto seen = [&](const std::string& service) {
            const auto f = frames();
            return std::count(f.begin(), f.end(), service);
        };
        // "Старт" once the window is there, then "Управление".
        ASSERT_TRUE(waitUntil(
            [&] {
                click(808 + 8 + 44, 96 + 72 + 11);
                return seen("21 01") > 0;
            },
            std::chrono::seconds(20)));
        click(808 + 8 + 44, 96 + 8 + 11);
        ASSERT_TRUE(waitUntil([&] { return seen("30 01 01") > 0; }));
        ::kill(static_cast<pid_t>(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 130);
        EXPECT_EQ(seen("30 01 00"), 1);  // "Форсунка 1" released before the end
    }
}

TEST(MainWindow, ThePortTabsChoiceIsUsedFromTheNextStartAndAFailureSaysWhy) {
    sim::PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    logic::TesterOptions opt;
    opt.settingsPath = testsupport::tempSettingsPath();
    opt.port = "/dev/m797-no-such-port";
    qtface::MainWindow form(opt, logic::makeLine(opt));
    std::vector<std::string> errors;
    form.logic().reportError = [&](const std::string& e) { errors.push_back(e); };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 5000 * testsupport::slowdown()));

    // The default port is missing: the box says why.
    form.StartClick();
    ASSERT_TRUE(waitUntil([&] {
        QTest::qWait(10);
        return !errors.empty() && form.startButton()->isEnabled();
    }));
    // The box speaks Russian whatever the locale.
    EXPECT_EQ(
        errors[0].rfind("/dev/m797-no-such-port: нет такого файла или каталога (последовательные порты здесь: ", 0), 0u)
        << errors[0];

    // The user opens the port tab, plugs the adapter in (a device appears in
    // the folder the list reads) and picks it from the list.
    const std::string root = testsupport::tempDir();
    std::filesystem::create_directories(root + "/dev");
    form.logic().listPorts = [root] { return platform::listSerialPorts(root + "/dev", root + "/sys"); };
    auto* dlg = dynamic_cast<qtface::ChildWindow*>(form.SettingsClick());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->get<QComboBox>(logic::ui::kPortList)->count(), 0);
    const std::string adapter = root + "/dev/ttyUSB5";
    std::filesystem::create_symlink(peer.slavePath(), adapter);
    ASSERT_TRUE(waitUntil([&] {
        QTest::qWait(10);
        return dlg->get<QComboBox>(logic::ui::kPortList)->count() == 1;
    }));
    emit dlg->get<QComboBox>(logic::ui::kPortList)->activated(0);
    EXPECT_EQ(dlg->get<QComboBox>(logic::ui::kPortList)->currentText().toStdString(), adapter);
    dlg->close();
    EXPECT_EQ(stored::loadPortChoice(platform::SettingsStore(opt.settingsPath)).device, adapter);

    form.StartClick();
    ASSERT_TRUE(waitUntil([&] {
        QTest::qWait(10);
        return form.logic().link().passCount() >= 1;
    }));
    EXPECT_EQ(peer.withCore([](sim::AdapterCore& c) { return c.wakeUps().size(); }), 1u);
    EXPECT_EQ(errors.size(), 1u);
}

// The port fails while its box is open, and the link stops: once the box
// is gone, the keyboard is on "Старт", not on the next control after the
// disabled "Стоп" ("Выход", which a stray Enter would press).
TEST(MainWindow, AfterAFailuresBoxTheKeyboardIsOnStart) {
    logic::TesterOptions opt;
    opt.settingsPath = testsupport::tempSettingsPath();
    opt.port = "/dev/m797-no-such-port";
    qtface::MainWindow form(opt, logic::makeLine(opt));
    form.show();
    ASSERT_TRUE(testsupport::focusWindow(&form));
    form.startButton()->setFocus();
    const auto press = [](const char* key) { QProcess::execute("xdotool", {"key", "--clearmodifiers", key}); };
    // The box runs its own loop: it is answered from there, by a key.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isActiveWindow()) return;
        answer.stop();
        press("Return");
    });
    answer.start(50);
    press("space");
    ASSERT_TRUE(waitUntil([&] {
        QTest::qWait(10);
        return form.startButton()->isEnabled() && !QApplication::activeModalWidget() && form.isActiveWindow();
    }));
    QTest::qWait(100);
    EXPECT_EQ(QApplication::focusWidget(), form.startButton());
}

// The adapter list on the port tab: a drive through an ELM327 (a v1.5
// clone on a pseudo-terminal, a Wi-Fi one on a loopback TCP port) keeps the
// passes a K-line adapter gives for the same ECU, and the choice is stored.
TEST(MainWindow, AnElm327ChosenOnThePortTabKeepsWhatAKLineAdapterGives) {
    const auto firstPass = [](const std::string& port, bool chooseElm) {
        logic::TesterOptions opt;
        opt.settingsPath = testsupport::tempSettingsPath();
        opt.port = port;
        qtface::MainWindow form(opt, logic::makeLine(opt));
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form, 5000 * testsupport::slowdown()));
        if (chooseElm) {
            auto* dlg = dynamic_cast<qtface::ChildWindow*>(form.SettingsClick());
            EXPECT_NE(dlg, nullptr);
            if (!dlg) return std::vector<std::string>{};
            EXPECT_EQ(dlg->get<QComboBox>(logic::ui::kAdapterList)->currentText(), QStringLiteral("K-line"));
            dlg->get<QComboBox>(logic::ui::kAdapterList)->setCurrentIndex(1);
            emit dlg->get<QComboBox>(logic::ui::kAdapterList)->activated(1);
            dlg->close();
            EXPECT_EQ(stored::loadPortChoice(platform::SettingsStore(opt.settingsPath)).adapter,
                      platform::AdapterKind::Elm327);
        }
        form.StartClick();
        EXPECT_TRUE(waitUntil(
            [&] {
                QTest::qWait(10);
                return !form.logic().session().empty();
            },
            std::chrono::seconds(15)));
        std::vector<std::string> shown;
        ecu::LiveData d;
        d.setFlagNames();
        if (form.logic().session().decode(form.logic().session().first(), '.', d))
            for (const auto& p : ecu::ParameterCatalogue::instance().all()) shown.push_back(d.chartReadout(p.number));
        return shown;
    };
    sim::PtyPeer kline;
    sim::PtyPeer elm(sim::ElmOptions::clone15());
    sim::TcpPeer wifi;
    ASSERT_TRUE(kline.ok() && elm.ok() && wifi.ok());
    const auto expected = firstPass(kline.slavePath(), false);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(firstPass(elm.slavePath(), true), expected);
    EXPECT_EQ(firstPass(wifi.address(), true), expected);
}

// A signal while a start-up box is open: the settings box (in the main
// loop) or the OpenGL failure boxes (before it). The program ends at once
// with the signal's status; it neither spins nor waits for the box.
TEST(MainWindow, ASignalWhileAStartUpBoxIsOpenEndsTheProgram) {
    std::string binary(512, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 131 + 7);
    struct Case {
        int sig;
        bool noOpenGl;
        const char* boxTitle;
    };
    for (const Case c : {Case{SIGINT, false, "Ошибка"}, Case{SIGTERM, false, "Ошибка"}, Case{SIGHUP, false, "Ошибка"},
                         Case{SIGTERM, true, "m797-tester"}}) {
        SCOPED_TRACE(std::to_string(c.sig) + (c.noOpenGl ? " without OpenGL" : " settings box"));
        const std::string settings = testsupport::tempSettingsPath();
        if (!c.noOpenGl) std::ofstream(settings, std::ios::binary) << binary;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.noOpenGl) env.insert("QT_XCB_GL_INTEGRATION", "none");
        p.setProcessEnvironment(env);
        p.start(M797_TESTER_PATH, {"--simulate", "--settings", QString::fromStdString(settings)});
        ASSERT_TRUE(p.waitForStarted(10000));
        ASSERT_TRUE(waitUntil(
            [&] {
                QProcess search;
                search.setStandardOutputFile(QProcess::nullDevice());
                search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(p.processId()), "--name",
                                         c.boxTitle});
                return search.waitForFinished(10000) && search.exitCode() == 0;
            },
            std::chrono::seconds(20)))
            << "no box was shown";
        ::kill(static_cast<pid_t>(p.processId()), c.sig);
        ASSERT_TRUE(p.waitForFinished(10000)) << "still running after the signal";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 130);
    }
}

// Without OpenGL every panel says why in two boxes, in the order of the
// steps, and nothing else: not under paints that arrive while a box is
// open. Runs in a child process, since the integration is chosen at start.
TEST(MainWindow, WithoutOpenGlEachPanelShowsItsTwoBoxesInOrder) {
    if (!testsupport::withoutOpenGl()) return;
    logic::TesterOptions opt;
    opt.settingsPath = testsupport::tempSettingsPath();
    qtface::MainWindow form(opt, std::make_unique<sim::SimulatedLine>(sim::SimOptions{}));
    QStringList boxes;
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        for (QWidget* x : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(x);
            if (!box || !box->isVisible() || box->property("read").toBool()) continue;
            box->setProperty("read", true);
            boxes << box->text();
            EXPECT_EQ(box->parentWidget(), &form);
            form.repaintPanels();  // paints inside the box's own event loop
            box->accept();
        }
    });
    reader.start(20);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 5000 * testsupport::slowdown()));
    QTest::qWait(300);
    form.repaintPanels();
    QTest::qWait(100);
    ASSERT_EQ(boxes.size(), 14) << boxes.join(" | ").toStdString();
    for (int k = 0; k < 7; ++k) {
        EXPECT_TRUE(boxes[2 * k].startsWith("wglRenderingContext:")) << boxes[2 * k].toStdString();
        EXPECT_EQ(boxes[2 * k + 1], QStringLiteral("Open GL Context Create Failed"));
    }
}
