// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog, the error-codes window, the control window and the
// confirmations, against the link running on the simulated ECU.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QSlider>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "journal/Journal.h"
#include "link/RecordingLine.h"
#include "logic/ControlWindow.h"
#include "logic/SettingsWindow.h"
#include "qt/ChildWindow.h"
#include "qt/MainWindow.h"
#include "sim/SimulatedLine.h"
#include "tests/GuiSupport.h"

using testsupport::hex;

namespace {

struct Rig {
    // record: a file the wire is recorded to, or none.
    explicit Rig(std::string settings = testsupport::tempSettingsPath(), const std::string& record = {},
                 const std::string& journal = {})
        : path(settings) {
        logic::TesterOptions o;
        o.settingsPath = settings;
        o.journalPath = journal;
        sim::SimOptions so;
        so.answerDelay = std::chrono::milliseconds(1);
        so.readTimeoutDivisor = 10;
        auto l = std::make_unique<sim::SimulatedLine>(so);
        line = l.get();
        lines::MadeLine outer(std::move(l));
        if (!record.empty()) {
            // Recorded as the program records: the status and the passes too.
            std::string error;
            auto recorded =
                klink::RecordingLine::create(std::move(outer.line), record, {"m797-tester", "simulated", ""}, error);
            EXPECT_TRUE(recorded) << error;
            outer.recorder = &recorded->recorder();
            outer.line = std::move(recorded);
        }
        form = std::make_unique<qtface::MainWindow>(o, std::move(outer));
        form->logic().reportError = [this](const std::string& e) { errors.push_back(e); };
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get(), 5000 * testsupport::slowdown()));
    }
    void start() {
        form->StartClick();
        EXPECT_TRUE(until([&] { return form->logic().link().passCount() >= 1; }));
    }
    bool until(const std::function<bool()>& cond, int ms = 5000) { return testsupport::waitProcessing(cond, ms); }
    void passes(int n) {
        const auto target = form->logic().link().passCount() + static_cast<std::uint64_t>(n);
        EXPECT_TRUE(until([&] { return form->logic().link().passCount() >= target; }));
    }
    // Every frame the ECU received, as hex, and how often one was sent.
    std::vector<std::string> frames() {
        return line->withCore([](sim::AdapterCore& c) {
            std::vector<std::string> out;
            for (const auto& f : c.requests()) out.push_back(hex(f.bytes));
            return out;
        });
    }
    int sent(const std::string& frame) {
        // Only frames of the right length are spelled out: tests ask this
        // every few milliseconds while the link adds hundreds of frames.
        return line->withCore([&](sim::AdapterCore& c) {
            int n = 0;
            for (const auto& f : c.requests())
                if (f.bytes.size() * 3 == frame.size() + 1 && hex(f.bytes) == frame) ++n;
            return n;
        });
    }
    std::string path;
    sim::SimulatedLine* line;
    std::unique_ptr<qtface::MainWindow> form;
    std::vector<std::string> errors;
};

namespace ui = logic::ui;
using Window = qtface::ChildWindow;
constexpr int kResetEntry = logic::ControlWindow::kResetEntry;
constexpr int kInitEntry = logic::ControlWindow::kInitEntry;

Window* open(QWidget* w) {
    auto* typed = dynamic_cast<Window*>(w);
    EXPECT_NE(typed, nullptr);
    return typed;
}
QString text(Window* w, int id) { return w->get<QLabel>(id)->text(); }
QTableWidget* table(Window* w) { return w->get<QTableWidget>(ui::kCodesTable); }
QComboBox* list(Window* w, int id = ui::kControlList) { return w->get<QComboBox>(id); }
// The user picks entry k of the control window's list.
void pick(Window* w, int k) {
    list(w)->setCurrentIndex(k);
    w->choose(ui::kControlList, k);
}
const logic::SettingsWindow& settings(Window* w) { return static_cast<const logic::SettingsWindow&>(w->logic()); }
// The confirmations showing, of the reset or of the initialisation.
QList<Window*> confirmations(bool initialise) {
    const ui::WindowDescription* d = initialise ? &ui::initialisationConfirmation() : &ui::resetConfirmation();
    QList<Window*> out;
    for (QWidget* x : QApplication::topLevelWidgets())
        if (auto* f = dynamic_cast<Window*>(x); f && f->isVisible() && &f->logic().description() == d) out << f;
    return out;
}

}  // namespace

TEST(SettingsDialog, SetEditsAreStoredAtOnceAndReachTheChartsOnlyThroughThePresetButton) {
    Rig rig;
    auto* dlg = open(rig.form->SettingsClick());
    EXPECT_FALSE(rig.form->isEnabled());
    EXPECT_EQ(dlg->get<QTabWidget>(ui::kSettingsTabs)->tabText(0), QStringLiteral("Ноборы параметров"));
    EXPECT_EQ(settings(dlg).downSet(), 1);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(list(dlg, ui::kParamList1 + k - 1)->currentIndex(), k);  // numbers 2..6
    EXPECT_EQ(list(dlg, ui::kParamList1)->count(), 79);
    // Sliders of "Сетка" show the built-in 50, 40, 10, 40.
    EXPECT_EQ(dlg->get<QSlider>(ui::kSlider1)->value(), 50);
    EXPECT_EQ(dlg->get<QSlider>(ui::kSlider1 + 3)->value(), 40);

    dlg->press(ui::kSetButton1 + 4);
    ASSERT_EQ(settings(dlg).downSet(), 5);
    EXPECT_TRUE(dlg->get<QToolButton>(ui::kSetButton1 + 4)->isChecked());
    EXPECT_FALSE(dlg->get<QToolButton>(ui::kSetButton1)->isChecked());
    list(dlg, ui::kParamList1)->setCurrentIndex(55);
    dlg->choose(ui::kParamList1, 55);  // the user picks NMOT
    platform::SettingsStore store(rig.path);
    EXPECT_EQ(store.readInt(stored::setKey(5), "diagram_1").value, 55);
    EXPECT_EQ(rig.form->logic().chartParameter[0], 2);  // unchanged until button "5"
    dlg->close();
    EXPECT_TRUE(rig.form->isEnabled());
    QTest::mouseClick(rig.form->presetButton(5), Qt::LeftButton);
    EXPECT_EQ(rig.form->logic().chartParameter[0], 56);
}

