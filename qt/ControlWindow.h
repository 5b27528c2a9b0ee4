// SPDX-License-Identifier: GPL-3.0-or-later
// The control window's Qt face: the list, the two buttons and the status
// line over logic::ControlWindow, which decides what each choice and press
// posts to the command area.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "ecu/LiveData.h"
#include "link/LinkCommandBlock.h"
#include "logic/ControlWindow.h"
#include "qt/ClosingDialog.h"

namespace qtface {

class ControlWindow : public qtface::ClosingDialog {
public:
    static constexpr int kEntries = logic::ControlWindow::kEntries;
    static constexpr int kResetEntry = logic::ControlWindow::kResetEntry;
    static constexpr int kInitEntry = logic::ControlWindow::kInitEntry;

    ControlWindow(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live, QWidget* parent = nullptr);
    ~ControlWindow() override;

    // The user picks entry k in the list.
    void ComboBox1Change(int k);
    void LeftClick();
    void RightClick();
    void Timer1Timer();
    // Sets the two buttons' captions (the confirmations do this).
    void setCaptions(const QString& left, const QString& right);

    QComboBox* list() const { return list_; }
    QString statusText() const { return status_->text(); }
    QPushButton* leftButton() const { return left_; }
    QPushButton* rightButton() const { return right_; }
    int previousAction() const { return logic_.previousAction(); }
    // The confirmation standing in front of this window, if any.
    QDialog* confirmation() const { return confirmation_; }
    std::function<void()> onClosed;

protected:
    // Escape, the close button, Alt+F4 and the program's end all come here.
    void finish() override;

private:
    void restoreAfterConfirmation();
    void confirm(bool reset);

    klink::LinkCommandBlock& command_;
    logic::ControlWindow logic_;
    QComboBox* list_;
    QLabel* status_;
    QPushButton* left_;
    QPushButton* right_;
    QTimer timer_;
    QPointer<QDialog> confirmation_;
};

}  // namespace qtface
