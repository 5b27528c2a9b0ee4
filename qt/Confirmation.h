// SPDX-License-Identifier: GPL-3.0-or-later
// The two confirmations in front of the destructive commands:
// ResetConfirmation for the ECU reset, InitialisationConfirmation for the
// reset with initialisation. While one is open the control window is hidden;
// either answer shows it again (restoreControl).
// Closing it any other way (Escape, the close button, Alt+F4, the program's
// end) counts as "Нет".
#pragma once

#include <QDialog>

#include <functional>

#include "link/LinkCommandBlock.h"
#include "logic/ControlWindow.h"
#include "qt/ClosingDialog.h"

namespace qtface {

class Confirmation : public qtface::ClosingDialog {
public:
    void YesClick();
    void NoClick();

protected:
    // restoreControl: shows the control window again with its first captions.
    Confirmation(klink::LinkCommandBlock& command, std::function<void()> restoreControl, bool initialise);
    void finish() override;

private:
    logic::Confirmation logic_;
    std::function<void()> restoreControl_;
};

class ResetConfirmation : public Confirmation {
public:
    ResetConfirmation(klink::LinkCommandBlock& command, std::function<void()> restoreControl);
};

class InitialisationConfirmation : public Confirmation {
public:
    InitialisationConfirmation(klink::LinkCommandBlock& command, std::function<void()> restoreControl);
};

}  // namespace qtface
