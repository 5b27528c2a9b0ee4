// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "painting/PanelLayout.h"
#include "platform/Cp1251.h"
#include "qt/ChildWindow.h"
#include "qt/Described.h"
#include "qt/JpegImage.h"
#include "qt/WindowRules.h"
#include "qt/glpanel/TOpenGLPanel.h"

namespace qtface {

using glpanel::TOpenGLPanel;

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
            logic_.runPosted();
        });
    }
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    const logic::ui::WindowDescription& d = logic::ui::mainWindow();
    setWindowTitle(QString::fromUtf8(d.title));
    setGeometry(0, 0, d.width, d.height);
    setFixedSize(d.width, d.height);

    const std::string failure = logic_.begin(QLocale::system().decimalPoint().toStdString());
    if (!failure.empty()) {
        QMessageBox::critical(nullptr, QString(), QString::fromStdString(failure));  // already the window's words
        QMetaObject::invokeMethod(
            qApp, [] { QApplication::exit(1); }, Qt::QueuedConnection);
        return;
    }

    auto* background = new QLabel(this);
    background->setGeometry(0, 0, d.width, d.height);
    background->setPixmap(QPixmap::fromImage(backgroundPicture()));
    buildPanels();
    controls_.build(this, d);
    controls_.bind(this, logic_.controls(), [this] { showControls(); });
    showControls();
    if (QWidget* first = controls_[d.opensOn]) first->setFocus();
    pressOnlyWhenFocused(this);
    routeWindowKeys();
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
        const logic::ui::Rect& place = logic::ui::mainWindow().byId(logic::ui::kPanel1 + k - 1).place;
        p->setGeometry(place.x, place.y, place.width, place.height);
        display::setUpPanel(*p, k, logic_.sources());
        paintStats_.watch(*p, k);
        panels_[static_cast<std::size_t>(k - 1)] = p;
    }
}

QPushButton* MainWindow::commandButton(const QString& caption) const {
    for (const logic::ui::Control& c : logic::ui::mainWindow().controls)
        if (c.kind == logic::ui::Kind::Button && fromUtf8(c.text) == caption) return controls_.get<QPushButton>(c.id);
    return nullptr;
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (createPosted_ || !logic_.begun()) return;
    createPosted_ = true;
    watchChartSurfaces();
    logic_.post([this] { logic_.created(); });
}

void MainWindow::wake() {
    // The event loop is only woken, with nothing but the window to carry.
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) == sizeof one) return;
    QMetaObject::invokeMethod(
        this, [this] { logic_.runPosted(); }, Qt::QueuedConnection);
}

void MainWindow::repaintPanel(int k) {
    if (panels_[0]) panel(k)->repaintNow();
}

void MainWindow::quit(int exitCode) { QApplication::exit(exitCode); }

// Child windows have no parent widget (a disabled main window must not
// disable them) but belong to the main window, so the window manager keeps
// them in front of it; they are centred on the screen and shown. However one
// closes, its own close handling re-enables the main window.
QWidget* MainWindow::showChild(std::unique_ptr<logic::ui::WindowLogic> logic) {
    if (!logic) return nullptr;
    auto* w = new ChildWindow(std::move(logic));
    centreOnScreen(w);
    QPointer<MainWindow> owner(this);
    // The keyboard comes back to the control that had it.
    QPointer<QWidget> before = isAncestorOf(QApplication::focusWidget()) ? QApplication::focusWidget() : nullptr;
    w->onClosed = [owner, before] {
        if (owner) owner->setEnabled(true);
        if (before) before->setFocus();
    };
    w->setOwner(this);
    children_.emplace_back(w);
    w->show();
    setEnabled(false);
    return w;
}

void MainWindow::showError(const std::string& text) {
    QMessageBox::critical(boxOwner(), QString::fromUtf8(logic::ui::kErrorTitle), QString::fromStdString(text));
}

QWidget* MainWindow::boxOwner() const {
    // The window in front: an open child window, or the one that stands in
    // for it; else the main window.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        auto* w = static_cast<ChildWindow*>(it->data());
        if (!w) continue;
        if (w->standIn() && w->standIn()->isVisible()) return w->standIn();
        if (w->isVisible()) return w;
    }
    return const_cast<MainWindow*>(this);
}

QWidget* MainWindow::SettingsClick() { return showChild(logic_.openSettings()); }
QWidget* MainWindow::ErrorsClick() { return showChild(logic_.openErrors()); }
QWidget* MainWindow::ControlClick() { return showChild(logic_.openControl()); }

bool MainWindow::take(const logic::ui::Chord& chord, bool repeat) {
    // Not while a child window is open: the keys are the child's then.
    return isEnabled() && logic_.press(chord, repeat);
}

void MainWindow::openChild(std::unique_ptr<logic::ui::WindowLogic> window) { showChild(std::move(window)); }

void MainWindow::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    // A click on the window while a child is open: the keyboard goes back
    // to the window in front, as the window system does on Windows.
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && !isEnabled()) {
        QWidget* front = boxOwner();
        if (front != this) front->activateWindow();
    }
    // The keyboard's control shows its frame before the first key, as it
    // would after a Tab: once the first activation has given it the focus
    // (which hides focus frames until a key moves the focus).
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && !focusShown_) {
        focusShown_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                setAttribute(Qt::WA_KeyboardFocusChange);
                if (QWidget* w = focusWidget()) w->update();
            },
            Qt::QueuedConnection);
    }
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
