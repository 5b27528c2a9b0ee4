// What the charts, the flag strip and the passport put on the screen, read
// back from the panels' windows under Xvfb with Mesa's software renderer.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "painting/PaintGate.h"
#include "qt/ErrorCodesWindow.h"
#include "qt/MainWindow.h"
#include "qt/glpanel/TOpenGLPanel.h"
#include "sim/SimulatedCar.h"
#include "tests/TestSupport.h"

namespace {

// Pure colours per role, so each role can be told apart in the pixels.
display::ColourScheme testColours() {
    display::ColourScheme s;
    s.gridColour = {1, 0, 0, 0.5f};
    s.nameTextColour = {0, 1, 0, 1};
    s.graphColour = {0, 0, 1, 1};
    s.valueTextColour = {1, 1, 0, 1};
    return s;
}

struct Rig {
    explicit Rig(lines::MadeLine line = std::make_unique<sim::SimulatedLine>(), logic::TesterOptions o = {}) {
        o.settingsPath = testsupport::tempSettingsPath();
        form = std::make_unique<qtface::MainWindow>(o, std::move(line));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get(), 5000 * testsupport::slowdown()));
        QTest::qWait(100);
        form->logic().colourScheme = testColours();
    }
    QImage shot(int k) {
        form->panel(k)->repaintNow();
        QWindow* w = form->panel(k)->surfaceWindow();
        return w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Feeds n ticks of a constant sample to one parameter.
    void feed(int number, const std::function<int(int)>& value, int ticks) {
        for (int i = 0; i < ticks; ++i) {
            display::SampleSet s{};
            s[static_cast<std::size_t>(number)] = value(i);
            form->logic().histories.ageAll();
            form->logic().histories.shiftIn(s);
        }
    }
    std::unique_ptr<qtface::MainWindow> form;
};

int count(const QImage& img, QRect r, const std::function<bool(QRgb)>& pred) {
    int n = 0;
    r &= img.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += pred(img.pixel(x, y));
    return n;
}
bool green(QRgb c) { return qGreen(c) > 150 && qRed(c) < 100 && qBlue(c) < 150; }
bool blue(QRgb c) { return qBlue(c) > 80 && qGreen(c) < 100; }
bool yellow(QRgb c) { return qRed(c) > 150 && qGreen(c) > 150 && qBlue(c) < 100; }
bool red(QRgb c) { return qRed(c) > 60 && qGreen(c) < 40 && qBlue(c) < 40; }
int maxGreen(const QImage& img, QRect r) {
    int m = 0;
    r &= img.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) m = std::max(m, qGreen(img.pixel(x, y)));
    return m;
}
// The rows where the trace lies in one column band.
std::pair<int, int> traceRows(const QImage& img, int x0, int x1) {
    int top = img.height(), bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = x0; x <= x1; ++x)
            if (blue(img.pixel(x, y))) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return {top, bottom};
}

}  // namespace

TEST(ChartPaint, NumberZeroDrawsTheGridOnlyAndAReservedNumberItsCaptionOnly) {
    Rig rig;
    rig.form->logic().chartParameter[0] = 0;
    QImage img = rig.shot(1);
    EXPECT_GT(count(img, img.rect(), red), 2000);  // grid lines across the panel
    EXPECT_EQ(count(img, img.rect(), green), 0);
    EXPECT_EQ(count(img, img.rect(), blue), 0);
    EXPECT_EQ(count(img, img.rect(), yellow), 0);

    rig.form->logic().chartParameter[0] = 6;  // "Резерв Е3."
    img = rig.shot(1);
    EXPECT_GT(count(img, QRect(180, 0, 80, 13), green), 20);
    EXPECT_EQ(count(img, QRect(0, 13, 750, 102), green), 0);  // no labels
    EXPECT_EQ(count(img, QRect(0, 0, 170, 115), green), 0);
    EXPECT_EQ(count(img, img.rect(), blue), 0);    // no trace
    EXPECT_EQ(count(img, img.rect(), yellow), 0);  // no readout
}

