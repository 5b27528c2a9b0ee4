#include "qt/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

#include "platform/Cp1251.h"
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

const QRect kPanelGeometry[7] = {{23, 15, 750, 115},  {23, 146, 750, 115}, {23, 277, 750, 115}, {23, 408, 750, 115},
                                 {23, 539, 750, 115}, {23, 674, 750, 49},  {807, 324, 193, 401}};
constexpr int kRussianCharset = 204;

}  // namespace

int MainWindow::stripTextWidth(const std::string& text1251) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(QString::fromStdString(cp1251::toUtf8(text1251)));
}

namespace {

QString boxStyle() { return QStringLiteral("QFrame#box { background-color: rgb(226, 229, 234); }"); }

}  // namespace

MainWindow::MainWindow(const logic::TesterOptions& options, lines::MadeLine line)
    : options_(options),
      store_(options.settingsPath.empty() ? platform::SettingsStore::defaultPath() : options.settingsPath),
      line_(std::move(line.line)), recorder_(line.recorder), canCommand_(line.canCommand),
      portChoosable_(line.portChoosable) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("M7.9.7"));
    reportError = [this](const std::string& text) { showError(text); };
    // The store reports once when it has to leave its file alone.
    store_.setProblemReport([this](const std::string& text) {
        if (reportError) reportError(text);
    });

    // The data area's texts start empty (they are); then the screen check.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!options_.anyScreen && screen && screen->geometry().width() != 1024) {
        notice_ = new ResolutionNotice;
        notice_->setAttribute(Qt::WA_DeleteOnClose);
        notice_->show();
        return;
    }
    setGeometry(0, 0, 1024, 740);
    setFixedSize(1024, 740);

    chosenDevice_ = options_.port;
    line_->setNoteSink([this](const std::string& text) { adapterNote(text); });
    // A separator that is no single 1251 byte (Arabic, Persian) would be
    // lost from every readout: those read with '.'.
    decoder_ = std::make_unique<ecu::EcuDecoder>(
        liveData, cp1251::singleByte(QLocale::system().decimalPoint().toStdString(), '.'));
    klink::LinkObserver* observer = this;
    if (recorder_) {
        observer = &recordingObserver_.emplace(*recorder_, this);
        // A failed write ends the recording, not the run: said once.
        recorder_->setFailureReport([this](const std::string& why) { reportFromAnyThread(why); });
    }
    try {
        link_ = std::make_unique<klink::Com_Port>(*line_, linkData, decoder_.get(), observer);
    } catch (const std::system_error&) {
        QMessageBox::critical(nullptr, QString(), QStringLiteral("Ошибка! Невозможно создать поток."));
        ended_ = true;
        QMetaObject::invokeMethod(
            qApp, [] { QApplication::exit(1); }, Qt::QueuedConnection);
        return;
    }
    timerPeriod = 30;
    // The histories start with value 0 and age i (HistoryStore does that).
    liveData.write([](ecu::LiveData& d) {
        d.setFlagNames();
        return 0;
    });
    sampler_ = std::make_unique<display::Sampler>(
        linkData, liveData, histories, [this](display::Sampler::Repaint r) { requestRepaint(r); },
        [this] { timers_.killEvent(timerId.load()); });

    sources_.live = &liveData;
    sources_.histories = &histories;
    sources_.link = &linkData;
    sources_.chartParameter = &chartParameter;
    sources_.colours = &colourScheme;
    // The simulated car answers where the first port would.
    sources_.portName = display::portLabel(portChoosable_ ? options_.port : std::string("/dev/ttyS0"), stripTextWidth);

    auto* background = new QLabel(this);
    background->setGeometry(0, 0, 1024, 740);
    background->setPixmap(QPixmap::fromImage(qtface::backgroundPicture()));
    buildPanels();
    buildPresetBox();
    buildCommandBox();
    for (auto [text, x] : {std::pair{"v 1. 0 ", 920}, std::pair{"Win 9x", 968}}) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setStyleSheet(QStringLiteral("font-weight: bold; background: transparent;"));
        label->move(x, 304);
        label->adjustSize();
    }
    // The creation handler (stored settings) runs once the window shows, so
    // that a settings error box stands in front of the window.
}

MainWindow::~MainWindow() { shutDown(); }