TEST(SettingsDialog, SlidersChangeTheColoursAtOnceAndResetIsStoredOnlyByTheSystemClose) {
    const std::string settings = testsupport::tempSettingsPath();
    {
        Rig rig(settings);
        auto* dlg = open(rig.form->SettingsClick());
        dlg->get<QSlider>(ui::kSlider1 + 3 * 4)->setValue(0);
        EXPECT_EQ(rig.form->logic().colourScheme.graphColour.r, 0.0f);
        dlg->get<QSlider>(ui::kSlider1 + 3 * 4)->setValue(100);
        EXPECT_FLOAT_EQ(rig.form->logic().colourScheme.graphColour.r, 1.0f);
        dlg->press(ui::kColourReset);
        EXPECT_FLOAT_EQ(rig.form->logic().colourScheme.gridColour.t, 0.3f);
        EXPECT_FLOAT_EQ(rig.form->logic().colourScheme.graphColour.r, 0.45f);
        dlg->close();
        rig.form->close();
    }
    platform::SettingsStore store(settings);
    EXPECT_EQ(store.readInt(stored::kColourKey, "GRID_T").value, 30);
    {
        // Opening and closing without touching a slider changes no percentage.
        store.writeInt(stored::kColourKey, "Text_B", 69);
        Rig rig(settings);
        auto* dlg = open(rig.form->SettingsClick());
        dlg->close();
        rig.form->close();
    }
    EXPECT_EQ(store.readInt(stored::kColourKey, "Text_B").value, 69);
    EXPECT_EQ(store.readInt(stored::kColourKey, "GRID_T").value, 30);
}

TEST(ErrorCodesWindow, ShowsTheCodesAndClearsThemOnce) {
    Rig rig;
    rig.start();
    auto* w = open(rig.form->ErrorsClick());
    EXPECT_EQ(rig.form->logic().linkData.command.dtcReadRequest.load(), 1);
    EXPECT_EQ(text(w, ui::kCount), "0");
    EXPECT_EQ(table(w)->rowCount(), 1);
    ASSERT_TRUE(rig.until([&] { return text(w, ui::kCount) == "3"; }));
    ASSERT_EQ(table(w)->rowCount(), 3);
    EXPECT_EQ(table(w)->item(0, 0)->text(), "P  0102");
    EXPECT_EQ(table(w)->item(0, 5)->text(),
              QStringLiteral("Датчик массового расхода воздуха, низкий уровень выходного сигнала"));
    EXPECT_EQ(table(w)->item(1, 0)->text(), "P  0171");
    EXPECT_EQ(table(w)->item(2, 5)->text(), QStringLiteral("Сбой функционирования памяти ошибок"));
    // 0xE2: lamp, present, test completed, below minimum; 0x20: no lamp.
    EXPECT_FALSE(table(w)->item(0, 1)->data(Qt::DecorationRole).value<QPixmap>().isNull());
    EXPECT_TRUE(table(w)->item(1, 1)->data(Qt::DecorationRole).value<QPixmap>().isNull());
    EXPECT_TRUE(table(w)->item(1, 4)->data(Qt::DecorationRole).value<QPixmap>().isNull());
    EXPECT_FALSE(table(w)->item(2, 4)->data(Qt::DecorationRole).value<QPixmap>().isNull());

    // A code outside the table has no text, not the row's earlier one.
    rig.line->withCore([](sim::AdapterCore& c) {
        c.ecu().dtcs[0] = {0x05, 0x00, 0x00};
        return 0;
    });
    // (Refreshed here rather than by the window's half-second timer.)
    ASSERT_TRUE(rig.until([&] {
        w->tick();
        return table(w)->item(0, 0)->text() == "P  0500";
    }));
    EXPECT_EQ(table(w)->item(0, 5)->text(), QString());

    w->press(ui::kClear);
    EXPECT_EQ(table(w)->rowCount(), 1);
    ASSERT_TRUE(rig.until([&] { return text(w, ui::kCount) == "0" && table(w)->rowCount() == 0; }));
    rig.passes(3);
    EXPECT_EQ(rig.sent("83 10 F1 14 00 00 98"), 1);
    w->press(ui::kErrorsExit);
    EXPECT_EQ(rig.form->logic().linkData.command.dtcReadRequest.load(), 0);
    EXPECT_TRUE(rig.form->isEnabled());
}

TEST(ErrorCodesWindow, AGarbageReplyWithACountOf255NeverBreaksTheTable) {
    Rig rig;
    auto* w = open(rig.form->ErrorsClick());
    std::array<std::uint8_t, 1024> junk{};
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 73 + 11);
    junk[12] = 255;
    junk[15] = 0xFF;
    rig.form->logic().linkData.command.dtcReply.storeReceived(junk.data(), junk.size());
    w->tick();
    EXPECT_EQ(table(w)->rowCount(), 255);
    EXPECT_EQ(text(w, ui::kCount), "255");
    w->close();  // by the frame: the read request ends all the same
    EXPECT_EQ(rig.form->logic().linkData.command.dtcReadRequest.load(), 0);
    EXPECT_TRUE(rig.form->isEnabled());
}

TEST(ControlWindow, AdjustmentsStepFromTheEcusValueAndPostTheirFrames) {
    Rig rig;
    rig.line->withCore([](sim::AdapterCore& c) {
        c.ecu().setLive01(31, 100);
        c.ecu().setLive01(30, 85);
        return 0;
    });
    rig.start();
    rig.passes(2);
    auto* w = open(rig.form->ControlClick());
    EXPECT_EQ(text(w, ui::kControlStatus), QStringLiteral("Выл"));
    ASSERT_TRUE(rig.until([&] { return text(w, ui::kControlStatus) == QStringLiteral("ВЫКЛ"); }));
    EXPECT_EQ(rig.form->logic().linkData.command.controlActive.load(), 1);

    pick(w, 12);  // "Регулятор ХХ"
    EXPECT_EQ(w->get<QPushButton>(ui::kControlLeft)->text(), QStringLiteral("+1 шаг"));
    EXPECT_TRUE(rig.until([&] { return text(w, ui::kControlStatus) == QStringLiteral("100  Шаг"); }));
    w->press(ui::kControlLeft);
    ASSERT_TRUE(rig.until([&] { return rig.sent("84 10 F1 30 41 07 65 62") == 1; }));
    EXPECT_TRUE(rig.until([&] { return text(w, ui::kControlStatus) == QStringLiteral("101  Шаг"); }));
    // LID 01 was released when the selection moved on.
    EXPECT_EQ(rig.sent("83 10 F1 30 01 00 B5"), 1);

    pick(w, 13);  // "Обороты ХХ" at 85: 850 rpm
    EXPECT_TRUE(rig.until([&] { return text(w, ui::kControlStatus) == QStringLiteral("850   Об."); }));
    w->press(ui::kControlRight);
    ASSERT_TRUE(rig.until([&] { return rig.sent("84 10 F1 30 42 07 54 52") == 1; }));

    pick(w, 14);  // the purge valve starts at 0
    w->press(ui::kControlRight);
    ASSERT_TRUE(rig.until([&] { return rig.sent("84 10 F1 30 43 07 00 FF") == 1; }));
    for (int i = 0; i < 105; ++i) w->press(ui::kControlLeft);
    EXPECT_EQ(rig.form->logic().linkData.command.adjust[2].adjustValue.load(), 100);
    w->close();
}

