// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ControlWindow.h"

#include <QCloseEvent>

#include "platform/Cp1251.h"
#include "qt/Confirmation.h"
#include "qt/Described.h"

namespace qtface {

ControlWindow::ControlWindow(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live, QWidget* parent)
    : ClosingDialog(parent), command_(command), logic_(command, live) {
    namespace ui = logic::ui;
    const ui::WindowDescription& d = ui::controlWindow();
    setWindowTitle(fromUtf8(d.title));
    setFixedSize(d.width, d.height);
    qtface::useSmallDialogFont(this);
    setAttribute(Qt::WA_DeleteOnClose);
    swallows = ui::controlWindowSwallows;
    Described controls;
    controls.build(this, d);
    list_ = controls.get<QComboBox>(ui::kControlList);
    for (int k = 0; k < kEntries; ++k) list_->addItem(fromUtf8(logic::ControlWindow::entryText(k)));
    list_->setCurrentIndex(0);
    connect(list_, &QComboBox::activated, this, &ControlWindow::ComboBox1Change);
    status_ = controls.get<QLabel>(ui::kControlStatus);
    left_ = controls.get<QPushButton>(ui::kControlLeft);
    right_ = controls.get<QPushButton>(ui::kControlRight);
    connect(left_, &QPushButton::clicked, this, &ControlWindow::LeftClick);
    connect(right_, &QPushButton::clicked, this, &ControlWindow::RightClick);
    connect(&timer_, &QTimer::timeout, this, &ControlWindow::Timer1Timer);
    timer_.start(100);
    controls[d.opensOn]->setFocus();  // the harmless control: Enter there switches nothing
}

ControlWindow::~ControlWindow() { timer_.stop(); }

void ControlWindow::ComboBox1Change(int k) {
    const logic::ControlWindow::Choice c = logic_.choose(k);
    if (c.confirm != logic::ControlWindow::Confirm::None) {
        confirm(c.confirm == logic::ControlWindow::Confirm::Reset);
        return;
    }
    setCaptions(QString::fromUtf8(c.captions.left), QString::fromUtf8(c.captions.right));
}

void ControlWindow::confirm(bool reset) {
    QPointer<ControlWindow> self(this);
    auto restore = [self] {
        if (self) self->restoreAfterConfirmation();
    };
    qtface::ClosingDialog* dialog =
        reset ? static_cast<qtface::ClosingDialog*>(new ResetConfirmation(command_, restore))
              : static_cast<qtface::ClosingDialog*>(new InitialisationConfirmation(command_, restore));
    confirmation_ = dialog;
    // It stands in for this window, which hides: it belongs to this one's owner.
    dialog->setOwner(owner());
    // Hidden first, so that the confirmation is the window that appears last
    // and the window manager gives it the keyboard.
    hide();
    dialog->show();
    dialog->activateWindow();
    list_->setCurrentIndex(0);  // made by the program: no selection change
}

void ControlWindow::LeftClick() { logic_.left(list_->currentIndex()); }

void ControlWindow::RightClick() { logic_.right(list_->currentIndex()); }

void ControlWindow::Timer1Timer() {
    if (!logic::ControlWindow::isOutput(list_->currentIndex())) return;
    status_->setText(QString::fromStdString(cp1251::toUtf8(logic_.statusText(list_->currentIndex()))));
}

void ControlWindow::setCaptions(const QString& left, const QString& right) {
    left_->setText(left);
    right_->setText(right);
}

void ControlWindow::restoreAfterConfirmation() {
    if (finished()) return;  // the window is closing: stay closed
    const auto c = logic::ControlWindow::afterConfirmation();
    setCaptions(QString::fromUtf8(c.left), QString::fromUtf8(c.right));
    show();
}

void ControlWindow::finish() {
    if (confirmation_) confirmation_->close();  // as "Нет"
    if (onClosed) onClosed();                   // re-enables the main window
    timer_.stop();
    logic_.closing(list_->currentIndex());
}

}  // namespace qtface
