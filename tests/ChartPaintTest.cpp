// SPDX-License-Identifier: GPL-3.0-or-later
// What the charts, the flag strip and the passport put on the screen, read
// back from the panels' windows under Xvfb with Mesa's software renderer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "painting/ChartReview.h"
#include "painting/PaintGate.h"
#include "qt/ChildWindow.h"
#include "qt/MainWindow.h"
#include "qt/glpanel/TOpenGLPanel.h"
#include "sim/SimulatedCar.h"
#include "tests/PaintingChecks.h"
#include "tests/TestSupport.h"

namespace {

using paintchecks::blue;
using paintchecks::Box;
using paintchecks::count;
using paintchecks::yellow;

struct Rig : paintchecks::Face {
    explicit Rig(lines::MadeLine line = std::make_unique<sim::SimulatedLine>(), logic::TesterOptions o = {}) {
        o.settingsPath = testsupport::tempSettingsPath();
        form = std::make_unique<qtface::MainWindow>(o, std::move(line));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get(), 5000 * testsupport::slowdown()));
        QTest::qWait(100);
        form->logic().colourScheme = paintchecks::testColours();
    }
    logic::SharedData& data() override { return form->logic(); }
    ecu::SessionHistory& kept() override { return form->logic().session(); }
    void pauseCharts() override { form->logic().run(logic::ui::Command::Pause, 0); }
    paintchecks::Picture shot(int k) override { return picture(grab(k)); }
    QImage grab(int k) {
        form->panel(k)->repaintNow();
        QWindow* w = form->panel(k)->surfaceWindow();
        return w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    static paintchecks::Picture picture(const QImage& img) {
        paintchecks::Picture p{img.width(), img.height(), {}};
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y);
                p.pixels.push_back({qRed(c), qGreen(c), qBlue(c)});
            }
        return p;
    }
    std::unique_ptr<qtface::MainWindow> form;
};

}  // namespace

M797_PAINTING_CHECKS(ChartPaint, Rig)

TEST(ChartPaint, EndToEndTheSimulatedCarsEngineSpeedIsChartedAndRead) {
    Rig rig(std::make_unique<sim::SimulatedCar>());
    rig.form->logic().chartParameter[0] = 56;
    QTest::mouseClick(rig.form->startButton(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return rig.form->logic().link().passCount() >= 3;
        },
        std::chrono::seconds(10)));
    QTest::qWait(300);
    const paintchecks::Picture img = rig.shot(1);
    const std::string rpm =
        rig.form->logic().liveData.read([](const ecu::LiveData& d) { return d.analogue[56].valueText; });
    EXPECT_GT(std::stoi(rpm), 700);
    EXPECT_LT(std::stoi(rpm), 3700);
    // The recent samples, on the left, lie above the zero line (about 2 pixels
    // above the bottom): idle at 850 rpm charts near 8, row 104. A pass takes
    // several ticks, so the newest sample may already have drifted right.
    const auto rows = paintchecks::traceRows(img, 0, 200);
    EXPECT_LT(rows.first, 109);
    EXPECT_GT(count(img, Box{0, 20, 400, 95}, yellow), 200);
    QTest::mouseClick(rig.form->stopButton(), Qt::LeftButton);
}

TEST(ChartPaint, ThePortNameFitsTheStripsLastFrameWhateverTheDevice) {
    EXPECT_EQ(display::portLabel("/dev/ttyS0", qtface::MainWindow::measureStripText), "Com1");
    EXPECT_EQ(display::portLabel("/dev/ttyS3", qtface::MainWindow::measureStripText), "Com4");
    EXPECT_EQ(display::portLabel("/dev/ttyUSB0", qtface::MainWindow::measureStripText), "USB0");
    EXPECT_EQ(display::portLabel("/dev/ttyACM12", qtface::MainWindow::measureStripText), "ACM12");
    EXPECT_EQ(display::portLabel("COM1", qtface::MainWindow::measureStripText), "Com1");  // on Windows
    EXPECT_EQ(display::portLabel("\\\\.\\com12", qtface::MainWindow::measureStripText), "Com12");
    EXPECT_EQ(display::portLabel("comX", qtface::MainWindow::measureStripText), "comX");
    // A by-id link shows the device it names.
    const std::string folder = testsupport::tempDir();
    { std::ofstream(folder + "/ttyUSB1"); }
    const std::string link = folder + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    ASSERT_EQ(::symlink((folder + "/ttyUSB1").c_str(), link.c_str()), 0);
    EXPECT_EQ(display::portLabel(link, qtface::MainWindow::measureStripText), "USB1");

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(true);
    const QFontMetrics metrics(font);
    for (const char* device : {"/dev/rfcomm0", "/dev/ttyUSB123456", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART-port0",
                               "/dev/ttyS0", "/dev/WWWWWWWWWWWWWWWW", "/dev/ttyS9999"}) {
        const std::string label = display::portLabel(device, qtface::MainWindow::measureStripText);
        SCOPED_TRACE(device);
        EXPECT_FALSE(label.empty());
        EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(cp1251::toUtf8(label))), display::kPortNameRoom);
    }
}