void MainWindow::buildPanels() {
    // Seven contexts would cost a software renderer some 70 MB; the panels'
    // pictures are the same through one.
    TOpenGLPanel::setOneContextForAll(true);
    for (int k = 0; k < 7; ++k) {
        auto* p = new TOpenGLPanel(this);
        p->setGeometry(kPanelGeometry[k]);
        // The paints draw without a depth test: no depth buffer to clear.
        p->cDepthBits = 0;
        p->Font2D_Enabled = true;
        p->Font2D_FirstGylph = 32;
        p->Font2D_NumGylph = 255;
        p->OnInit = display::initChartView;
        if (k < 5) {
            p->Font2D_Type = {"Arial", -11, false, false, kRussianCharset};
            p->Font3D_Enabled = true;
            p->Font3D_Type = {"Arial", -11, true, true, kRussianCharset};
            p->Font3D_FirstGylph = 0;
            p->Font3D_NumGylph = 255;
            p->Font3D_Extrustion = 0.1f;
            p->Font3D_Format = glpanel::Font3DFormat::Polygons;
            p->OnPaint = [this, k](TOpenGLPanel* self) { display::paintTrendChart(self, k + 1, sources_); };
        } else if (k == 5) {
            p->Font2D_Type = {"Arial", -11, true, false, kRussianCharset};
            p->OnPaint = [this](TOpenGLPanel* self) { display::paintFlagStrip(self, sources_); };
        } else {
            p->Font2D_Type = {"Arial", -12, false, false, kRussianCharset};
            p->OnPaint = [this](TOpenGLPanel* self) { display::paintPassportPanel(self, sources_); };
        }
        paintStats_.watch(p, k + 1);
        panels_[static_cast<std::size_t>(k)] = p;
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
        std::function<void()> action;  // none for "О программе"
        QPushButton** keep;            // where the window keeps the button, if it does
    };
    const ButtonPlace places[] = {{"Управление", 8, 8, false, [this] { ControlClick(); }, &controlButton_},
                                  {"Настройка", 104, 8, false, [this] { SettingsClick(); }, nullptr},
                                  {"Ошибки", 8, 40, false, [this] { ErrorsClick(); }, nullptr},
                                  {"О программе", 104, 40, false, nullptr, nullptr},
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
    qtface::pressOnlyWhenFocused(this);
    stopButton_->setEnabled(false);
    // A replay has no car to command: no actuator tests, no resets.
    controlButton_->setEnabled(canCommand_);
}

QPushButton* MainWindow::commandButton(const QString& caption) const {
    if (!commandBox_) return nullptr;
    for (auto* b : commandBox_->findChildren<QPushButton*>())
        if (b->text() == caption) return b;
    return nullptr;
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (createPosted_ || !link_) return;
    createPosted_ = true;
    QMetaObject::invokeMethod(this, &MainWindow::FormCreate, Qt::QueuedConnection);
}

void MainWindow::FormCreate() {
    stored::loadStoredSettings(store_, chartParameter, colourScheme, reportError);
    created_ = true;
    // The panels painted when the window first showed, before preset 1 was
    // read (and again under any box the reading raised): now they show it.
    if (!ended_) repaintPanels();
}

void MainWindow::choosePort() {
    // --port and --wake win; otherwise the port tab's choice. A change takes
    // effect now: the link opens the port anew at its next turn.
    const stored::PortChoice stored = stored::loadPortChoice(store_);
    const platform::WakeMethod wake = options_.wakeGiven ? options_.wake : stored.wake;
    if (wake != chosenWake_) {
        chosenWake_ = wake;
        line_->setWakeMethod(wake);  // from the next connection attempt
    }
    if (!portChoosable_) return;
    const std::string device = options_.portGiven || stored.device.empty() ? options_.port : stored.device;
    if (device == chosenDevice_) return;
    chosenDevice_ = device;
    line_->setDevice(device);
    link_->reopenPort();
    sources_.portName = display::portLabel(device, stripTextWidth);
}

void MainWindow::portFailed(const std::string& device, const std::string& reason) {
    reportFromAnyThread(device + ": " + reason);
}

void MainWindow::reportFromAnyThread(const std::string& text) {
    // The standard error at once, the box on the user-interface thread.
    std::fprintf(stderr, "m797-tester: %s\n", text.c_str());
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (reportError) reportError(text);
        },
        Qt::QueuedConnection);
}

void MainWindow::adapterNote(const std::string& text) {
    std::fprintf(stderr, "m797-tester: %s: %s\n", line_->name().c_str(), text.c_str());
}

void MainWindow::StartClick() {
    if (!link_) return;
    choosePort();
    // "Старт" disabled means running. It changes before the link resumes: a
    // link that fails at once (a port that cannot be opened) sets it back,
    // and the sampler's first tick then stops the timer.
    linkData.startEnabled.store(0, std::memory_order_release);
    link_->start();
    timerId = timers_.setEvent(timerPeriod, 10, [this] { sampler_->tick(); });
    refreshStartStop();
}

