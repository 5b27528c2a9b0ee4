// SPDX-License-Identifier: GPL-3.0-or-later
// Every child window of the Qt face ("Настройка программы", "Ошибки",
// "Управление" and its confirmations): its description made of widgets, each
// user's act handed to its logic by the control's identifier, and what the
// logic changed shown after each.
//
// One close path: Escape rejects a dialog, which closes it without a close
// event; the close button, Alt+F4 and close() send one; the program's end
// closes it too. All of them run the logic's closing once. The window
// belongs to the window it was opened from, and a button is pressed by Enter
// or Space only while it has the focus (no default button); it opens on its
// harmless control.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

#include "logic/WindowLogic.h"
#include "qt/Described.h"
#include "qt/Keys.h"

namespace qtface {

class ChildWindow : public QDialog, public KeyTaker {
public:
    explicit ChildWindow(std::unique_ptr<logic::ui::WindowLogic> logic);
    ~ChildWindow() override;

    logic::ui::WindowLogic& logic() const { return *logic_; }
    // The control with this identifier.
    QWidget* control(int id) const { return controls_[id]; }
    template <typename T>
    T* get(int id) const {
        return controls_.get<T>(id);
    }
    // The user's acts, as the widgets' signals hand them on.
    void press(int id, bool on = true);
    void choose(int id, int index);
    void tick();

    // The window this one belongs to: kept in front of it by the window
    // manager. Message boxes of this window belong to this window.
    void setOwner(QWidget* owner);
    QWidget* owner() const { return owner_; }
    // The window standing in for this one, if any.
    ChildWindow* standIn() const { return standIn_; }
    // Called once the window has closed, by whatever means.
    std::function<void()> onClosed;

    bool take(const logic::ui::Chord& chord, bool) override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void done(int result) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // Shows what the logic changed and does what it asks.
    void sync();
    void openStandIn(std::unique_ptr<logic::ui::WindowLogic> w);
    void finish();

    std::unique_ptr<logic::ui::WindowLogic> logic_;
    Described controls_;
    QTimer timer_;
    QPointer<QWidget> owner_;
    QPointer<ChildWindow> standIn_;
    bool finished_ = false;
};

}  // namespace qtface
