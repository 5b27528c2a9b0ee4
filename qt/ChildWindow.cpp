// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ChildWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

#include "qt/WindowRules.h"

namespace qtface {

namespace ui = logic::ui;
using ui::Kind;

ChildWindow::ChildWindow(std::unique_ptr<ui::WindowLogic> logic) : QDialog(nullptr), logic_(std::move(logic)) {
    const ui::WindowDescription& d = logic_->description();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(fromUtf8(d.title));
    setFixedSize(d.width, d.height);
    if (d.fontPixels) {
        QFont font = this->font();
        font.setFamily(QStringLiteral("Arial"));
        font.setPixelSize(d.fontPixels);
        setFont(font);
    }
    // Group captions sit on the frame line, as the layout's positions
    // (buttons and captions 16 pixels down) were drawn for; the toolkit's
    // own style puts the frame below the caption, across them.
    if (std::any_of(d.controls.begin(), d.controls.end(), [](const ui::Control& c) { return c.kind == Kind::Group; }))
        setStyleSheet(
            QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                           "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"));
    controls_.build(this, d);
    controls_.bind(this, *logic_, [this] { sync(); });
    pressOnlyWhenFocused(this);
    sync();
    if (logic_->tickMs() > 0) {
        timer_.setTimerType(Qt::PreciseTimer);  // a coarse one may come 5 % early
        connect(&timer_, &QTimer::timeout, this, &ChildWindow::tick);
        timer_.start(logic_->tickMs());
    }
    // The harmless control: Enter there changes nothing.
    QWidget* first = controls_[d.opensOn];
    if (auto* tabs = qobject_cast<QTabWidget*>(first)) first = tabs->tabBar();
    if (first) first->setFocus();
}

ChildWindow::~ChildWindow() { timer_.stop(); }

void ChildWindow::press(int id, bool on) {
    logic_->pressed(id, on);
    sync();
}

void ChildWindow::choose(int id, int index) {
    logic_->chosen(id, index);
    sync();
}

void ChildWindow::tick() {
    logic_->tick();
    sync();
}

bool ChildWindow::take(const ui::Chord& chord, bool) {
    if (!logic_->key(chord, controls_.idOf(QApplication::focusWidget()))) return false;
    sync();
    return true;
}

void ChildWindow::sync() {
    controls_.show(*logic_);
    if (logic_->takeTimerRestart() && timer_.isActive()) timer_.start(logic_->tickMs());
    if (auto w = logic_->takeStandIn()) openStandIn(std::move(w));
    if (logic_->takeClose()) close();
}

void ChildWindow::openStandIn(std::unique_ptr<ui::WindowLogic> logic) {
    auto* w = new ChildWindow(std::move(logic));
    standIn_ = w;
    QPointer<ChildWindow> self(this);
    w->onClosed = [self] {
        if (!self || self->finished_) return;  // closing itself: it stays closed
        self->logic_->standInClosed();
        self->sync();
        self->show();
        if (QWidget* focus = self->controls_[self->logic_->takeFocus()]) focus->setFocus();
    };
    // It stands in for this window, which hides: it belongs to this one's owner.
    w->setOwner(owner());
    centreOnScreen(w);
    // Hidden first, so that the stand-in is the window that appears last
    // and the window manager gives it the keyboard.
    hide();
    w->show();
    w->activateWindow();
}

void ChildWindow::setOwner(QWidget* owner) {
    owner_ = owner;
    ownBy(this, owner);
}

void ChildWindow::finish() {
    if (finished_) return;
    finished_ = true;
    timer_.stop();
    if (standIn_) standIn_->close();
    // A path typed and not yet left counts.
    for (const ui::Control& c : logic_->description().controls)
        if (c.kind == Kind::EditList) logic_->typed(c.id, controls_.get<QComboBox>(c.id)->currentText().toStdString());
    logic_->closing();
    if (onClosed) onClosed();
}

void ChildWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    finish();
}

void ChildWindow::done(int result) {
    finish();
    QDialog::done(result);
}

void ChildWindow::showEvent(QShowEvent* e) {
    pressOnlyWhenFocused(this);
    if (owner_) ownBy(this, owner_);
    QDialog::showEvent(e);
    // The focus is drawn from the start, as the window system draws it on
    // Windows: what Enter would press is seen before a key is.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void ChildWindow::keyPressEvent(QKeyEvent* e) {
    // Enter that no focused button took presses nothing; Escape and the rest
    // as a dialog has them.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        e->ignore();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace qtface
