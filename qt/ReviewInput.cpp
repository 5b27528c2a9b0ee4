// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's keys, mouse and menu for looking back at the drive, and
// its pictures, file dialogs and "О программе" box. What each does is the
// logic's; this reads the toolkit's events and shows its dialogs.
#include <QFileDialog>
#include <QKeySequence>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QWheelEvent>
#include <QWindow>

#include "painting/PanelLayout.h"
#include "platform/Messages.h"
#include "qt/MainWindow.h"
#include "qt/glpanel/TOpenGLPanel.h"

namespace qtface {

using logic::ReviewKey;

namespace {

QString menuStyle() {
    return QStringLiteral(
        "QMenu { font-weight: bold; font-size: 11px; color: navy; background-color: rgb(226, 229, "
        "234); } QMenu::item:disabled { color: gray; } QMenu::item:selected { background-color: "
        "navy; color: white; }");
}

}  // namespace

void MainWindow::buildReviewInput() {
    struct Binding {
        QKeySequence keys;
        ReviewKey key;
        bool shift, ctrl;
    };
    // The window's own keys, whichever button has the focus; Space and
    // Enter stay the focused button's.
    const Binding bindings[] = {
        {QKeySequence(Qt::Key_P), ReviewKey::Pause, false, false},
        {QKeySequence(Qt::Key_Left), ReviewKey::Earlier, false, false},
        {QKeySequence(Qt::CTRL | Qt::Key_Left), ReviewKey::Earlier, false, true},
        {QKeySequence(Qt::Key_Right), ReviewKey::Later, false, false},
        {QKeySequence(Qt::CTRL | Qt::Key_Right), ReviewKey::Later, false, true},
        {QKeySequence(Qt::Key_Home), ReviewKey::Oldest, false, false},
        {QKeySequence(Qt::Key_End), ReviewKey::Live, false, false},
        {QKeySequence(Qt::Key_Plus), ReviewKey::ZoomIn, false, false},
        {QKeySequence(Qt::SHIFT | Qt::Key_Plus), ReviewKey::ZoomIn, false, false},
        {QKeySequence(Qt::Key_Equal), ReviewKey::ZoomIn, false, false},
        {QKeySequence(Qt::Key_Minus), ReviewKey::ZoomOut, false, false},
        {QKeySequence(Qt::Key_C), ReviewKey::Cursor, false, false},
        {QKeySequence(Qt::SHIFT | Qt::Key_C), ReviewKey::Cursor, true, false},
        {QKeySequence(Qt::Key_Comma), ReviewKey::CursorEarlier, false, false},
        {QKeySequence(Qt::Key_Period), ReviewKey::CursorLater, false, false},
        {QKeySequence(Qt::Key_Delete), ReviewKey::ClearCursors, false, false},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ReviewKey::SavePicture, false, true},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), ReviewKey::SavePicture, true, true},
        {QKeySequence(Qt::CTRL | Qt::Key_E), ReviewKey::SaveTable, false, true},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), ReviewKey::SaveTable, true, true},
    };
    for (const Binding& b : bindings) {
        auto* shortcut = new QShortcut(b.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, b] { logic_.reviewKey(b.key, b.shift, b.ctrl); });
    }
}

