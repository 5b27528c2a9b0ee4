// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/WindowRules.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

namespace qtface {

namespace {

// Enter and Return press the focused button, as Space already does. The
// filter sees the key only while its button has the focus.
class EnterPressesFocusedButton : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || !button->hasFocus()) return false;
        if (!key->isAutoRepeat() && button->isEnabled()) button->click();
        return true;  // never passed on to the window's default handling
    }
};

EnterPressesFocusedButton& enterFilter() {
    static EnterPressesFocusedButton filter;
    return filter;
}

}  // namespace

void pressOnlyWhenFocused(QWidget* window) {
    if (!window) return;
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(&enterFilter());  // installed once however often asked
    }
    for (QToolButton* b : window->findChildren<QToolButton*>()) b->installEventFilter(&enterFilter());
}

void ownBy(QWidget* window, QWidget* owner) {
    if (!window) return;
    window->winId();  // the native window exists from now on
    QWindow* own = window->windowHandle();
    QWindow* by = nullptr;
    if (owner) {
        owner->window()->winId();
        by = owner->window()->windowHandle();
    }
    if (own && own->transientParent() != by) own->setTransientParent(by);
}

bool speakRussian() {
    static QTranslator* translator = nullptr;
    if (translator) return true;
    auto* t = new QTranslator(qApp);
    if (!t->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - QPoint(window->width() / 2, window->height() / 2));
}

}  // namespace qtface