TEST(ChartPaint, AReplayedDriveMovesTheChartsAndEndsWithItsLastPicture) {
    // A drive of the simulated car, recorded by the logger with the codes
    // read, which the window does not ask for: it still replays to its end.
    const std::string path = testsupport::tempDir() + "/drive.txt";
    ASSERT_EQ(
        std::system(
            (std::string(M797_LOG_PATH) + " --simulate --passes 3 --dtc --record " + path + " >/dev/null").c_str()),
        0);
    logic::TesterOptions o;
    o.replay = path;
    lines::MadeLine line = logic::makeLine(o);
    ASSERT_TRUE(line.line) << line.error;
    Rig rig(std::move(line), o);
    rig.form->logic().chartParameter[0] = 56;  // engine speed: the simulated car idles near 850 rpm
    EXPECT_FALSE(rig.form->commandButton(QStringLiteral("Управление"))->isEnabled());
    EXPECT_EQ(rig.form->ControlClick(), nullptr);
    {
        // Nothing in a recording can answer a clear either.
        auto* codes = dynamic_cast<qtface::ChildWindow*>(rig.form->ErrorsClick());
        ASSERT_NE(codes, nullptr);
        EXPECT_FALSE(codes->get<QPushButton>(logic::ui::kClear)->isEnabled());
        codes->close();
    }

    const QImage before = rig.grab(1);
    QTest::mouseClick(rig.form->startButton(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return rig.form->startButton()->isEnabled();  // the recording has ended
        },
        std::chrono::seconds(20)));
    EXPECT_EQ(rig.form->logic().link().passCount(), 3u);
    EXPECT_EQ(cp1251::toUtf8(rig.form->logic().linkData.statusText.get()), "Запись закончилась.");
    const QImage after = rig.grab(1);
    // The trace rose from the zero line to the idle speed, and stays drawn.
    EXPECT_LT(paintchecks::traceRows(Rig::picture(after), 0, 200).first, 109);
    EXPECT_NE(before, after);
    const std::string rpm =
        rig.form->logic().liveData.read([](const ecu::LiveData& d) { return d.analogue[56].valueText; });
    EXPECT_GT(std::stoi(rpm), 700);
}