TEST(ControlWindow, SelectionReportsExactlyOneOutputAndClosingReleasesIt) {
    Rig rig;
    rig.start();
    auto* w = open(rig.form->ControlClick());
    auto& cmd = rig.form->logic().linkData.command;
    pick(w, 1);  // "Форсунка 2"
    EXPECT_EQ(cmd.actuator[0].releaseRequest.load() + rig.sent("83 10 F1 30 01 00 B5"), 1);
    int reported = 0;
    for (auto& a : cmd.actuator) reported += a.reportRequest.load();
    for (auto& a : cmd.adjust) reported += a.reportRequest.load();
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(cmd.actuator[1].reportRequest.load(), 1);

    pick(w, 5);  // "Зажигание 2-3": no off
    const auto before = rig.frames().size();
    w->press(ui::kControlRight);
    rig.passes(2);
    const auto after = rig.frames();  // one copy: the link goes on sending
    for (std::size_t i = before; i < after.size(); ++i) EXPECT_NE(after[i], "84 10 F1 30 06 06 00 BD");

    pick(w, 10);  // "Реле стартера"
    w->close();
    EXPECT_TRUE(rig.form->isEnabled());
    ASSERT_TRUE(rig.until([&] { return rig.sent("83 10 F1 30 0E 00 C2") == 1; }));
    EXPECT_EQ(cmd.controlActive.load(), 1);  // never cleared
}

TEST(Confirmations, ResetYesSendsOnceAndInitialisationNoSendsNothing) {
    Rig rig;
    auto& cmd = rig.form->logic().linkData.command;
    rig.start();  // a stopped link takes no command
    auto* w = open(rig.form->ControlClick());
    pick(w, kResetEntry);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(list(w)->currentIndex(), 0);
    for (auto& a : cmd.actuator) EXPECT_EQ(a.reportRequest.load(), 0);
    const QList<Window*> reset = confirmations(false);
    ASSERT_EQ(reset.size(), 1);
    reset[0]->press(ui::kYes);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->get<QPushButton>(ui::kControlLeft)->text(), QStringLiteral("Вкл"));
    EXPECT_EQ(cmd.actuator[0].reportRequest.load(), 1);
    rig.passes(3);
    EXPECT_EQ(rig.sent("82 10 F1 11 01 95"), 1);

    pick(w, kInitEntry);
    for (Window* f : confirmations(true)) f->close();  // the frame: as "Нет"
    EXPECT_TRUE(w->isVisible());
    int reported = 0;
    for (auto& a : cmd.actuator) reported += a.reportRequest.load();
    EXPECT_EQ(reported, 0);
    rig.passes(2);
    EXPECT_EQ(rig.sent("82 10 F1 11 90 24"), 0);
    EXPECT_EQ(cmd.ecuInitRequest.load(), 0);
    w->close();
}

// ---- Every way out of a window runs its close handling -----------------

namespace {

std::string frameHex(const klink::RequestFrame& f) { return hex(testsupport::Bytes(f.data(), f.data() + f.length)); }

// Presses a key as a person does: through the X server to the window that
// has the keyboard focus. The window is given the focus first.
void pressKey(QWidget* w, const char* key) {
    ASSERT_TRUE(testsupport::focusWindow(w)) << "window never got the focus";
    ASSERT_EQ(QProcess::execute("xdotool", {"key", "--clearmodifiers", key}), 0) << "xdotool is needed";
    QTest::qWait(50);
}

// The top-level windows bottom to top, as the window manager stacks them;
// empty without a window manager.
std::vector<WId> stacking() {
    QProcess p;
    p.start("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
    p.waitForFinished(10000);
    std::vector<WId> out;
    const QString text = QString::fromLatin1(p.readAllStandardOutput());
    const qsizetype hash = text.indexOf('#');
    if (hash < 0) return out;
    for (const QString& id : text.mid(hash + 1).split(',', Qt::SkipEmptyParts))
        out.push_back(static_cast<WId>(id.trimmed().toULongLong(nullptr, 16)));
    return out;
}

// True when the window manager stacks upper above lower.
bool above(QWidget* upper, QWidget* lower) {
    const auto order = stacking();
    const auto u = std::find(order.begin(), order.end(), upper->winId());
    const auto l = std::find(order.begin(), order.end(), lower->winId());
    return u != order.end() && l != order.end() && u > l;
}

bool windowManagerRuns() {
    return QProcess::execute("sh", {"-c", "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"}) == 0;
}

}  // namespace

TEST(WaysOut, EscapeInTheErrorCodesWindowEndsTheReadsAndFreesTheMainWindow) {
    Rig rig;
    rig.start();
    const std::string read = frameHex(rig.form->logic().link().catalogue().dtcRead);
    QPointer<QWidget> w = rig.form->ErrorsClick();
    ASSERT_TRUE(rig.until([&] { return rig.sent(read) >= 1; }));
    pressKey(w, "Escape");
    ASSERT_TRUE(rig.until([&] { return w.isNull() || !w->isVisible(); }));
    EXPECT_TRUE(rig.form->isEnabled());
    EXPECT_EQ(rig.form->logic().linkData.command.dtcReadRequest.load(), 0);
    rig.passes(1);
    const int after = rig.sent(read);
    rig.passes(3);
    EXPECT_EQ(rig.sent(read), after);  // no 18 once the window is gone
}

TEST(WaysOut, EscapeOrAltF4InTheControlWindowReleasesTheOutputUnderTest) {
    Rig rig;
    rig.start();
    const std::string release = frameHex(rig.form->logic().link().catalogue().actuator[7].release);
    // Alt+F4 is the window manager's: without one only Escape is tried.
    const std::vector<const char*> keys =
        windowManagerRuns() ? std::vector<const char*>{"Escape", "alt+F4"} : std::vector<const char*>{"Escape"};
    int released = 0;
    for (const char* key : keys) {
        SCOPED_TRACE(key);
        auto* w = open(rig.form->ControlClick());
        pick(w, 7);  // "Реле вентилятора 1"
        w->press(ui::kControlLeft);
        QPointer<Window> guard(w);
        pressKey(w, key);
        ASSERT_TRUE(rig.until([&] { return guard.isNull() || !guard->isVisible(); }));
        EXPECT_TRUE(rig.form->isEnabled());
        ASSERT_TRUE(rig.until([&] { return rig.sent(release) == released + 1; }));
        ++released;
    }
}

// "О программе" is left as every window is, though its two buttons are
// neither "Отмена".
TEST(WaysOut, EscapeOrAltF4LeaveTheAboutBox) {
    Rig rig;
    for (const char* key :
         windowManagerRuns() ? std::vector<const char*>{"Escape", "alt+F4"} : std::vector<const char*>{"Escape"}) {
        SCOPED_TRACE(key);
        QPointer<QWidget> box = rig.form->AboutClick();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box, 5000 * testsupport::slowdown()));
        pressKey(box, key);
        EXPECT_TRUE(rig.until([&] { return box.isNull() || !box->isVisible(); }));
        if (box) box->close();
    }
}

