// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Confirmation.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace qtface {

namespace {

QLabel* text(QWidget* parent, const char* utf8, int x, int y) {
    auto* l = new QLabel(QString::fromUtf8(utf8), parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

Confirmation::Confirmation(klink::LinkCommandBlock& command, std::function<void()> restoreControl, bool initialise)
    : ClosingDialog(nullptr), logic_(command, initialise), restoreControl_(std::move(restoreControl)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(201, 113);
    qtface::useSmallDialogFont(this);
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(0, 0, 201, 113);
    auto* question = text(panel, "Вы уверены?", 64, 56);
    question->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    question->adjustSize();
    auto* yes = new QPushButton(QStringLiteral("Да"), panel);
    yes->setGeometry(8, 80, 57, 22);
    auto* no = new QPushButton(QStringLiteral("Нет"), panel);
    no->setGeometry(136, 80, 57, 22);
    connect(yes, &QPushButton::clicked, this, &Confirmation::YesClick);
    connect(no, &QPushButton::clicked, this, &Confirmation::NoClick);
    no->setFocus();  // the harmless answer
    qtface::centreOnScreen(this);
    if (initialise) {
        setWindowTitle(QStringLiteral("Инициализация ЭБУ"));
        text(panel, "Полный аппаратный сброс блока", 16, 8);
        text(panel, "с инициализацией и очисткой", 24, 24);
        text(panel, "данных обучения.", 56, 40);
    } else {
        setWindowTitle(QStringLiteral("Сбрс ЭБУ"));
        text(panel, "Полный аппаратны сброс блока", 16, 8);
        text(panel, "управления  (как по включению).", 16, 24);
    }
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
