// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's mouse and menu for looking back at the drive, and its
// pictures and file dialogs. What each does is the logic's; this reads the
// toolkit's events and shows its dialogs.
#include <QDesktopServices>
#include <QFileDialog>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include "qt/MainWindow.h"
#include "qt/glpanel/TOpenGLPanel.h"

namespace qtface {

namespace {

QString menuStyle() {
    return QStringLiteral(
        "QMenu { font-weight: bold; font-size: 11px; color: navy; background-color: rgb(226, 229, "
        "234); } QMenu::item:disabled { color: gray; } QMenu::item:selected { background-color: "
        "navy; color: white; }");
}

}  // namespace

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

namespace {

// The entries of a menu as the logic lists them; chosen(id) when one is.
void fill(QMenu* menu, const std::vector<logic::ui::MenuItem>& items, const std::function<void(int)>& chosen) {
    for (const logic::ui::MenuItem& item : items) {
        if (item.separator()) {
            menu->addSeparator();
        } else if (!item.submenu.empty()) {
            QMenu* sub = menu->addMenu(QString::fromStdString(item.text));
            sub->setStyleSheet(menuStyle());
            fill(sub, item.submenu, chosen);
        } else {
            const int id = item.id;
            // The keys after a tab: shown at the right, not bound to the menu.
            const std::string text = item.keys.empty() ? item.text : item.text + "\t" + item.keys;
            QAction* a = menu->addAction(QString::fromStdString(text), menu, [chosen, id] { chosen(id); });
            a->setEnabled(item.enabled);
            a->setCheckable(item.checkable);
            a->setChecked(item.checked);
        }
    }
}

}  // namespace

QMenu* MainWindow::chartMenu(int k, int x) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setStyleSheet(menuStyle());
    fill(menu, logic_.chartMenu(), [this, x](int id) { logic_.menuChosen(id, x); });
    menu->popup(panel(k)->mapToGlobal(QPoint(x, 10)));
    return menu;
}

void MainWindow::capturePicture(const logic::ui::Rect& a) {
    // What the screen shows: the panels' OpenGL pictures are in it.
    captured_ = screen()->grabWindow(winId(), a.x, a.y, a.width, a.height).toImage();
}

std::string MainWindow::saveCapturedPicture(const std::string& path) {
    if (captured_.isNull() || !captured_.save(QString::fromStdString(path), "PNG"))
        return path + ": the picture could not be written";
    return {};
}

std::string MainWindow::chooseFile(const FileDialog& d) {
    const auto& types = logic::ui::fileTypes(d.kind);
    QStringList filters;
    for (const logic::ui::FileType& t : types) filters << fromUtf8(t.name) + " (" + fromUtf8(t.pattern) + ")";
    QFileDialog dialog(boxOwner(), QString::fromStdString(d.title), QString::fromStdString(d.folder),
                       filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(d.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(d.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (d.save) {
        dialog.setDefaultSuffix(fromUtf8(types.front().pattern + 2));
        dialog.selectFile(QString::fromStdString(d.name));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

std::string MainWindow::openDocument(const std::string& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path))))
        return path + ": no program to show it";
    return {};
}

}  // namespace qtface