TEST(WaysOut, EscapeInTheSettingsDialogFreesTheMainWindow) {
    Rig rig;
    QPointer<QWidget> dlg = rig.form->SettingsClick();
    EXPECT_FALSE(rig.form->isEnabled());
    pressKey(dlg, "Escape");
    ASSERT_TRUE(rig.until([&] { return dlg.isNull() || !dlg->isVisible(); }));
    EXPECT_TRUE(rig.form->isEnabled());
    // The main window takes clicks again.
    QTest::mouseClick(rig.form->presetButton(3), Qt::LeftButton);
    EXPECT_TRUE(rig.form->presetButton(3)->isChecked());
}

TEST(WaysOut, EscapeInAConfirmationIsNoAndTheEntryShownCanBeReportedAgain) {
    Rig rig;
    rig.start();
    auto& cmd = rig.form->logic().linkData.command;
    auto* w = open(rig.form->ControlClick());
    pick(w, kResetEntry);
    ASSERT_EQ(confirmations(false).size(), 1);
    pressKey(confirmations(false)[0], "Escape");
    ASSERT_TRUE(rig.until([&] { return confirmations(false).empty() && w->isVisible(); }));
    EXPECT_FALSE(rig.form->isEnabled());  // the control window is still open
    EXPECT_EQ(w->get<QPushButton>(ui::kControlLeft)->text(), QStringLiteral("Вкл"));
    rig.passes(2);
    EXPECT_EQ(rig.sent(frameHex(rig.form->logic().link().catalogue().ecuReset)), 0);
    EXPECT_EQ(cmd.actuator[0].reportRequest.load(), 0);

    // "Форсунка 1" is shown as selected; choosing it starts its report.
    pick(w, 0);
    EXPECT_EQ(cmd.actuator[0].reportRequest.load(), 1);
    const std::string report = frameHex(rig.form->logic().link().catalogue().actuator[0].report);
    const int before = rig.sent(report);
    ASSERT_TRUE(rig.until([&] { return rig.sent(report) > before; }));

    QPointer<Window> guard(w);
    pressKey(w, "Escape");
    ASSERT_TRUE(rig.until([&] { return guard.isNull() || !guard->isVisible(); }));
    EXPECT_TRUE(rig.form->isEnabled());
}

TEST(WaysOut, TheProgramsEndClosesEveryWindowAndReleasesTheOutputFirst) {
    Rig rig;
    rig.start();
    auto* w = open(rig.form->ControlClick());
    pick(w, 9);           // "Реле кондиционера"
    pick(w, kInitEntry);  // a confirmation stands in front
    ASSERT_EQ(confirmations(true).size(), 1);
    QPointer<Window> control(w);
    QPointer<Window> confirmation(confirmations(true)[0]);
    rig.form->ExitClick();
    EXPECT_TRUE(control.isNull() || !control->isVisible());
    EXPECT_TRUE(confirmation.isNull() || !confirmation->isVisible());
    EXPECT_EQ(rig.sent(frameHex(rig.form->logic().link().catalogue().ecuInit)), 0);  // as "Нет"
    // The output the user had last was released on the wire before the link stopped.
    EXPECT_EQ(rig.sent(frameHex(rig.form->logic().link().catalogue().actuator[9].release)), 1);

    Rig second;
    second.start();
    auto* codes = open(second.form->ErrorsClick());
    QPointer<Window> guard(codes);
    second.form->close();
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
    EXPECT_EQ(second.form->logic().linkData.command.dtcReadRequest.load(), 0);
}

namespace {

// Where a group box's frame (or caption) lies, in its parent's pixels.
QRect groupFrame(QGroupBox* box, QStyle::SubControl part = QStyle::SC_GroupBoxFrame) {
    QStyleOptionGroupBox opt;
    opt.initFrom(box);
    opt.text = box->title();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return box->style()->subControlRect(QStyle::CC_GroupBox, &opt, part, box).translated(box->pos());
}

}  // namespace

TEST(ControlWindow, ItsListSitsInsideItsGroupFrameAndTheTipNamesTheEntryWhole) {
    Rig rig;
    rig.start();
    auto* w = open(rig.form->ControlClick());
    QGroupBox* box = w->findChild<QGroupBox*>();
    ASSERT_TRUE(box);
    const QRect frame = groupFrame(box);
    QComboBox* list = ::list(w, ui::kControlList);
    EXPECT_GT(list->geometry().top(), frame.top() + 1);  // below the frame's line
    EXPECT_LT(list->geometry().bottom(), frame.bottom());
    const QRect caption = groupFrame(box, QStyle::SC_GroupBoxLabel);
    EXPECT_LT(frame.top(), caption.bottom());  // the caption on the line, not above it
    EXPECT_GT(frame.top(), caption.top());
    pick(w, 14);
    EXPECT_EQ(list->toolTip(), QStringLiteral("Клапан продувки адсорбера"));
    w->close();
}