TEST(ChartPaint, TheTraceLiesWhereTheProjectionPutsItsValuesAndAges) {
    Rig rig;
    rig.form->logic().chartParameter[0] = 56;  // NMOT
    rig.feed(
        56, [](int) { return 50; }, 345);
    QImage img = rig.shot(1);
    // Value 50 sits about halfway up: 115 - (50 + 1.8) / 105.8 x 115 = 58.7.
    const auto rows = traceRows(img, 100, 300);
    EXPECT_NEAR(rows.first, 58, 2);
    EXPECT_NEAR(rows.second, 59, 2);
    // 345 ticks of samples reach the middle; beyond, the initial zeros.
    EXPECT_GT(count(img, QRect(360, 55, 10, 8), blue), 0);
    EXPECT_EQ(count(img, QRect(385, 50, 20, 15), blue), 0);
    // Age 690 lies on the right edge.
    rig.feed(
        56, [](int) { return 50; }, 400);
    img = rig.shot(1);
    EXPECT_GT(count(img, QRect(735, 55, 14, 8), blue), 0);

    // A flag's trace jumps between 0 and 80.
    rig.form->logic().chartParameter[0] = 21;
    rig.feed(
        21, [](int i) { return (i / 20) % 2 ? 80 : 0; }, 400);
    img = rig.shot(1);
    EXPECT_GT(count(img, QRect(0, 23, 750, 7), blue), 150);   // 80: 115 - 81.8 / 105.8 x 115 = 26
    EXPECT_GT(count(img, QRect(0, 109, 750, 6), blue), 150);  // 0: about 2 pixels above the bottom
    EXPECT_LT(count(img, QRect(0, 60, 750, 1), blue), 90);    // in between only the jumps cross
    // Extreme samples are clipped by the projection, never a hang or a crash.
    rig.feed(
        21, [](int i) { return i % 2 ? 1000000000 : -1000000000; }, 50);
    img = rig.shot(1);
    EXPECT_GT(count(img, img.rect(), blue), 0);
}

TEST(ChartPaint, CaptionLabelsAndReadoutOfAnAnalogueParameter) {
    Rig rig;
    rig.form->logic().chartParameter[0] = 65;  // TANS: middle label lower, a companion readout
    rig.form->logic().liveData.write([](ecu::LiveData& d) {
        d.analogue[65].valueText = "24.8";
        d.analogue[8].valueText = "2.539";
        return 0;
    });
    const QImage img = rig.shot(1);
    EXPECT_GT(count(img, QRect(180, 0, 200, 13), green), 20);  // caption
    EXPECT_GT(count(img, QRect(600, 0, 140, 13), green), 20);  // companion readout
    EXPECT_GT(count(img, QRect(18, 0, 20, 13), green), 5);     // "140"
    EXPECT_GT(count(img, QRect(18, 80, 10, 12), green), 3);    // "0" at 90, not 60
    EXPECT_EQ(count(img, QRect(18, 50, 10, 12), green), 0);
    EXPECT_GT(count(img, QRect(18, 104, 25, 12), green), 5);    // "-40"
    EXPECT_GT(count(img, QRect(0, 20, 400, 95), yellow), 200);  // the large readout
}

TEST(ChartPaint, TheStripLightsTheAlternativeThatAppliesAndTheSchemeSetsBrightness) {
    Rig rig;
    QImage img = rig.shot(6);
    // All flags clear: "EURO" and "Осн" bright, "RUS" and "Альт" dim.
    const int euro = maxGreen(img, QRect(445, 30, 28, 12));
    const int rus = maxGreen(img, QRect(480, 30, 24, 12));
    const int osn = maxGreen(img, QRect(520, 30, 22, 12));
    const int alt = maxGreen(img, QRect(545, 30, 24, 12));
    EXPECT_GT(euro, 200);
    EXPECT_GT(osn, 200);
    EXPECT_LT(rus, 120);
    EXPECT_LT(alt, 120);
    EXPECT_GT(rus, 40);
    rig.form->logic().liveData.write([](ecu::LiveData& d) {
        d.flag[18].state = 1;
        d.flag[32].state = 1;
        return 0;
    });
    img = rig.shot(6);
    EXPECT_GT(maxGreen(img, QRect(480, 30, 24, 12)), 200);
    EXPECT_LT(maxGreen(img, QRect(445, 30, 28, 12)), 120);
    EXPECT_GT(maxGreen(img, QRect(545, 30, 24, 12)), 200);

    // The name colour's brightness shows at the next paint.
    rig.form->logic().colourScheme.nameTextColour.t = 0.3f;
    img = rig.shot(6);
    EXPECT_LT(maxGreen(img, QRect(480, 30, 24, 12)), 110);
}

