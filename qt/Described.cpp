// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Described.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

#include "ecu/DtcTable.h"
#include "qt/StatusPictures.h"

namespace qtface {

using logic::ui::Control;
using logic::ui::Ink;
using logic::ui::Kind;

QString fromUtf8(const char* text) { return QString::fromUtf8(text); }

namespace {

QString inkName(Ink ink) {
    switch (ink) {
        case Ink::Navy:
            return QStringLiteral("navy");
        case Ink::Red:
            return QStringLiteral("red");
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
            // An inked one is flat on its box, its colour when down its own.
            if (c.ink != Ink::Plain) {
                b->setAutoRaise(true);
                b->setStyleSheet(QStringLiteral("QToolButton { %1} QToolButton:checked { background: rgb(200, 205, "
                                                "214); border: 1px inset gray; }")
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
        case Kind::Tabs:
            return new QTabWidget(window);
        case Kind::Table:
            return new QTableWidget(window);
        case Kind::Picture: {
            auto* frame = new QLabel(window);
            frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            frame->setAlignment(Qt::AlignCenter);
            frame->setPixmap(statusPicture(static_cast<ecu::DtcPicture>(c.data)));
            return frame;
        }
        case Kind::Panel:
            break;
    }
    return nullptr;
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

}  // namespace qtface