TEST(SettingsDialog, ControlsSitInsideTheirGroupFramesAndTheOpenListShowsWholeEntries) {
    Rig rig;
    auto* dlg = open(rig.form->SettingsClick());
    for (int tab = 0; tab < dlg->get<QTabWidget>(ui::kSettingsTabs)->count(); ++tab) {
        dlg->get<QTabWidget>(ui::kSettingsTabs)->setCurrentIndex(tab);
        QTest::qWait(20);
        QWidget* page = dlg->get<QTabWidget>(ui::kSettingsTabs)->widget(tab);
        for (QGroupBox* box : page->findChildren<QGroupBox*>()) {
            const QRect frame = groupFrame(box);
            // The controls that lie on the box.
            int inside = 0;
            for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (child == box || qobject_cast<QGroupBox*>(child) || !box->geometry().contains(child->geometry()))
                    continue;
                SCOPED_TRACE(box->title().toStdString());
                ++inside;
                EXPECT_GT(child->geometry().top(), frame.top() + 1);  // below the frame's line
                EXPECT_LT(child->geometry().bottom(), frame.bottom());
            }
            EXPECT_GT(inside, 0) << box->title().toStdString();
        }
    }
    for (int k = 1; k <= 5; ++k) {
        QComboBox* list = ::list(dlg, ui::kParamList1 + k - 1);
        EXPECT_GE(list->view()->minimumWidth(), list->view()->sizeHintForColumn(0));
        // The closed list shows a long text whole ("...после катализатора" was cut).
        QStyleOptionComboBox opt;
        opt.initFrom(list);
        const int room =
            list->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, list).width();
        const int rinh = list->findText(QStringLiteral("ADC_RINH"), Qt::MatchContains);
        ASSERT_GE(rinh, 0);
        EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(rinh)), room);
        // The two longer than the box the layout fixes show whole in the
        // pointer's tip.
        const int fzakats = list->findText(QStringLiteral("FZAKATS"), Qt::MatchContains);
        ASSERT_GE(fzakats, 0);
        EXPECT_GT(list->fontMetrics().horizontalAdvance(list->itemText(fzakats)), room);
        dlg->choose(ui::kParamList1 + k - 1, fzakats);  // as the user does
        EXPECT_EQ(list->currentIndex(), fzakats);
        EXPECT_EQ(list->toolTip(), list->itemText(fzakats));
    }
    dlg->close();
}

TEST(ErrorCodesWindow, CountAndRecordsComeFromTheSameReply) {
    Rig rig;
    auto* w = open(rig.form->ErrorsClick());
    // Two replies the link might store one after the other: two codes of
    // 01 xx, or five of 02 xx.
    auto reply = [](std::uint8_t count, std::uint8_t high) {
        std::array<std::uint8_t, 64> r{};
        r[12] = count;
        for (std::uint8_t k = 0; k < 5; ++k) {
            r[13 + 3 * k] = high;
            r[14 + 3 * k] = k;
        }
        return r;
    };
    const auto two = reply(2, 0x01), five = reply(5, 0x02);
    std::atomic<bool> stop{false};
    auto& buffer = rig.form->logic().linkData.command.dtcReply;
    std::thread link([&] {
        for (bool flip = false; !stop; flip = !flip) {
            const auto& r = flip ? two : five;
            buffer.storeReceived(r.data(), r.size());
        }
    });
    int mixed = 0;
    for (int i = 0; i < 3000; ++i) {
        w->tick();
        const int rows = table(w)->rowCount();
        const QTableWidgetItem* cell = rows > 0 ? table(w)->item(0, 0) : nullptr;
        if (!cell) continue;  // before the first reply
        const QString first = cell->text();
        if ((rows == 2) != (first == QStringLiteral("P  0100"))) ++mixed;
    }
    stop = true;
    link.join();
    EXPECT_EQ(mixed, 0);
    w->close();
}

// ---- Nothing reaches the car by accident ------------------------------

// Enter and Space where each window puts the focus, as a technician might
// press them: nothing is cleared, switched or reset.
TEST(Keys, FunctionKeysLoadThePresetsTheSettingsDialogNamesSo) {
    Rig rig;
    ASSERT_TRUE(rig.until([&] { return platform::SettingsStore(rig.path).keyExists(stored::setKey(12)); }));
    platform::SettingsStore store(rig.path);
    store.writeInt(stored::setKey(3), "diagram_1", 55);   // NMOT
    store.writeInt(stored::setKey(12), "diagram_5", 20);  // B_LL
    pressKey(rig.form.get(), "F3");
    EXPECT_EQ(rig.form->logic().chartParameter[0], 56);
    EXPECT_TRUE(rig.form->presetButton(3)->isChecked());
    pressKey(rig.form.get(), "F12");
    EXPECT_EQ(rig.form->logic().chartParameter[4], 21);
    EXPECT_TRUE(rig.form->presetButton(12)->isChecked());
    EXPECT_FALSE(rig.form->presetButton(3)->isChecked());
}

TEST(Keys, EnterAndSpaceWhereEachWindowOpensSendNothingToTheCar) {
    Rig rig;
    rig.start();
    const auto& cat = rig.form->logic().link().catalogue();
    {
        QPointer<Window> codes = open(rig.form->ErrorsClick());
        for (const char* key : {"Return", "KP_Enter", "space"}) pressKey(codes, key);
        EXPECT_EQ(QApplication::focusWidget(), table(codes));
        rig.passes(2);
        EXPECT_EQ(rig.sent(frameHex(cat.dtcClear)), 0);
        codes->close();
    }
    QPointer<Window> control = open(rig.form->ControlClick());
    // "Реле стартера" chosen with the arrow keys, then Enter.
    for (int k = 0; k < 10; ++k) pressKey(control, "Down");
    ASSERT_EQ(list(control)->currentIndex(), 10);
    pressKey(control, "Return");
    pressKey(control, "KP_Enter");
    EXPECT_EQ(QApplication::focusWidget(), list(control));
    rig.passes(2);
    EXPECT_EQ(rig.sent(frameHex(cat.actuator[10].on)), 0);
    EXPECT_GE(rig.sent(frameHex(cat.actuator[10].report)), 1);

    // The reset's confirmation opens on "Нет": Enter or Space answer "Нет".
    for (const char* key : {"Return", "space"}) {
        pick(control, kResetEntry);
        ASSERT_EQ(confirmations(false).size(), 1);
        QPointer<Window> confirmation = confirmations(false)[0];
        pressKey(confirmation, key);
        ASSERT_TRUE(rig.until([&] { return confirmation.isNull() || !confirmation->isVisible(); })) << key;
        ASSERT_TRUE(rig.until([&] { return control && control->isVisible(); }));
    }
    rig.passes(2);
    EXPECT_EQ(rig.sent(frameHex(cat.ecuReset)), 0);

    // A focused button is pressed by Enter, as a user expects.
    pick(control, 7);  // "Реле вентилятора 1"
    control->get<QPushButton>(ui::kControlLeft)->setFocus();
    pressKey(control, "Return");
    ASSERT_TRUE(rig.until([&] { return rig.sent(frameHex(cat.actuator[7].on)) == 1; }));
    control->close();
}