TEST(ChartPaint, ThePassportShowsCaptionsAndTextsUpToTheirFirstZero) {
    Rig rig;
    QImage empty = rig.shot(7);
    const int captionsOnly = count(empty, empty.rect(), [](QRgb c) { return qGreen(c) > 60; });
    EXPECT_GT(captionsOnly, 100);
    EXPECT_EQ(count(empty, QRect(35, 40, 150, 12), green), 0);  // no text yet
    std::array<std::string, 11> ident{};
    ident[0] = "XTA21700080123456";
    ident[1] = std::string("SERIAL\0HIDDENTXT", 16);
    rig.form->logic().linkData.identText.setAll(ident);
    const QImage img = rig.shot(7);
    EXPECT_GT(count(img, QRect(35, 40, 150, 12), green), 20);
    // Only "SERIAL" shows: nothing right of its six letters.
    EXPECT_GT(count(img, QRect(35, 70, 50, 12), green), 10);
    EXPECT_EQ(count(img, QRect(95, 70, 90, 12), green), 0);
}

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
    const QImage img = rig.shot(1);
    const std::string rpm =
        rig.form->logic().liveData.read([](const ecu::LiveData& d) { return d.analogue[56].valueText; });
    EXPECT_GT(std::stoi(rpm), 700);
    EXPECT_LT(std::stoi(rpm), 3700);
    // The recent samples, on the left, lie above the zero line (about 2 pixels
    // above the bottom): idle at 850 rpm charts near 8, row 104. A pass takes
    // several ticks, so the newest sample may already have drifted right.
    const auto rows = traceRows(img, 0, 200);
    EXPECT_LT(rows.first, 109);
    EXPECT_GT(count(img, QRect(0, 20, 400, 95), yellow), 200);
    QTest::mouseClick(rig.form->stopButton(), Qt::LeftButton);
}

TEST(ChartPaint, ThePortNameFitsTheStripsLastFrameWhateverTheDevice) {
    EXPECT_EQ(display::portLabel("/dev/ttyS0", qtface::MainWindow::measureStripText), "Com1");
    EXPECT_EQ(display::portLabel("/dev/ttyS3", qtface::MainWindow::measureStripText), "Com4");
    EXPECT_EQ(display::portLabel("/dev/ttyUSB0", qtface::MainWindow::measureStripText), "USB0");
    EXPECT_EQ(display::portLabel("/dev/ttyACM12", qtface::MainWindow::measureStripText), "ACM12");
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
        auto* codes = dynamic_cast<qtface::ErrorCodesWindow*>(rig.form->ErrorsClick());
        ASSERT_NE(codes, nullptr);
        EXPECT_FALSE(codes->resetButton()->isEnabled());
        codes->close();
    }

    const QImage before = rig.shot(1);
    QTest::mouseClick(rig.form->startButton(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return rig.form->startButton()->isEnabled();  // the recording has ended
        },
        std::chrono::seconds(20)));
    EXPECT_EQ(rig.form->logic().link().passCount(), 3u);
    EXPECT_EQ(cp1251::toUtf8(rig.form->logic().linkData.statusText.get()), "Запись закончилась.");
    const QImage after = rig.shot(1);
    // The trace rose from the zero line to the idle speed, and stays drawn.
    EXPECT_LT(traceRows(after, 0, 200).first, 109);
    EXPECT_NE(before, after);
    const std::string rpm =
        rig.form->logic().liveData.read([](const ecu::LiveData& d) { return d.analogue[56].valueText; });
    EXPECT_GT(std::stoi(rpm), 700);
}

TEST(PaintGate, OnlyAMovingTraceOrAChangedPictureIsPaintedAgain) {
    ecu::LiveDataStore live;
    display::HistoryStore histories;
    klink::LinkData link;
    display::ChartParameters chart{56, 0, 6, 56, 56};  // engine speed, nothing, a reserved number
    display::ColourScheme colours = display::ColourScheme::builtIn();
    display::DisplaySources src{&live, &histories, &link, &chart, &colours, "Com1"};
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
}
