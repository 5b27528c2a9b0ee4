// SPDX-License-Identifier: GPL-3.0-or-later
// The error-codes window's Qt face: the codes the ECU stores with their four
// status pictures and texts, refreshed every 500 ms, their count, and the
// clear command, over logic::ErrorCodesWindow.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include "qt/ClosingDialog.h"

#include <functional>

#include "link/LinkCommandBlock.h"
#include "logic/ErrorCodesWindow.h"

namespace qtface {

class ErrorCodesWindow : public qtface::ClosingDialog {
public:
    ErrorCodesWindow(klink::LinkCommandBlock& command, QWidget* parent = nullptr);
    ~ErrorCodesWindow() override;

    void Timer1Timer();  // the refresh
    void ResetClick();   // "Сброс"
    void ExitClick();    // "Выход"

    // A replay has nothing that could answer the clear command.
    void setClearAllowed(bool allowed);
    QTableWidget* table() const { return table_; }
    QPushButton* resetButton() const { return reset_; }
    QString countText() const { return count_->text(); }
    // Called once the window has closed, by whatever means.
    std::function<void()> onClosed;

protected:
    // Escape, the close button, Alt+F4 and the program's end all come here.
    void finish() override;

private:
    logic::ErrorCodesWindow logic_;
    QTableWidget* table_;
    QLabel* count_;
    QPushButton* reset_;
    QTimer timer_;
};

}  // namespace qtface
