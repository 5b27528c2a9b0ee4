// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ErrorCodesWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QPushButton>

#include "ecu/DtcTable.h"
#include "platform/Cp1251.h"
#include "qt/Described.h"
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
    namespace ui = logic::ui;
    const ui::WindowDescription& d = ui::errorCodesWindow();
    setWindowTitle(fromUtf8(d.title));
    setFixedSize(d.width, d.height);
    setAttribute(Qt::WA_DeleteOnClose);
    Described controls;
    controls.build(this, d);
    table_ = controls.get<QTableWidget>(ui::kCodesTable);
    count_ = controls.get<QLabel>(ui::kCount);
    reset_ = controls.get<QPushButton>(ui::kClear);

    const auto& columns = ui::codesColumns();
    table_->setColumnCount(static_cast<int>(columns.size()));
    table_->setRowCount(1);
    QStringList heads;
    for (const ui::TableColumn& c : columns) heads << fromUtf8(c.heading);
    table_->setHorizontalHeaderLabels(heads);
    for (std::size_t c = 0; c < columns.size(); ++c) table_->setColumnWidth(static_cast<int>(c), columns[c].width);
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
    table_->setTabKeyNavigation(false);  // Tab goes on to "Сброс" and "Выход"
    QFont cellFont = table_->font();
    cellFont.setPixelSize(d.byId(ui::kCodesTable).fontPixels);
    table_->setFont(cellFont);
    table_->setTextElideMode(Qt::ElideNone);
    table_->setStyleSheet(QStringLiteral("QTableWidget::item { padding: 0px; }"));
    table_->setSelectionMode(QAbstractItemView::NoSelection);

    connect(reset_, &QPushButton::clicked, this, &ErrorCodesWindow::ResetClick);
    connect(controls.get<QPushButton>(ui::kErrorsExit), &QPushButton::clicked, this, &ErrorCodesWindow::ExitClick);
    connect(&timer_, &QTimer::timeout, this, &ErrorCodesWindow::Timer1Timer);
    timer_.start(500);
    controls[d.opensOn]->setFocus();  // the harmless control: Enter there clears nothing
}

void ErrorCodesWindow::setClearAllowed(bool allowed) {
    logic_.setClearAllowed(allowed);
    reset_->setEnabled(allowed);
}

ErrorCodesWindow::~ErrorCodesWindow() { timer_.stop(); }

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