// A key held down presses a button once: its repeats press nothing, not
// even the button the focus moved to when the first press disabled its own.
TEST(Keys, AHeldEnterOrSpacePressesAButtonOnce) {
    // Run under a sanitizer too: there the window loop falls so far behind
    // that Qt no longer marks the server's repeats, and the face must still
    // tell them.
    Rig rig;
    struct Repeats : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->isAutoRepeat()) ++n;
            return false;
        }
    } repeats;
    qApp->installEventFilter(&repeats);
    const auto hold = [&](QWidget* button, const char* key) {
        ASSERT_TRUE(testsupport::focusWindow(rig.form.get()));
        button->setFocus();
        QProcess::execute("xdotool", {"keydown", key});
        QTest::qWait(1500);
        QProcess::execute("xdotool", {"keyup", key});
        QTest::qWait(300);
    };
    hold(rig.form->startButton(), "Return");
    if (repeats.n == 0) GTEST_SKIP() << "this X server sends no key repeats";
    // The focus went on to "Стоп" when "Старт" was disabled: its repeats
    // neither stopped the link nor ended the program.
    EXPECT_EQ(QApplication::focusWidget(), rig.form->stopButton());
    EXPECT_FALSE(rig.form->ended());
    const auto started = rig.form->logic().link().passCount();
    EXPECT_TRUE(rig.until([&] { return rig.form->logic().link().passCount() >= started + 2; }));
    hold(rig.form->stopButton(), "space");
    EXPECT_FALSE(rig.form->ended());
    EXPECT_TRUE(rig.until([&] { return rig.form->startButton()->isEnabled(); }));
    const auto passes = rig.form->logic().link().passCount();
    QTest::qWait(500);
    EXPECT_EQ(rig.form->logic().link().passCount(), passes);  // stopped once, never started again
    qApp->removeEventFilter(&repeats);
}

// Every control of every child window shows what its logic says it shows,
// once it opened and once its timer ticked (a control the logic never set
// shows its description).
TEST(ChildWindows, EveryControlShowsWhatItsLogicSays) {
    Rig rig;
    rig.start();
    const auto agree = [](Window* w) {
        for (const ui::Control& c : w->logic().description().controls) {
            QWidget* widget = w->control(c.id);
            if (!c.id || !widget) continue;
            const ui::Shown& s = w->logic().shown(c.id);
            SCOPED_TRACE(std::string(w->logic().description().title) + ", control " + std::to_string(c.id));
            EXPECT_EQ(widget->isEnabled(), s.enabled);
            const QString text = QString::fromStdString(s.text);
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                EXPECT_EQ(label->text(), text);
            }
            if (auto* button = qobject_cast<QPushButton*>(widget)) {
                EXPECT_EQ(button->text(), text);
            }
            if (auto* list = qobject_cast<QComboBox*>(widget)) {
                EXPECT_EQ(list->count(), static_cast<int>(s.entries.size()));
                if (list->isEditable()) {
                    EXPECT_EQ(list->currentText(), text);
                } else {
                    EXPECT_EQ(list->currentIndex(), s.value);
                }
            }
            if (auto* slider = qobject_cast<QSlider*>(widget)) {
                EXPECT_EQ(slider->value(), s.value);
            }
            if (auto* table = qobject_cast<QTableWidget*>(widget)) {
                EXPECT_EQ(table->rowCount(), static_cast<int>(s.rows.size()));
                for (std::size_t k = 0; k < c.columns->size(); ++k)
                    EXPECT_EQ(table->columnWidth(static_cast<int>(k)), (*c.columns)[k].width) << "column " << k;
            }
            if (c.kind == ui::Kind::Toggle || c.kind == ui::Kind::Radio || c.kind == ui::Kind::Check) {
                EXPECT_EQ(static_cast<QAbstractButton*>(widget)->isChecked(), s.value == 1);
            }
        }
    };
    for (int which = 0; which < 3; ++which) {
        Window* w = open(which == 0   ? rig.form->SettingsClick()
                         : which == 1 ? rig.form->ErrorsClick()
                                      : rig.form->ControlClick());
        agree(w);
        ASSERT_TRUE(rig.until([&] {
            w->tick();
            return which != 1 || text(w, ui::kCount) == "3";  // the codes arrived
        }));
        agree(w);
        if (which == 2) {
            pick(w, kInitEntry);
            ASSERT_EQ(confirmations(true).size(), 1);
            agree(confirmations(true)[0]);
            confirmations(true)[0]->close();
            agree(w);
        }
        w->close();
    }
}

