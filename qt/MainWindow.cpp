// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "painting/PanelLayout.h"
#include "platform/Cp1251.h"
#include "platform/Messages.h"
#include "qt/ControlWindow.h"
#include "qt/ErrorCodesWindow.h"
#include "qt/JpegImage.h"
#include "qt/ResolutionNotice.h"
#include "qt/SettingsDialog.h"
#include "qt/WindowRules.h"
#include "qt/glpanel/TOpenGLPanel.h"

namespace qtface {

using glpanel::TOpenGLPanel;

namespace {

QString boxStyle() { return QStringLiteral("QFrame#box { background-color: rgb(226, 229, 234); }"); }

}  // namespace

int MainWindow::measureStripText(const std::string& text1251) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(QString::fromStdString(cp1251::toUtf8(text1251)));
}

MainWindow::MainWindow(const logic::TesterOptions& options, lines::MadeLine line)
    : logic_(options, std::move(line), *this) {
    // The event loop is woken through a counter the kernel keeps: nothing
    // of the posting thread's memory travels with the wake-up.
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ >= 0) {
        auto* wake = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(wake, &QSocketNotifier::activated, this, [this] {
            std::uint64_t count = 0;
            if (::read(wakeFd_, &count, sizeof count) < 0) count = 0;
            runPosted();
        });
    }
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("M7.9.7"));

    // The screen check comes first; on a screen of another width only the
    // notice shows and nothing talks to the car.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!options.anyScreen && screen && screen->geometry().width() != 1024) {
        // The notice is in the window's words; the terminal hears why and what to do.
        const std::string why = "the screen is " + std::to_string(screen->geometry().width()) +
                                " pixels wide, not 1024: the program shows its notice and ends in 4 s "
                                "(--any-screen starts it on any screen)";
        std::fprintf(stderr, "m797-tester: %s\n", platform::forTerminal(why).c_str());
        notice_ = new ResolutionNotice;
        notice_->setAttribute(Qt::WA_DeleteOnClose);
        notice_->show();
        return;
    }
    setGeometry(0, 0, 1024, 740);
    setFixedSize(1024, 740);

    const std::string failure = logic_.begin(QLocale::system().decimalPoint().toStdString());
    if (!failure.empty()) {
        QMessageBox::critical(nullptr, QString(), QString::fromStdString(failure));  // already the window's words
        QMetaObject::invokeMethod(
            qApp, [] { QApplication::exit(1); }, Qt::QueuedConnection);
        return;
    }

    auto* background = new QLabel(this);
    background->setGeometry(0, 0, 1024, 740);
    background->setPixmap(QPixmap::fromImage(backgroundPicture()));
    buildPanels();
    buildPresetBox();
    buildCommandBox();
    buildReviewInput();
    for (auto [text, x] : {std::pair{"v 1. 0 ", 920}, std::pair{"Win 9x", 968}}) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setStyleSheet(QStringLiteral("font-weight: bold; background: transparent;"));
        label->move(x, 304);
        label->adjustSize();
    }
    // The stored settings are read once the window shows, so that a
    // settings error box stands in front of the window.
}

