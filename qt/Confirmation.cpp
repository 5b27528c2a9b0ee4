// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Confirmation.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "qt/Described.h"

namespace qtface {

Confirmation::Confirmation(klink::LinkCommandBlock& command, std::function<void()> restoreControl, bool initialise)
    : ClosingDialog(nullptr), logic_(command, initialise), restoreControl_(std::move(restoreControl)) {
    namespace ui = logic::ui;
    const ui::WindowDescription& d = initialise ? ui::initialisationConfirmation() : ui::resetConfirmation();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(fromUtf8(d.title));
    setFixedSize(d.width, d.height);
    qtface::useSmallDialogFont(this);
    swallows = ui::confirmationSwallows;
    Described controls;
    controls.build(this, d);
    connect(controls.get<QPushButton>(ui::kYes), &QPushButton::clicked, this, &Confirmation::YesClick);
    connect(controls.get<QPushButton>(ui::kNo), &QPushButton::clicked, this, &Confirmation::NoClick);
    controls[d.opensOn]->setFocus();  // the harmless answer
    qtface::centreOnScreen(this);
}

void Confirmation::YesClick() {
    if (logic_.answered()) return;
    logic_.yes();
    if (restoreControl_) restoreControl_();
    close();
}

void Confirmation::NoClick() {
    if (logic_.answered()) return;
    logic_.no();
    close();
    if (restoreControl_) restoreControl_();
}

void Confirmation::finish() {
    // Closed without an answer: as "Нет".
    if (logic_.answered()) return;
    logic_.no();
    if (restoreControl_) restoreControl_();
}

ResetConfirmation::ResetConfirmation(klink::LinkCommandBlock& command, std::function<void()> restoreControl)
    : Confirmation(command, std::move(restoreControl), false) {}
InitialisationConfirmation::InitialisationConfirmation(klink::LinkCommandBlock& command,
                                                       std::function<void()> restoreControl)
    : Confirmation(command, std::move(restoreControl), true) {}

}  // namespace qtface
