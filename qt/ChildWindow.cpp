// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ChildWindow.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

#include "qt/StatusPictures.h"
#include "qt/WindowRules.h"

namespace qtface {

namespace ui = logic::ui;
using ui::Kind;

namespace {

// A table: its fixed columns, 15-pixel rows, pictures in the cells; rows
// the user chooses, whole, when the description says so.
void setUpTable(QTableWidget* table, const ui::Control& c) {
    const auto& columns = *c.columns;
    table->setColumnCount(static_cast<int>(columns.size()));
    table->setRowCount(1);
    QStringList heads;
    for (const ui::TableColumn& column : columns) heads << fromUtf8(column.heading);
    table->setHorizontalHeaderLabels(heads);
    for (std::size_t k = 0; k < columns.size(); ++k) table->setColumnWidth(static_cast<int>(k), columns[k].width);
    QHeaderView* top = table->horizontalHeader();
    top->setMinimumSectionSize(16);
    top->setSectionResizeMode(QHeaderView::Fixed);
    top->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->verticalHeader()->hide();
    table->verticalHeader()->setMinimumSectionSize(15);
    table->verticalHeader()->setDefaultSectionSize(15);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setIconSize(QSize(14, 14));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);  // Tab goes on to the window's buttons
    QFont font = table->font();
    font.setPixelSize(c.fontPixels);
    table->setFont(font);
    table->setTextElideMode(Qt::ElideNone);
    table->setStyleSheet(QStringLiteral("QTableWidget::item { padding: 0px; }"));
    table->setSelectionMode(c.data == 1 ? QAbstractItemView::SingleSelection : QAbstractItemView::NoSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
}

void showRows(QTableWidget* table, const std::vector<std::vector<ui::Cell>>& rows) {
    table->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t k = 0; k < rows[r].size(); ++k) {
            const ui::Cell& cell = rows[r][k];
            if (!cell.text && cell.picture < 0) continue;  // keeps what it shows
            QTableWidgetItem* item = table->item(static_cast<int>(r), static_cast<int>(k));
            if (!item) {
                item = new QTableWidgetItem;
                table->setItem(static_cast<int>(r), static_cast<int>(k), item);
            }
            if (cell.text) item->setText(QString::fromStdString(*cell.text));
            // The picture is part of the cell, so the grid's own repaints keep it.
            if (cell.picture >= 0)
                item->setData(Qt::DecorationRole, statusPicture(static_cast<ecu::DtcPicture>(cell.picture)));
        }
}

}  // namespace

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
    // The tab pages' group captions sit on the frame line, as the layout's
    // positions (buttons and captions 16 pixels down) were drawn for; the
    // toolkit's own style puts the frame below the caption, across them.
    if (!d.tabNames.empty())
        setStyleSheet(
            QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                           "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"));
    controls_.build(this, d);
    connectControls();
    sync();
    if (logic_->tickMs() > 0) {
        connect(&timer_, &QTimer::timeout, this, &ChildWindow::tick);
        timer_.start(logic_->tickMs());
    }
    // The harmless control: Enter there changes nothing.
    QWidget* first = controls_[d.opensOn];
    if (auto* tabs = qobject_cast<QTabWidget*>(first)) first = tabs->tabBar();
    if (first) first->setFocus();
}

ChildWindow::~ChildWindow() { timer_.stop(); }

void ChildWindow::connectControls() {
    QButtonGroup* toggles = nullptr;
    for (const ui::Control& c : logic_->description().controls) {
        QWidget* w = controls_[c.id];
        if (!c.id || !w) continue;
        const int id = c.id;
        switch (c.kind) {
            case Kind::Button:
                connect(static_cast<QPushButton*>(w), &QPushButton::clicked, this, [this, id] { press(id); });
                break;
            case Kind::Toggle:
                // The toggles of a window are one choice.
                if (!toggles) toggles = new QButtonGroup(this);
                toggles->addButton(static_cast<QToolButton*>(w));
                connect(static_cast<QToolButton*>(w), &QToolButton::clicked, this, [this, id] { press(id); });
                break;
            case Kind::Radio:
            case Kind::Check:
                connect(static_cast<QAbstractButton*>(w), &QAbstractButton::toggled, this, [this, id, c](bool on) {
                    if (on || c.kind == Kind::Check) press(id, on);
                });
                break;
            case Kind::List:
            case Kind::EditList: {
                auto* list = static_cast<QComboBox*>(w);
                // activated: the user's choices only; the program's selections say nothing.
                connect(list, &QComboBox::activated, this, [this, id](int index) { choose(id, index); });
                if (c.fontPixels) {
                    QFont font(QStringLiteral("Arial"));
                    font.setPixelSize(c.fontPixels);
                    list->setFont(font);
                }
                if (c.kind == Kind::EditList)
                    connect(list->lineEdit(), &QLineEdit::editingFinished, this, [this, id, list] {
                        logic_->typed(id, list->currentText().toStdString());
                        sync();
                    });
                break;
            }
            case Kind::Slider:
                connect(static_cast<QSlider*>(w), &QSlider::valueChanged, this, [this, id](int v) {
                    logic_->moved(id, v);
                    sync();
                });
                break;
            case Kind::Table:
                setUpTable(static_cast<QTableWidget*>(w), c);
                if (c.data == 1)
                    connect(static_cast<QTableWidget*>(w), &QTableWidget::currentCellChanged, this,
                            [this, id](int row) {
                                if (row >= 0) choose(id, row);
                            });
                break;
            default:
                break;
        }
    }
    pressOnlyWhenFocused(this);
}

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

void ChildWindow::sync() {
    for (int id : logic_->takeChanged()) apply(id, logic_->shown(id));
    if (logic_->takeTimerRestart() && timer_.isActive()) timer_.start(logic_->tickMs());
    if (auto w = logic_->takeStandIn()) openStandIn(std::move(w));
    if (logic_->takeClose()) close();
}

void ChildWindow::apply(int id, const ui::Shown& s) {
    QWidget* w = controls_[id];
    if (!w) return;
    const QSignalBlocker quiet(w);  // what the program shows says nothing to the logic
    // What it showed: at first, its description.
    auto [at, first] = applied_.try_emplace(id);
    ui::Shown& was = at->second;
    if (first) was.text = logic_->description().byId(id).text;
    w->setEnabled(s.enabled);
    if (!s.tip.empty() || !was.tip.empty()) w->setToolTip(QString::fromStdString(s.tip));
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        if (s.entries != was.entries) {
            const QString typed = list->currentText();
            list->clear();
            for (const std::string& e : s.entries) list->addItem(QString::fromStdString(e));
            const int width = logic_->description().byId(id).data;
            if (width > 0) list->view()->setMinimumWidth(std::max(width, list->view()->sizeHintForColumn(0) + 24));
            if (list->isEditable()) list->setEditText(typed);
        }
        if (list->isEditable()) {
            if (s.text != was.text) list->setEditText(QString::fromStdString(s.text));
        } else {
            list->setCurrentIndex(s.value);
        }
    } else if (auto* slider = qobject_cast<QSlider*>(w)) {
        slider->setValue(s.value);
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        showRows(table, s.rows);
        if (table->selectionMode() != QAbstractItemView::NoSelection && s.value != table->currentRow())
            table->setCurrentCell(s.value, 0);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (button->isCheckable()) button->setChecked(s.value == 1);
        if (s.text != was.text) button->setText(QString::fromStdString(s.text));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(QString::fromStdString(s.text));
    }
    was = s;
    was.rows.clear();
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