// Each window shows what its description says; the keys it keeps from its
// controls never reach them: End in the control list opens no confirmation,
// an arrow never moves a confirmation's focus off "Нет", and Tab goes on
// from the codes table to its buttons.
TEST(Keys, EveryWindowAsDescribedAndNoArrowHomeOrEndReachesAConfirmation) {
    Rig rig;
    EXPECT_EQ(QApplication::focusWidget(), rig.form->startButton());  // it opens on "Старт"
    rig.start();
    // The main window's arrows leave the focus where it is.
    const auto caption = [] {
        auto* b = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        return b ? b->text() : QString();
    };
    for (int i = 0; i < 10 && caption() != "Управление"; ++i) pressKey(rig.form.get(), "Tab");
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(caption(), "Управление");
    for (const char* key : {"Down", "Down", "Up"}) pressKey(rig.form.get(), key);
    EXPECT_EQ(QApplication::focusWidget(), focused);
    // Tab goes round the enabled buttons and, of the presets (one choice), the chosen one.
    pressKey(rig.form.get(), "F3");
    QStringList stops;
    for (int i = 0; i < 30 && (i == 0 || QApplication::focusWidget() != focused); ++i) {
        stops << static_cast<QAbstractButton*>(QApplication::focusWidget())->text();
        pressKey(rig.form.get(), "Tab");
    }
    EXPECT_EQ(stops.join(' '), "Управление Настройка Ошибки О программе Стоп Выход 3");
    // A window opened from a button gives the keyboard back to it when it closes.
    pressKey(rig.form.get(), "space");
    QPointer<Window> opened;
    ASSERT_TRUE(rig.until([&] {
        for (QWidget* x : QApplication::topLevelWidgets())
            if (auto* f = dynamic_cast<Window*>(x); f && f->isVisible()) opened = f;
        return !opened.isNull();
    }));
    pressKey(opened, "Escape");
    EXPECT_TRUE(rig.until([&] { return opened.isNull() && QApplication::focusWidget() == focused; }));
    const auto& cat = rig.form->logic().link().catalogue();
    QPointer<QWidget> settings = rig.form->SettingsClick();
    EXPECT_EQ(testsupport::laidOutAsDescribed(settings, logic::ui::settingsWindow()), "");
    auto* tabs = dynamic_cast<Window*>(settings.data())->get<QTabWidget>(ui::kSettingsTabs);
    EXPECT_LE(tabs->tabBar()->sizeHint().width(), tabs->width());  // every tab's name whole
    settings->close();
    QPointer<Window> codes = open(rig.form->ErrorsClick());
    EXPECT_EQ(testsupport::laidOutAsDescribed(codes, logic::ui::errorCodesWindow()), "");
    // End and Home in the codes go to the last and first code, choosing none.
    ASSERT_TRUE(rig.until([&] { return table(codes)->rowCount() == 3; }));
    EXPECT_EQ(table(codes)->currentRow(), 0);  // the first row current from the start
    pressKey(codes, "End");
    EXPECT_EQ(table(codes)->currentRow(), 2);
    pressKey(codes, "Home");
    EXPECT_EQ(table(codes)->currentRow(), 0);
    EXPECT_TRUE(table(codes)->selectedItems().isEmpty());
    pressKey(codes, "Tab");
    EXPECT_EQ(QApplication::focusWidget(), codes->get<QPushButton>(ui::kClear));
    codes->close();

    QPointer<Window> control = open(rig.form->ControlClick());
    EXPECT_EQ(testsupport::laidOutAsDescribed(control, logic::ui::controlWindow()), "");
    for (const char* key : {"End", "Next", "Home", "Prior"}) pressKey(control, key);
    // Nor do letters, which choose the first entry they begin ("С": "Сброс
    // ЭБУ"): sent as the toolkit gets them, since the test screen's keyboard
    // has no Cyrillic keys.
    for (const char16_t c : {u'С', u'И'}) {
        QKeyEvent press(QEvent::KeyPress, c, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(list(control), &press);
    }
    EXPECT_FALSE(control->standIn());
    EXPECT_EQ(list(control)->currentIndex(), 0);
    // Nor in the list opened: Return there takes the entry End would have reached.
    pressKey(control, "alt+Down");
    ASSERT_TRUE(rig.until([&] { return list(control)->view()->isVisible(); }));
    for (const char* key : {"End", "Return"}) QProcess::execute("xdotool", {"key", "--clearmodifiers", key});
    ASSERT_TRUE(rig.until([&] { return !list(control)->view()->isVisible(); }));
    EXPECT_EQ(list(control)->currentIndex(), 0);
    EXPECT_TRUE(confirmations(false).isEmpty());
    EXPECT_TRUE(confirmations(true).isEmpty());

    for (const int entry : {kResetEntry, kInitEntry}) {
        pick(control, entry);
        QPointer<QWidget> confirmation = control->standIn();
        ASSERT_TRUE(confirmation);
        EXPECT_EQ(testsupport::laidOutAsDescribed(confirmation, entry == kResetEntry
                                                                    ? logic::ui::resetConfirmation()
                                                                    : logic::ui::initialisationConfirmation()),
                  "");
        // "Нет" shows its focus from the start as it does after a key.
        auto* no = static_cast<Window*>(confirmation.data())->get<QPushButton>(ui::kNo);
        ASSERT_TRUE(rig.until([&] { return no->hasFocus(); }));
        const QImage opened = no->grab().toImage();
        for (const char* key : {"Tab", "shift+Tab"}) pressKey(confirmation, key);
        EXPECT_TRUE(no->hasFocus());
        EXPECT_EQ(no->grab().toImage(), opened);
        for (const char* key : {"Right", "Left", "Down", "Return"}) pressKey(confirmation, key);
        ASSERT_TRUE(rig.until([&] { return control && control->isVisible(); }));
    }
    rig.passes(2);
    EXPECT_EQ(rig.sent(frameHex(cat.ecuReset)), 0);
    EXPECT_EQ(rig.form->logic().linkData.command.ecuInitRequest.load(), 0);
    control->close();
}

// A click on the main window while a child is open never buries the child;
// a box raised from the settings dialog belongs to the dialog.
TEST(WindowOrder, AClickOnTheMainWindowLeavesTheOpenWindowInFront) {
    if (!windowManagerRuns()) GTEST_SKIP() << "needs a window manager (scripts/with-screen.sh starts one)";
    Rig rig;
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        QPointer<QWidget> w = which == 0   ? rig.form->SettingsClick()
                              : which == 1 ? rig.form->ErrorsClick()
                                           : rig.form->ControlClick();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w, 5000 * testsupport::slowdown()));
        ASSERT_TRUE(rig.until([&] { return above(w, rig.form.get()); }));
        // On the background beside the panels, away from the child.
        QProcess::execute("xdotool", {"mousemove", "790", "700", "click", "1"});
        QTest::qWait(300);
        EXPECT_TRUE(above(w, rig.form.get()));
        // The keyboard stays the child's: the disabled main window hands it back.
        EXPECT_TRUE(rig.until([&] { return w->isActiveWindow(); }));
        w->close();
        ASSERT_TRUE(rig.until([&] { return w.isNull() || !w->isVisible(); }));
    }
    // A box raised while the settings dialog is open (a store that cannot
    // be written, say) belongs to the dialog: over it, and it over the main
    // window, however the main window is clicked.
    auto* dlg = open(rig.form->SettingsClick());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg, 5000 * testsupport::slowdown()));
    bool checked = false;
    QTimer finder;
    QObject::connect(&finder, &QTimer::timeout, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* x : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(x); b && b->isVisible()) box = b;
        if (!box || checked) return;
        checked = true;
        finder.stop();
        EXPECT_EQ(box->parentWidget(), dlg);
        EXPECT_TRUE(rig.until([&] { return above(box, dlg); }));
        QProcess::execute("xdotool", {"mousemove", "790", "700", "click", "1"});
        QTest::qWait(300);
        EXPECT_TRUE(above(box, dlg));
        EXPECT_TRUE(above(dlg, rig.form.get()));
        box->accept();
    });
    finder.start(50);
    rig.form->showError("The settings cannot be saved");
    EXPECT_TRUE(checked);
    dlg->close();
}