void MainWindow::watchChartSurfaces() {
    // The charts' surfaces (made when the panels first show) get the mouse;
    // they never take the keyboard.
    for (int k = 1; k <= 5; ++k) {
        if (QWindow* surface = panel(k)->surfaceWindow()) {
            surface->setFlag(Qt::WindowDoesNotAcceptFocus);
            surface->installEventFilter(this);
        }
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    int k = 0;
    for (int i = 1; i <= 5; ++i)
        if (watched == panel(i)->surfaceWindow()) k = i;
    if (k == 0 || !isEnabled()) return QWidget::eventFilter(watched, e);
    if (e->type() == QEvent::Wheel) {
        auto* w = static_cast<QWheelEvent*>(e);
        const int notches = w->angleDelta().y() / 120;
        logic_.chartWheel(notches, (w->modifiers() & Qt::ControlModifier) != 0);
        return true;
    }
    if (e->type() == QEvent::MouseButtonPress) {
        auto* m = static_cast<QMouseEvent*>(e);
        const int x = static_cast<int>(m->position().x());
        if (m->button() == Qt::LeftButton) {
            logic_.chartClick(x, (m->modifiers() & Qt::ShiftModifier) != 0);
            return true;
        }
        if (m->button() == Qt::RightButton) {
            chartMenu(k, x);
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

QMenu* MainWindow::chartMenu(int k, int x) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setStyleSheet(menuStyle());
    const logic::MainWindow& l = logic_;
    const auto add = [this, menu](const char* text, const QKeySequence& keys, std::function<void()> act,
                                  bool enabled = true) {
        QAction* a = menu->addAction(QString::fromUtf8(text), this, std::move(act));
        a->setShortcut(keys);
        a->setShortcutVisibleInContextMenu(true);
        a->setEnabled(enabled);
        return a;
    };
    add(l.review().following() ? "Пауза" : "Продолжить", QKeySequence(Qt::Key_P),
        [this] { logic_.reviewKey(ReviewKey::Pause); });
    add(
        "К живым данным", QKeySequence(Qt::Key_End), [this] { logic_.reviewKey(ReviewKey::Live); },
        !l.review().ordinary());
    add("Окно короче", QKeySequence(Qt::Key_Plus), [this] { logic_.reviewKey(ReviewKey::ZoomIn); });
    add("Окно длиннее", QKeySequence(Qt::Key_Minus), [this] { logic_.reviewKey(ReviewKey::ZoomOut); });
    menu->addSeparator();
    add(
        "Курсор здесь", QKeySequence(Qt::Key_C), [this, x] { logic_.chartClick(x, false); }, !l.session().empty());
    add(
        "Второй курсор здесь", QKeySequence(Qt::SHIFT | Qt::Key_C), [this, x] { logic_.chartClick(x, true); },
        !l.session().empty());
    add(
        "Убрать курсоры", QKeySequence(Qt::Key_Delete), [this] { logic_.reviewKey(ReviewKey::ClearCursors); },
        l.review().cursorA() || l.review().cursorB());
    menu->addSeparator();
    add("Сохранить графики (PNG)…", QKeySequence(Qt::CTRL | Qt::Key_S),
        [this] { logic_.exportDrive(logic::Export::Charts); });
    add("Сохранить окно (PNG)…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        [this] { logic_.exportDrive(logic::Export::Window); });
    add("Сохранить историю (CSV)…", QKeySequence(Qt::CTRL | Qt::Key_E),
        [this] { logic_.exportDrive(logic::Export::Table); });
    add(
        "Сохранить участок между курсорами (CSV)…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
        [this] { logic_.exportDrive(logic::Export::RangeTable); }, l.rangeChosen());
    if (l.replaying()) {
        QMenu* speed = menu->addMenu(QStringLiteral("Скорость воспроизведения"));
        speed->setStyleSheet(menuStyle());
        for (int s : {1, 2, 4, 8, 0}) {
            QAction* a = speed->addAction(s ? QStringLiteral("×%1").arg(s) : QStringLiteral("Вся запись сразу"), this,
                                          [this, s] { logic_.setReplaySpeed(s); });
            a->setCheckable(true);
            a->setChecked(l.replaySpeed() == s);
        }
    }
    const QPoint at = panel(k)->mapToGlobal(QPoint(x, 10));
    menu->popup(at);
    return menu;
}

void MainWindow::capturePicture(bool wholeWindow) {
    // What the screen shows: the panels' OpenGL pictures are in it.
    const QRect charts(display::panelPlace(1).x, display::panelPlace(1).y, display::panelPlace(1).width,
                       display::panelPlace(5).y + display::panelPlace(5).height - display::panelPlace(1).y);
    const QRect r = wholeWindow ? rect() : charts;
    captured_ = screen()->grabWindow(winId(), r.x(), r.y(), r.width(), r.height()).toImage();
}

std::string MainWindow::saveCapturedPicture(const std::string& path) {
    if (captured_.isNull() || !captured_.save(QString::fromStdString(path), "PNG"))
        return path + ": the picture could not be written";
    return {};
}

std::string MainWindow::chooseSaveFile(const std::string& title, const std::string& folder, const std::string& name,
                                       bool picture) {
    QFileDialog dialog(this, QString::fromStdString(title), QString::fromStdString(folder),
                       picture ? QStringLiteral("PNG (*.png)") : QStringLiteral("CSV (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(picture ? QStringLiteral("png") : QStringLiteral("csv"));
    dialog.selectFile(QString::fromStdString(name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

QWidget* MainWindow::AboutClick() {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("О программе"),
                                QString::fromStdString(logic::aboutText()), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
    return box;
}

}  // namespace qtface
