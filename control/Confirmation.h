// The two confirmations in front of the destructive commands: TForm6 for the
// ECU reset, TForm7 for the reset with initialisation. While one is open the
// control window is hidden; either answer shows it again (restoreControl).
// Closing it any other way (Escape, the close button, Alt+F4, the program's
// end) counts as "Нет".
#pragma once

#include <QDialog>

#include <functional>

#include "display/ClosingDialog.h"
#include "link/LinkCommandBlock.h"
#include "logic/ControlWindow.h"

class Confirmation : public display::ClosingDialog {
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

class TForm6 : public Confirmation {
public:
    TForm6(klink::LinkCommandBlock& command, std::function<void()> restoreControl);
};

class TForm7 : public Confirmation {
public:
    TForm7(klink::LinkCommandBlock& command, std::function<void()> restoreControl);
};