// A drive recorded in the window with the codes window open for a while
// replays in the logger to its end.
TEST(ErrorCodesWindow, ADriveRecordedWithTheWindowOpenReplaysInTheLogger) {
    const std::string recording = testsupport::tempDir() + "/window-drive.txt";
    {
        Rig rig(testsupport::tempSettingsPath(), recording);
        rig.start();
        QPointer<QWidget> codes = rig.form->ErrorsClick();
        rig.passes(3);
        codes->close();
        rig.passes(2);
        rig.form->stopButton()->click();
    }
    const auto run = testsupport::runCommand(std::string(M797_LOG_PATH) + " --replay " + recording + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("end of the recording"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Адаптер не подключен!"), std::string::npos) << run.out;
}

// The journal's window through the Qt face: Ctrl+J opens it over the main
// window, laid out as described, on the cars' table with the newest visit
// chosen; a click on the earlier visit shows its action; "Открыть поездку"
// starts a tester reviewing that visit's recording; Escape closes it.
TEST(JournalWindow, CtrlJOpensItAndAClickedVisitShowsItsActionsAndOpensItsDrive) {
    const std::string dir = testsupport::tempDir();
    const std::string path = dir + "/journal.sqlite3", recording = dir + "/earlier.m797";
    std::ofstream(recording) << "M797 recording\n";
    {
        std::string why;
        auto j = journal::Journal::open(path, why);
        ASSERT_TRUE(j) << why;
        const auto earlier = j->beginVisit({"m797-tester 1.0.0", "/dev/ttyUSB0", "kline", recording});
        j->setCar(earlier, {"XTA21700080123456", "0261S04987654321"});
        j->addAction(earlier, 12, "reset", "сброс ЭБУ");
        j->endVisit(earlier);
    }
    Rig rig(testsupport::tempSettingsPath(), {}, path);
    std::vector<std::vector<std::string>> started;
    rig.form->logic().startTester = [&started](const std::vector<std::string>& args) {
        started.push_back(args);
        return std::string();
    };
    rig.start();
    ASSERT_TRUE(rig.until([&] {  // this session's visit has its car
        std::string why;
        const auto j = journal::Journal::open(path, why);
        return j && j->visits(j->cars().empty() ? 0 : j->cars()[0].id).size() == 2;
    }));
    QTest::keyClick(rig.form.get(), Qt::Key_J, Qt::ControlModifier);
    Window* w = nullptr;
    ASSERT_TRUE(rig.until([&] {
        for (QWidget* x : QApplication::topLevelWidgets())
            if (auto* f = dynamic_cast<Window*>(x);
                f && f->isVisible() && &f->logic().description() == &ui::journalWindow())
                w = f;
        return w != nullptr;
    }));
    EXPECT_EQ(testsupport::laidOutAsDescribed(w, ui::journalWindow()), "");
    EXPECT_EQ(w->owner(), rig.form.get());
    EXPECT_FALSE(rig.form->isEnabled());
    auto* visits = w->get<QTableWidget>(ui::kJournalVisits);
    auto* actions = w->get<QTableWidget>(ui::kJournalActions);
    // Its own focus, whenever the window manager makes it the active window.
    EXPECT_EQ(w->focusWidget(), w->get<QTableWidget>(ui::kJournalCars));
    ASSERT_EQ(visits->rowCount(), 2);
    EXPECT_EQ(visits->currentRow(), 0);
    EXPECT_EQ(actions->rowCount(), 0);
    QTest::mouseClick(visits->viewport(), Qt::LeftButton, {},
                      visits->visualRect(visits->model()->index(1, 2)).center());
    EXPECT_EQ(visits->currentRow(), 1);
    ASSERT_EQ(actions->rowCount(), 1);
    EXPECT_EQ(actions->item(0, 1)->text(), QStringLiteral("сброс ЭБУ"));
    // Home and End choose the first and the last visit, as on Windows.
    EXPECT_EQ(w->focusWidget(), visits);
    pressKey(w, "Home");
    EXPECT_EQ(visits->currentRow(), 0);
    EXPECT_EQ(actions->rowCount(), 0);
    pressKey(w, "End");
    EXPECT_EQ(visits->currentRow(), 1);
    EXPECT_EQ(actions->rowCount(), 1);
    QTest::mouseClick(w->get<QPushButton>(ui::kJournalReplay), Qt::LeftButton);
    EXPECT_EQ(
        started,
        (std::vector<std::vector<std::string>>{{"--replay", recording, "--speed", "all", "--settings", rig.path}}));
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_TRUE(rig.until([&] { return rig.form->isEnabled(); }));
}

// A key answers as its control's kind says, on both faces: a slider's Up
// raises it, a list's Right and a check box's Down move nothing.
TEST(Keys, ASlidersUpRaisesItAndAListsRightOrACheckBoxsDownMoveNothing) {
    Rig rig;
    QPointer<Window> w = open(rig.form->SettingsClick());
    auto* tabs = w->get<QTabWidget>(ui::kSettingsTabs);
    tabs->setCurrentIndex(1);
    auto* slider = w->get<QSlider>(ui::kSlider1);
    slider->setFocus();
    const int at = slider->value();
    pressKey(w, "Up");
    EXPECT_EQ(slider->value(), std::min(100, at + 1));
    tabs->setCurrentIndex(0);
    QComboBox* params = list(w, ui::kParamList1);
    params->setFocus();
    const int entry = params->currentIndex();
    pressKey(w, "Right");
    EXPECT_EQ(params->currentIndex(), entry);
    EXPECT_EQ(QApplication::focusWidget(), params);
    tabs->setCurrentIndex(3);
    QWidget* check = w->control(ui::kReconnect);
    check->setFocus();
    pressKey(w, "Down");
    EXPECT_EQ(QApplication::focusWidget(), check);
    w->close();
}
