// The two confirmations in front of the destructive commands: TForm6 for the
// ECU reset, TForm7 for the reset with initialisation. While one is open the
// control window is hidden; either button shows it again. Closing through
// the window frame counts as "Нет".
#pragma once

#include <QDialog>

#include "link/LinkCommandBlock.h"

class TForm5;

class Confirmation : public QDialog {
public:
    void YesClick();
    void NoClick();

protected:
    Confirmation(klink::LinkCommandBlock& command, TForm5* control, bool initialise);
    void closeEvent(QCloseEvent* e) override;

private:
    void restoreControl();

    klink::LinkCommandBlock& command_;
    TForm5* control_;
    bool initialise_;
    bool answered_ = false;
};

class TForm6 : public Confirmation {
public:
    TForm6(klink::LinkCommandBlock& command, TForm5* control);
};

class TForm7 : public Confirmation {
public:
    TForm7(klink::LinkCommandBlock& command, TForm5* control);
};