void MainWindow::StopClick() {
    if (!link_) return;
    link_->pause();
    stopTimer();
    linkData.startEnabled.store(1, std::memory_order_release);
    refreshStartStop();
}

void MainWindow::stopTimer() { timers_.killEvent(timerId.load()); }

void MainWindow::refreshStartStop() {
    const bool stopped = linkData.startEnabled.load(std::memory_order_acquire) == 1;
    if (startButton_) startButton_->setEnabled(stopped);
    if (stopButton_) stopButton_->setEnabled(!stopped);
}

void MainWindow::linkStopped() {
    // The link thread: hand the buttons' change to the user-interface thread.
    // A replay that ran out keeps its last picture and says so.
    if (line_->ended()) linkData.statusText.set(cp1251::fromUtf8("Запись закончилась."));
    QMetaObject::invokeMethod(
        this, [this] { refreshStartStop(); }, Qt::QueuedConnection);
}

void MainWindow::PresetClick(int n) { stored::selectParameterSet(store_, n, chartParameter, reportError); }

void MainWindow::requestRepaint(display::Sampler::Repaint what) {
    // Timer thread: post to the panels' thread, at most one request of each
    // kind in the queue, so a slow display never builds a backlog.
    std::atomic<bool>& pending = what == display::Sampler::Repaint::All ? repaintAllPending_ : repaintStripPending_;
    if (pending.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this, what, &pending] {
            pending = false;
            // Only what would look different: the moving traces, and the
            // strip or passport when their texts change.
            if (what == display::Sampler::Repaint::All) {
                for (int k : {1, 2, 3, 4, 5, 7})
                    if (paintGate_.needsPaint(k, sources_)) panel(k)->repaintNow();
            }
            if (paintGate_.needsPaint(6, sources_)) panel(6)->repaintNow();
        },
        Qt::QueuedConnection);
}

void MainWindow::repaintPanels() {
    if (!panels_[0]) return;
    paintGate_.forget();
    for (int k : {1, 2, 3, 4, 5, 7, 6}) panel(k)->repaintNow();
}

// Child windows have no parent widget (a disabled main window must not
// disable them) but belong to the main window, so the window manager keeps
// them in front of it; they are centred on the screen and shown. However one
// closes, its own close handling re-enables the main window.
template <typename Window>
Window* MainWindow::showChild(Window* w) {
    qtface::centreOnScreen(w);
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
    if (!link_) return nullptr;
    return showChild(new SettingsDialog(
        store_, colourScheme, [this] { repaintPanels(); }, reportError));
}

QWidget* MainWindow::ErrorsClick() {
    if (!link_) return nullptr;
    auto* w = showChild(new ErrorCodesWindow(linkData.command));
    w->setClearAllowed(canCommand_);
    klink::post(linkData.command.dtcReadRequest);
    return w;
}

QWidget* MainWindow::ControlClick() {
    if (!link_ || !canCommand_) return nullptr;
    auto* w = showChild(new ControlWindow(linkData.command, liveData));
    klink::post(linkData.command.controlActive);
    klink::post(linkData.command.actuator[0].reportRequest);
    return w;
}

void MainWindow::ExitClick() { endProgram(0); }

void MainWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    endProgram(0);
}

void MainWindow::endProgram(int exitCode) {
    if (ended_) return;
    ended_ = true;
    // The colours are kept however the program ends: "Выход" is the only
    // visible way out of the frameless window.
    if (created_) stored::saveColourScheme(store_, colourScheme);
    shutDown();
    QApplication::exit(exitCode);
}

void MainWindow::closeChildren() {
    for (const QPointer<QWidget>& w : children_)
        if (w) w->close();
    children_.clear();
}

void MainWindow::serveReleases() {
    // An output the user left switched on is released before the link
    // stops, while the link runs and can still reach the ECU.
    if (!link_ || linkData.startEnabled.load(std::memory_order_acquire) == 1) return;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (linkData.command.releasePending() && link_->linkUp() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void MainWindow::shutDown() {
    // Every open window closes through its own close handling first; then
    // no more ticks, the link leaves at its next exchange boundary, is
    // joined, and the port is closed. Nothing more is sent.
    closeChildren();
    serveReleases();
    timers_.killAll();  // also joins a timer that stopped itself
    if (link_) link_->shutdown();
}

}  // namespace qtface
