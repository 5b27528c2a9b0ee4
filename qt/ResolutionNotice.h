// SPDX-License-Identifier: GPL-3.0-or-later
// The notice shown instead of the main window on a screen that is not 1024
// pixels wide. It ends the program after four seconds, or at once when the
// user closes it.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>

namespace qtface {

class ResolutionNotice : public QDialog {
public:
    explicit ResolutionNotice(QWidget* parent = nullptr);

    // The 398 x 73 picture: a warning sign and the request in red on grey.
    static QImage picture();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QTimer Timer1;
};

}  // namespace qtface