TEST(PaintGate, OnlyAMovingTraceOrAChangedPictureIsPaintedAgain) {
    ecu::LiveDataStore live;
    ecu::SessionHistory kept;
    klink::LinkData link;
    display::ChartParameters chart{56, 0, 6, 56, 56};  // engine speed, nothing, a reserved number
    display::ColourScheme colours = display::ColourScheme::builtIn();
    display::DisplaySources src;
    src.live = &live;
    src.session = &kept;
    src.link = &link;
    src.chartParameter = &chart;
    src.colours = &colours;
    src.portName = "Com1";
    display::PaintGate gate;
    for (int k = 1; k <= 7; ++k) EXPECT_TRUE(gate.needsPaint(k, src)) << k;  // the first time, all
    EXPECT_TRUE(gate.needsPaint(1, src));                                    // the trace moves with every tick
    EXPECT_FALSE(gate.needsPaint(2, src));                                   // the grid alone never changes
    EXPECT_FALSE(gate.needsPaint(3, src));
    EXPECT_FALSE(gate.needsPaint(6, src));
    EXPECT_FALSE(gate.needsPaint(7, src));

    link.statusText.set(cp1251::fromUtf8("Данные получены."));
    EXPECT_TRUE(gate.needsPaint(6, src));
    EXPECT_FALSE(gate.needsPaint(6, src));
    live.write([](ecu::LiveData& d) {
        d.flag[21].state = 1;  // B_LL lights
        return 0;
    });
    EXPECT_TRUE(gate.needsPaint(6, src));
    link.identText.setAll({"XTA21700080123456"});
    EXPECT_TRUE(gate.needsPaint(7, src));
    EXPECT_FALSE(gate.needsPaint(7, src));
    colours.gridColour.r = 0.2f;  // the settings dialog
    EXPECT_TRUE(gate.needsPaint(2, src));
    EXPECT_FALSE(gate.needsPaint(2, src));
    gate.forget();
    EXPECT_TRUE(gate.needsPaint(2, src));
    EXPECT_TRUE(gate.needsPaint(7, src));
    // Following again with a cursor kept: the cursor moves across every chart.
    display::ChartReview review;
    src.review = &review;
    ASSERT_TRUE(review.placeCursor(false, 1000, 2000));
    if (!review.following()) review.togglePause(2000);
    ASSERT_TRUE(review.following());
    EXPECT_TRUE(gate.needsPaint(3, src));
    EXPECT_TRUE(gate.needsPaint(3, src));
}

namespace {

// The five charts as the screen shows them.
QImage chartsOnScreen(qtface::MainWindow& w) {
    QCoreApplication::processEvents();
    return w.screen()->grabWindow(w.winId(), 23, 15, 750, 639).toImage().convertToFormat(QImage::Format_RGB32);
}

bool waitForPasses(qtface::MainWindow& w, std::uint64_t n) {
    return testsupport::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return w.logic().link().passCount() >= n;
        },
        std::chrono::seconds(20));
}

}  // namespace

TEST(ChartReview, APausedViewStaysStillKeysAndTheWheelMoveItAndBackToLiveIsTheLivePicture) {
    Rig rig(std::make_unique<sim::SimulatedCar>());
    qtface::MainWindow& w = *rig.form;
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    // The shortest span, 5 s, and more than that of the drive.
    QTest::keyClick(&w, Qt::Key_Plus);
    QTest::keyClick(&w, Qt::Key_Plus);
    ASSERT_EQ(w.logic().review().spanMs(), 5000);
    ASSERT_TRUE(waitForPasses(w, 26));
    w.stopButton()->setFocus();  // a focused button keeps Space, not the window's keys

    QTest::keyClick(&w, Qt::Key_P);
    ASSERT_FALSE(w.logic().review().following());
    const QImage paused = chartsOnScreen(w);
    const auto passes = w.logic().link().passCount();
    ASSERT_TRUE(waitForPasses(w, passes + 4));  // the link polls on
    QTest::qWait(100);
    EXPECT_EQ(chartsOnScreen(w), paused);  // nothing moved

    QTest::keyClick(&w, Qt::Key_Left);
    const QImage earlier = chartsOnScreen(w);
    EXPECT_NE(earlier, paused);
    QWindow* surface = w.panel(1)->surfaceWindow();
    QWheelEvent wheel(QPointF(300, 50), surface->mapToGlobal(QPointF(300, 50)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(surface, &wheel);
    EXPECT_NE(chartsOnScreen(w), earlier);

    // With the link stopped the live picture stands still: End brings it
    // back pixel for pixel after a pause, a zoom and a cursor.
    QTest::mouseClick(w.stopButton(), Qt::LeftButton);
    // The pass under way ends first, its readouts decoded: then nothing moves.
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.logic().link().threadParked(); }));
    QTest::qWait(50);
    QTest::keyClick(&w, Qt::Key_End);
    w.repaintPanels();
    const QImage live = chartsOnScreen(w);
    QTest::keyClick(&w, Qt::Key_Minus);
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60));
    ASSERT_TRUE(w.logic().review().cursorA());
    const QImage looked = chartsOnScreen(w);
    EXPECT_NE(looked, live);
    // The cursor line and the paused charts' framed mark in the cursors'
    // colour, which no trace or text has: none in the live picture.
    const auto cursorColoured = [](const QImage& img, QRect r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                // Magenta with some green: where red grid and blue trace
                // blend, green is nil.
                n += c.red() > 150 && c.blue() > 150 && c.green() >= 30 && c.green() < 120;
            }
        return n;
    };
    const QRect mark(display::kPauseMark.x, display::kPauseMark.y, display::kPauseMark.width + 1,
                     display::kPauseMark.height + 1);
    EXPECT_GT(cursorColoured(looked, mark), 40);                    // the frame and its word
    EXPECT_GT(cursorColoured(looked, QRect(0, 20, 750, 95)), 150);  // the line across the chart
    EXPECT_EQ(cursorColoured(live, QRect(0, 0, 750, 639)), 0);
    QTest::keyClick(&w, Qt::Key_End);
    EXPECT_EQ(chartsOnScreen(w), live);

    // Ctrl+S saves the charts as they are shown, through the save dialog.
    QTest::keyClick(&w, Qt::Key_P);
    const QImage shown = chartsOnScreen(w);
    const std::string dir = testsupport::tempDir();
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // Qt's own dialog speaks the tester's Russian.
        const auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        EXPECT_EQ(buttons->button(QDialogButtonBox::Save)->text().remove('&'), QStringLiteral("Сохранить"));
        dialog->setDirectory(QString::fromStdString(dir));  // under the name it offers
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    std::vector<std::filesystem::path> saved;
    for (const auto& f : std::filesystem::directory_iterator(dir)) saved.push_back(f.path());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].extension(), ".png");
    EXPECT_EQ(QImage(QString::fromStdString(saved[0].string())).convertToFormat(QImage::Format_RGB32), shown);

    // Ctrl+R asks where the drive's report goes, as a page; cancelled, it
    // writes nothing and opens nothing.
    QString title, name;
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        name = dialog->selectedFiles().value(0);
        EXPECT_EQ(dialog->nameFilters(),
                  (QStringList{QStringLiteral("HTML (*.html)"), QStringLiteral("JSON (*.json)")}));
        EXPECT_EQ(dialog->parentWidget(), &w);
        dialog->setDirectory(QString::fromStdString(dir));
        QMetaObject::invokeMethod(dialog, "reject");
    });
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(title, QStringLiteral("Отчёт о поездке"));
    EXPECT_TRUE(name.endsWith(QStringLiteral("-отчёт.html"))) << name.toStdString();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