MainWindow::~MainWindow() {
    logic_.shutDown();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void MainWindow::buildPanels() {
    // Seven contexts would cost a software renderer some 70 MB; the panels'
    // pictures are the same through one.
    TOpenGLPanel::setOneContextForAll(true);
    for (int k = 1; k <= 7; ++k) {
        auto* p = new TOpenGLPanel(this);
        const display::PanelPlace& place = display::panelPlace(k);
        p->setGeometry(place.x, place.y, place.width, place.height);
        display::setUpPanel(*p, k, logic_.sources());
        paintStats_.watch(*p, k);
        panels_[static_cast<std::size_t>(k - 1)] = p;
    }
}

void MainWindow::buildPresetBox() {
    auto* box = new QFrame(this);
    box->setObjectName(QStringLiteral("box"));
    box->setFrameStyle(QFrame::Panel | QFrame::Raised);
    box->setStyleSheet(boxStyle());
    box->setGeometry(808, 16, 201, 73);
    auto* caption = new QLabel(QStringLiteral("Наборы параметров"), box);
    caption->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    caption->move(8, 3);
    caption->adjustSize();
    presetGroup_ = new QButtonGroup(this);
    presetGroup_->setExclusive(true);
    const int lefts[6] = {8, 40, 72, 104, 136, 168};
    for (int n = 1; n <= 12; ++n) {
        auto* b = new QToolButton(box);
        b->setText(QString::number(n));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setStyleSheet(
            QStringLiteral("QToolButton { color: navy; font-weight: bold; }"
                           "QToolButton:checked { background: rgb(200, 205, 214); border: 1px inset gray; }"));
        const int col = (n - 1) % 6;
        const int top = n <= 6 ? 24 : 48;
        b->setGeometry(lefts[col], top, n == 12 ? 25 : 23, n == 12 ? 18 : 17);
        presetGroup_->addButton(b, n);
        presetButtons_[static_cast<std::size_t>(n - 1)] = b;
        connect(b, &QToolButton::clicked, this, [this, n] { PresetClick(n); });
    }
    presetButtons_[0]->setChecked(true);
}

void MainWindow::buildCommandBox() {
    commandBox_ = new QFrame(this);
    commandBox_->setObjectName(QStringLiteral("box"));
    commandBox_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    commandBox_->setStyleSheet(boxStyle());
    commandBox_->setGeometry(808, 96, 201, 137);
    struct ButtonPlace {
        const char* caption;
        int x, y;
        bool red;
        std::function<void()> action;
        QPushButton** keep;  // where the window keeps the button, if it does
    };
    const ButtonPlace places[] = {{"Управление", 8, 8, false, [this] { ControlClick(); }, &controlButton_},
                                  {"Настройка", 104, 8, false, [this] { SettingsClick(); }, nullptr},
                                  {"Ошибки", 8, 40, false, [this] { ErrorsClick(); }, nullptr},
                                  {"О программе", 104, 40, false, [this] { AboutClick(); }, nullptr},
                                  {"Старт", 8, 72, true, [this] { StartClick(); }, &startButton_},
                                  {"Стоп", 104, 72, true, [this] { StopClick(); }, &stopButton_},
                                  {"Выход", 56, 104, false, [this] { ExitClick(); }, nullptr}};
    for (const ButtonPlace& s : places) {
        auto* b = new QPushButton(QString::fromUtf8(s.caption), commandBox_);
        b->setGeometry(s.x, s.y, 89, 22);
        b->setStyleSheet(QStringLiteral("QPushButton { font-weight: bold; font-size: 11px; color: %1; }"
                                        "QPushButton:disabled { color: gray; }")
                             .arg(s.red ? QStringLiteral("red") : QStringLiteral("navy")));
        if (s.action) connect(b, &QPushButton::clicked, this, s.action);
        if (s.keep) *s.keep = b;
    }
    pressOnlyWhenFocused(this);
    stopButton_->setEnabled(false);
    // A replay has no car to command: no actuator tests, no resets.
    controlButton_->setEnabled(logic_.canCommand());
}

QPushButton* MainWindow::commandButton(const QString& caption) const {
    if (!commandBox_) return nullptr;
    for (auto* b : commandBox_->findChildren<QPushButton*>())
        if (b->text() == caption) return b;
    return nullptr;
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (createPosted_ || !logic_.begun()) return;
    createPosted_ = true;
    watchChartSurfaces();
    post([this] { logic_.created(); });
}

void MainWindow::post(std::function<void()> step) {
    // The steps wait in a queue of our own, handed over under its lock; the
    // event loop is only woken, with nothing but the window to carry.
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        wake = posted_.empty();
        posted_.push_back(std::move(step));
    }
    if (!wake) return;
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) == sizeof one) return;
    QMetaObject::invokeMethod(
        this, [this] { runPosted(); }, Qt::QueuedConnection);
}

void MainWindow::runPosted() {
    std::deque<std::function<void()>> steps;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        steps.swap(posted_);
    }
    for (auto& step : steps) step();
}

void MainWindow::showRunning(bool running) {
    if (startButton_) startButton_->setEnabled(!running);
    if (stopButton_) stopButton_->setEnabled(running);
}

void MainWindow::repaintPanel(int k) {
    if (panels_[0]) panel(k)->repaintNow();
}

void MainWindow::quit(int exitCode) { QApplication::exit(exitCode); }

// Child windows have no parent widget (a disabled main window must not
// disable them) but belong to the main window, so the window manager keeps
// them in front of it; they are centred on the screen and shown. However one
// closes, its own close handling re-enables the main window.
template <typename Window>
Window* MainWindow::showChild(Window* w) {
    centreOnScreen(w);
    QPointer<MainWindow> owner(this);
    w->onClosed = [owner] {
        if (owner) owner->setEnabled(true);
    };
    w->setOwner(this);
    children_.emplace_back(w);
    w->show();
    setEnabled(false);
    return w;
}

void MainWindow::showError(const std::string& text) {
    QMessageBox::critical(boxOwner(), QStringLiteral("Ошибка"), QString::fromStdString(text));
}

QWidget* MainWindow::boxOwner() const {
    // The window in front: an open child window, or the confirmation that
    // stands in for the control window; else the main window.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        QWidget* w = *it;
        if (!w) continue;
        if (auto* control = dynamic_cast<ControlWindow*>(w);
            control && control->confirmation() && control->confirmation()->isVisible())
            return control->confirmation();
        if (w->isVisible()) return w;
    }
    return const_cast<MainWindow*>(this);
}

QWidget* MainWindow::SettingsClick() {
    if (!logic_.openSettings()) return nullptr;
    return showChild(new SettingsDialog(
        logic_.store(), logic_.colourScheme, [this] { repaintPanels(); }, logic_.reportError, logic_.listPorts));
}

QWidget* MainWindow::ErrorsClick() {
    if (!logic_.openErrors()) return nullptr;
    auto* w = showChild(new ErrorCodesWindow(logic_.linkData.command));
    w->setClearAllowed(logic_.canCommand());
    return w;
}

QWidget* MainWindow::ControlClick() {
    if (!logic_.openControl()) return nullptr;
    return showChild(new ControlWindow(logic_.linkData.command, logic_.liveData));
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12 && e->modifiers() == Qt::NoModifier) {
        if (const int preset = logic_.functionKey(key - Qt::Key_F1 + 1)) {
            presetButton(preset)->setChecked(true);
            return;
        }
    }
    QWidget::keyPressEvent(e);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    endProgram(0);
}

void MainWindow::closeChildren() {
    for (const QPointer<QWidget>& w : children_)
        if (w) w->close();
    children_.clear();
}

}  // namespace qtface
