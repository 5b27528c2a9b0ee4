// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Described.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

#include "ecu/DtcTable.h"
#include "qt/StatusPictures.h"

namespace qtface {

using logic::ui::Control;
using logic::ui::Ink;
using logic::ui::Kind;
namespace ui = logic::ui;

QString fromUtf8(const char* text) { return QString::fromUtf8(text); }

namespace {

QString inkName(Ink ink) {
    switch (ink) {
        case Ink::Navy:
            return QStringLiteral("navy");
        case Ink::Red:
            return QStringLiteral("red");
        case Ink::DarkRed:
            return QStringLiteral("#d00000");
        case Ink::Plain:
            break;
    }
    return {};
}

// The style sheet of a text's ink, weight and size ("" when plain).
QString textStyle(const Control& c) {
    QString s;
    if (c.bold) s += QStringLiteral("font-weight: bold; ");
    if (c.fontPixels) s += QStringLiteral("font-size: %1px; ").arg(c.fontPixels);
    if (c.ink != Ink::Plain) s += QStringLiteral("color: %1; ").arg(inkName(c.ink));
    return s;
}

void place(QWidget* w, const Control& c) {
    if (c.place.width > 0)
        w->setGeometry(c.place.x, c.place.y, c.place.width, c.place.height);
    else {
        w->move(c.place.x, c.place.y);
        w->adjustSize();
    }
}

class NarrowTabs : public QProxyStyle {
public:
    int pixelMetric(PixelMetric m, const QStyleOption* o, const QWidget* w) const override {
        const int v = QProxyStyle::pixelMetric(m, o, w);
        return m == PM_TabBarTabHSpace ? v / 2 : v;
    }
};

QWidget* make(QWidget* window, const Control& c) {
    switch (c.kind) {
        case Kind::RaisedBox:
        case Kind::ButtonBox:
        case Kind::SunkenBox: {
            auto* box = new QFrame(window);
            box->setFrameStyle(QFrame::Panel | (c.kind == Kind::SunkenBox ? QFrame::Sunken : QFrame::Raised));
            if (c.kind == Kind::ButtonBox) {
                box->setObjectName(QStringLiteral("box"));
                box->setStyleSheet(QStringLiteral("QFrame#box { background-color: rgb(226, 229, 234); }"));
            }
            if (*c.text) {
                auto* caption = new QLabel(fromUtf8(c.text), box);
                caption->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
                caption->move(8, 3);
                caption->adjustSize();
            }
            return box;
        }
        case Kind::Group:
            return new QGroupBox(fromUtf8(c.text), window);
        case Kind::Label:
        case Kind::StatusLine: {
            auto* label = new QLabel(fromUtf8(c.text), window);
            label->setWordWrap(c.kind == Kind::Label && c.place.width > 0);
            if (c.kind == Kind::StatusLine) {
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                label->setAlignment(Qt::AlignCenter);
            }
            if (c.fontPixels) {
                QFont f = label->font();
                f.setPixelSize(c.fontPixels);
                label->setFont(f);
            }
            QString style = textStyle(c);
            if (c.fontPixels) style.remove(QStringLiteral("font-size: %1px; ").arg(c.fontPixels));
            if (!style.isEmpty()) {
                label->setAttribute(Qt::WA_TranslucentBackground);
                label->setStyleSheet(style + QStringLiteral("background: transparent;"));
            }
            return label;
        }
        case Kind::Button: {
            auto* b = new QPushButton(fromUtf8(c.text), window);
            const QString style = textStyle(c);
            if (!style.isEmpty())
                b->setStyleSheet(QStringLiteral("QPushButton { %1} QPushButton:disabled { color: gray; }").arg(style));
            return b;
        }
        case Kind::Toggle: {
            auto* b = new QToolButton(window);
            b->setText(fromUtf8(c.text));
            b->setCheckable(true);
            b->setFocusPolicy(Qt::NoFocus);  // a stop of Tab only while chosen (see apply)
            // An inked one is flat on its box, its colour when down its own,
            // grey while its window is disabled (another window is open);
            // the chosen one with the keyboard shows it by a dotted frame.
            if (c.ink != Ink::Plain) {
                b->setAutoRaise(true);
                b->setStyleSheet(QStringLiteral("QToolButton { %1} QToolButton:checked { background: rgb(200, 205, "
                                                "214); border: 1px inset gray; } QToolButton:checked:focus { border: "
                                                "1px dotted black; } QToolButton:disabled { color: gray; }")
                                     .arg(textStyle(c)));
            }
            return b;
        }
        case Kind::List:
        case Kind::EditList: {
            auto* list = new QComboBox(window);
            list->setEditable(c.kind == Kind::EditList);
            return list;
        }
        case Kind::Slider: {
            auto* s = new QSlider(Qt::Horizontal, window);
            s->setRange(0, 100);
            s->setTickInterval(10);
            s->setTickPosition(QSlider::TicksBelow);
            return s;
        }
        case Kind::Radio: {
            auto* r = new QRadioButton(fromUtf8(c.text), window);
            if (c.data) {
                r->setEnabled(c.data > 0);
                r->setChecked(c.data > 0);
            }
            return r;
        }
        case Kind::Check:
            return new QCheckBox(fromUtf8(c.text), window);
        case Kind::Tabs: {
            auto* tabs = new QTabWidget(window);
            // Half the room beside each name: in the system's font the five
            // names of the settings window fit only so (the fifth was cut
            // off behind scroll arrows). Their height, and the pages, stay.
            auto* narrow = new NarrowTabs;
            narrow->setParent(tabs->tabBar());
            tabs->tabBar()->setStyle(narrow);
            return tabs;
        }
        case Kind::Table:
            return new QTableWidget(window);
        case Kind::Picture: {
            auto* frame = new QLabel(window);
            frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            frame->setAlignment(Qt::AlignCenter);
            frame->setPixmap(statusPicture(static_cast<ecu::DtcPicture>(c.data)));
            return frame;
        }
        case Kind::Drawing: {
            auto* drawing = new QLabel(window);
            drawing->setPixmap(drawn(ui::drawing(c.data), c.place.width, c.place.height));
            return drawing;
        }
        case Kind::Panel:
            break;
    }
    return nullptr;
}

// A table: its fixed columns, 15-pixel rows, pictures in the cells; rows
// the user chooses, whole, when the description says so.
void setUpTable(QTableWidget* table, const ui::Control& c) {
    const auto& columns = *c.columns;
    table->setColumnCount(static_cast<int>(columns.size()));
    table->setRowCount(1);
    QStringList heads;
    for (const ui::TableColumn& column : columns) heads << fromUtf8(column.heading);
    table->setHorizontalHeaderLabels(heads);
    QHeaderView* top = table->horizontalHeader();
    top->setMinimumSectionSize(16);  // first: the style's own minimum widened the pictures' columns
    for (std::size_t k = 0; k < columns.size(); ++k) table->setColumnWidth(static_cast<int>(k), columns[k].width);
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

void Described::build(QWidget* window, const logic::ui::WindowDescription& d) {
    for (const Control& c : d.controls) {
        QWidget* parent = c.page > 0 ? page(c.page) : window;
        QWidget* w = make(parent, c);
        if (!w) continue;
        place(w, c);
        if (c.id) byId_[c.id] = w;
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (const char* name : d.tabNames) {
                pages_.push_back(new QWidget);
                tabs->addTab(pages_.back(), fromUtf8(name));
            }
    }
}

int Described::idOf(const QWidget* w) const {
    for (; w; w = w->parentWidget())
        for (const auto& [id, control] : byId_)
            if (control == w) return id;
    return 0;
}

void Described::bind(QObject* window, ui::WindowLogic& logic, const std::function<void()>& after) {
    QButtonGroup* toggles = nullptr;
    ui::WindowLogic* l = &logic;
    for (const Control& c : logic.description().controls) {
        QWidget* w = (*this)[c.id];
        if (!c.id || !w) continue;
        const int id = c.id;
        switch (c.kind) {
            case Kind::Button:
            case Kind::Toggle:
                // The toggles of a window are one choice.
                if (c.kind == Kind::Toggle) {
                    if (!toggles) toggles = new QButtonGroup(window);
                    toggles->addButton(static_cast<QAbstractButton*>(w));
                }
                QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, window, [l, id, after] {
                    l->pressed(id, true);
                    after();
                });
                break;
            case Kind::Radio:
            case Kind::Check:
                QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::toggled, window,
                                 [l, id, after, check = c.kind == Kind::Check](bool on) {
                                     if (!on && !check) return;
                                     l->pressed(id, on);
                                     after();
                                 });
                break;
            case Kind::List:
            case Kind::EditList: {
                auto* list = static_cast<QComboBox*>(w);
                // activated: the user's choices only; the program's selections say nothing.
                QObject::connect(list, &QComboBox::activated, window, [l, id, after](int index) {
                    l->chosen(id, index);
                    after();
                });
                if (c.fontPixels) {
                    QFont font(QStringLiteral("Arial"));
                    font.setPixelSize(c.fontPixels);
                    list->setFont(font);
                }
                if (c.kind == Kind::EditList)
                    QObject::connect(list->lineEdit(), &QLineEdit::editingFinished, window, [l, id, after, list] {
                        l->typed(id, list->currentText().toStdString());
                        after();
                    });
                break;
            }
            case Kind::Slider:
                QObject::connect(static_cast<QSlider*>(w), &QSlider::valueChanged, window, [l, id, after](int v) {
                    l->moved(id, v);
                    after();
                });
                break;
            case Kind::Table:
                setUpTable(static_cast<QTableWidget*>(w), c);
                if (c.data == 1)
                    QObject::connect(static_cast<QTableWidget*>(w), &QTableWidget::currentCellChanged, window,
                                     [l, id, after](int row) {
                                         if (row < 0) return;
                                         l->chosen(id, row);
                                         after();
                                     });
                break;
            default:
                break;
        }
    }
}

void Described::show(ui::WindowLogic& logic) {
    if (byId_.empty()) return;  // not made yet: it shows all then
    // The window's own focus, also while a box is in front of it: the box
    // gives the keyboard back to that control when it closes.
    QWidget* focused = byId_.begin()->second->window()->focusWidget();
    bool focusDisabled = false;
    for (const ui::WindowLogic::Change& c : logic.takeChanges()) {
        QWidget* w = (*this)[c.id];
        // Qt hands the focus on by itself; the logic says where.
        if (w && w == focused && !logic.shown(c.id).enabled) focusDisabled = true;
        apply(logic, c);
    }
    if (focusDisabled)
        if (QWidget* to = (*this)[logic.takeFocus()]) to->setFocus();
    if (const auto [id, row] = logic.takeRowInView(); id)
        if (auto* table = qobject_cast<QTableWidget*>((*this)[id]))
            table->setCurrentCell(row, std::max(0, table->currentColumn()));
}

void Described::apply(const ui::WindowLogic& logic, const ui::WindowLogic::Change& c) {
    QWidget* w = (*this)[c.id];
    if (!w) return;
    const ui::Shown& s = logic.shown(c.id);
    const QSignalBlocker quiet(w);  // what the program shows says nothing to the logic
    w->setEnabled(s.enabled);
    if (c.tip) w->setToolTip(QString::fromStdString(s.tip));
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        if (c.entries) {
            const QString typed = list->currentText();
            list->clear();
            for (const std::string& e : s.entries) list->addItem(QString::fromStdString(e));
            const int width = logic.description().byId(c.id).data;
            if (width > 0) list->view()->setMinimumWidth(std::max(width, list->view()->sizeHintForColumn(0) + 24));
            if (list->isEditable()) list->setEditText(typed);
        }
        if (list->isEditable()) {
            if (c.text) list->setEditText(QString::fromStdString(s.text));
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
        // A window's toggles are one choice: Tab stops at the chosen one alone.
        if (qobject_cast<QToolButton*>(button)) button->setFocusPolicy(s.value == 1 ? Qt::TabFocus : Qt::NoFocus);
        if (c.text) button->setText(QString::fromStdString(s.text));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(QString::fromStdString(s.text));
    }
}

}  // namespace qtface
