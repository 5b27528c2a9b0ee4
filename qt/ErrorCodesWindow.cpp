// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ErrorCodesWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QPushButton>

#include "ecu/DtcTable.h"
#include "platform/Cp1251.h"
#include "qt/StatusPictures.h"

namespace qtface {

namespace {

using ecu::DtcPicture;

QString fromText(const std::string& text1251) { return QString::fromStdString(cp1251::toUtf8(text1251)); }

void setPicture(QTableWidget* table, int row, int column, DtcPicture picture) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    // The picture is part of the cell, so the grid's own repaints keep it.
    item->setData(Qt::DecorationRole, qtface::statusPicture(picture));
}

void setText(QTableWidget* table, int row, int column, const QString& text) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    item->setText(text);
}

}  // namespace

ErrorCodesWindow::ErrorCodesWindow(klink::LinkCommandBlock& command, QWidget* parent)
    : ClosingDialog(parent), logic_(command) {
    setWindowTitle(QStringLiteral("Ошибки"));
    setFixedSize(608, 365);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setGeometry(5, 5, 596, 249);
    table_ = new QTableWidget(1, 6, bevel);
    table_->setGeometry(2, 2, 592, 245);
    table_->setHorizontalHeaderLabels({QStringLiteral("      Код"), "1", "2", "3", "4", "5"});
    const int widths[6] = {52, 16, 16, 16, 16, 436};
    for (int c = 0; c < 6; ++c) table_->setColumnWidth(c, widths[c]);
    table_->horizontalHeader()->setMinimumSectionSize(16);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setMinimumSectionSize(15);
    table_->verticalHeader()->setDefaultSectionSize(15);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table_->setIconSize(QSize(14, 14));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QFont cellFont = table_->font();
    cellFont.setPixelSize(11);
    table_->setFont(cellFont);
    table_->setTextElideMode(Qt::ElideNone);
    table_->setStyleSheet(QStringLiteral("QTableWidget::item { padding: 0px; }"));
    table_->setSelectionMode(QAbstractItemView::NoSelection);

    auto* legend = new QFrame(this);
    legend->setFrameStyle(QFrame::Panel | QFrame::Raised);
    legend->setGeometry(5, 256, 596, 73);
    buildLegend(legend);

    auto* countPanel = new QFrame(this);
    countPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    countPanel->setGeometry(96, 336, 417, 22);
    auto* caption = new QLabel(QStringLiteral("Количество ошибок"), countPanel);
    caption->setGeometry(120, 3, 130, 16);
    count_ = new QLabel(QStringLiteral("0"), countPanel);
    count_->setGeometry(260, 3, 40, 16);

    reset_ = new QPushButton(QStringLiteral("Сброс"), this);
    reset_->setGeometry(8, 336, 81, 22);
    connect(reset_, &QPushButton::clicked, this, &ErrorCodesWindow::ResetClick);
    auto* exit = new QPushButton(QStringLiteral("Выход"), this);
    exit->setGeometry(518, 336, 81, 22);
    connect(exit, &QPushButton::clicked, this, &ErrorCodesWindow::ExitClick);

    connect(&timer_, &QTimer::timeout, this, &ErrorCodesWindow::Timer1Timer);
    timer_.start(500);
    table_->setFocus();  // the harmless control: Enter there clears nothing
}

void ErrorCodesWindow::setClearAllowed(bool allowed) {
    logic_.setClearAllowed(allowed);
    reset_->setEnabled(allowed);
}

ErrorCodesWindow::~ErrorCodesWindow() { timer_.stop(); }

void ErrorCodesWindow::buildLegend(QWidget* panel) {
    struct Entry {
        int x, y;
        DtcPicture picture;
        const char* line1;
        const char* line2;
    };
    const Entry entries[10] = {
        {8, 8, DtcPicture::Lamp, "Лампа ", "диагностики"},
        {8, 40, DtcPicture::StoredInactive, "Сохранена но", "неактивна"},
        {120, 8, DtcPicture::Present, "Присутствует ", "при запросе"},
        {120, 40, DtcPicture::Intermittent, "Пропадающая", "ошибка"},
        {232, 8, DtcPicture::TestNotCompleted, "Тест  не", "закончен"},
        {232, 40, DtcPicture::TestCompleted, "Тест", "закончен"},
        {320, 8, DtcPicture::AboveMaximum, "Превышение", "максимального порога"},
        {320, 40, DtcPicture::BelowMinimum, "Превышение", "минимального порога"},
        {480, 8, DtcPicture::InvalidSignal, "Неверный", "сигнал"},
        {480, 40, DtcPicture::NoSignal, "Отсутствие", "сигнала"},
    };
    QFont small = font();
    small.setPixelSize(10);
    for (const Entry& e : entries) {
        auto* frame = new QLabel(panel);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setGeometry(e.x, e.y, 25, 25);
        frame->setAlignment(Qt::AlignCenter);
        frame->setPixmap(qtface::statusPicture(e.picture));
        auto* text = new QLabel(QString::fromUtf8(e.line1) + "\n" + QString::fromUtf8(e.line2), panel);
        text->setFont(small);
        text->setGeometry(e.x + 28, e.y, 130, 26);
    }
}

void ErrorCodesWindow::Timer1Timer() {
    const std::vector<logic::ErrorCodesWindow::Row> rows = logic_.refresh();
    count_->setText(QString::number(rows.size()));
    table_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const int row = static_cast<int>(k);
        const logic::ErrorCodesWindow::Row& r = rows[k];
        setText(table_, row, 0, QString::fromStdString(r.code));
        // A code outside the table leaves the row's previous text standing.
        if (r.text) setText(table_, row, 5, fromText(*r.text));
        setPicture(table_, row, 1, r.pictures.lamp);
        setPicture(table_, row, 4, r.pictures.symptom);
        setPicture(table_, row, 3, r.pictures.test);
        setPicture(table_, row, 2, r.pictures.storage);
    }
}

void ErrorCodesWindow::ResetClick() {
    if (!logic_.clearAllowed()) return;
    table_->setRowCount(1);  // the header and the first row, which keeps its contents
    timer_.stop();
    logic_.clear();
    timer_.start(500);
}

void ErrorCodesWindow::ExitClick() {
    logic_.closing();
    close();
}

void ErrorCodesWindow::finish() {
    timer_.stop();
    logic_.closing();
    if (onClosed) onClosed();
}

}  // namespace qtface
