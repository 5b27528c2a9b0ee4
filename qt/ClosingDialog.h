// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog with one close path. Escape rejects a dialog, which closes it
// without a close event; the close button, Alt+F4 and close() send one; the
// program's end closes it too. All of them run finish() once.
//
// It also keeps the rules of qt/WindowRules.h: it belongs to the window
// it was opened from, and a button is pressed by Enter or Space only while
// it has the focus (no default button). Each window gives the focus to its
// harmless control when it is made.
#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>

#include <functional>

#include "qt/Keys.h"
#include "qt/WindowRules.h"

namespace qtface {

class ClosingDialog : public QDialog, public KeyTaker {
public:
    using QDialog::QDialog;

    // The keys the window's description keeps from its controls.
    std::function<bool(const logic::ui::Chord&)> swallows;
    bool take(const logic::ui::Chord& chord, bool) override { return swallows && swallows(chord); }

    // The window this one belongs to: kept in front of it by the window
    // manager. Message boxes of this window belong to this window.
    void setOwner(QWidget* owner) {
        owner_ = owner;
        ownBy(this, owner);
    }
    QWidget* owner() const { return owner_; }

protected:
    // The window's close handling; runs once, however the window closes.
    virtual void finish() = 0;
    // True from the start of the close handling on.
    bool finished() const { return finished_; }

    void closeEvent(QCloseEvent* e) override {
        e->accept();
        runFinish();
    }
    void done(int result) override {
        runFinish();
        QDialog::done(result);
    }
    void showEvent(QShowEvent* e) override {
        pressOnlyWhenFocused(this);
        if (owner_) ownBy(this, owner_);
        QDialog::showEvent(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        // Enter that no focused button took presses nothing; Escape and the
        // rest as a dialog has them.
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            e->ignore();
            return;
        }
        QDialog::keyPressEvent(e);
    }

private:
    void runFinish() {
        if (finished_) return;
        finished_ = true;
        finish();
    }
    bool finished_ = false;
    QPointer<QWidget> owner_;
};

}  // namespace qtface
