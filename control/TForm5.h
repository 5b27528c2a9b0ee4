// The control window: one ECU output at a time switched on and off or
// stepped, and the two destructive commands behind their confirmations. It
// only posts requests to the command area and shows what the link reports.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "display/ClosingDialog.h"
#include "ecu/LiveData.h"
#include "link/LinkCommandBlock.h"

class TForm5 : public display::ClosingDialog {
public:
    static constexpr int kEntries = 17;
    static constexpr int kResetEntry = 15;
    static constexpr int kInitEntry = 16;

    TForm5(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live, QWidget* parent = nullptr);
    ~TForm5() override;

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
    int previousAction() const { return previousAction_; }
    // The confirmation standing in front of this window, if any.
    QDialog* confirmation() const { return confirmation_; }
    std::function<void()> onClosed;

protected:
    // Escape, the close button, Alt+F4 and the program's end all come here.
    void finish() override;

private:
    // The entries that own an output's command record.
    static bool isOutput(int k);
    enum class Request { Report, Release };
    klink::Flag& flagOf(int k, Request which);
    void reportOnly(int k);
    void restoreAfterConfirmation();
    void setReport(int k, std::uint8_t value);
    void postRelease(int k);
    void step(int k, bool up);
    void confirm(int k);

    klink::LinkCommandBlock& command_;
    const ecu::LiveDataStore& live_;
    QComboBox* list_;
    QLabel* status_;
    QPushButton* left_;
    QPushButton* right_;
    QTimer timer_;
    QPointer<QDialog> confirmation_;
    int previousAction_ = 0;
};