// The same car's previous drive drawn beside this one (Ctrl+L): a second
// trace under this drive's, where this one is not; asked again, the
// picture is the one before, pixel for pixel.
TEST(ChartPaint, ThePreviousDriveIsASecondTraceBesideThisOnesUntilAskedAgain) {
    const std::string dir = testsupport::tempDir();
    ASSERT_EQ(testsupport::runCommand("XDG_DATA_HOME=" + dir +
                                      " " M797_LOG_PATH " --simulate=weak-charging --passes 8 --journal 2>/dev/null")
                  .status,
              0);
    logic::TesterOptions o;
    o.journalPath = dir + "/m797-tester/journal.sqlite3";
    Rig rig(std::make_unique<sim::SimulatedLine>(), o);
    qtface::MainWindow& w = *rig.form;
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    ASSERT_TRUE(waitForPasses(w, 16));  // longer than the previous drive: all of it beside
    QTest::mouseClick(w.stopButton(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.logic().link().threadParked(); }));
    // The rows of the chart that hold the graph's blue, and how many of its
    // pixels lie in the rows given.
    const auto blueRows = [](const QImage& img) {
        std::set<int> rows;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < 50; ++x)  // left of the readout
                if (const QColor c = img.pixelColor(x, y); c.blue() > 60 && c.red() < 40 && c.green() < 40)
                    rows.insert(y);
        return rows;
    };
    const QImage alone = rig.grab(1);
    QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(testsupport::waitUntil([&] {
        QCoreApplication::processEvents();
        return w.logic().previousDrive() != nullptr;
    }));
    const std::set<int> before = blueRows(alone), beside = blueRows(rig.grab(1));
    std::vector<int> added;
    std::set_difference(beside.begin(), beside.end(), before.begin(), before.end(), std::back_inserter(added));
    EXPECT_FALSE(before.empty());
    EXPECT_FALSE(added.empty()) << "no second trace";
    QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(rig.grab(1), alone);
}
