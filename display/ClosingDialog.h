// A dialog with one close path. Escape rejects a dialog, which closes it
// without a close event; the close button, Alt+F4 and close() send one; the
// program's end closes it too. All of them run finish() once.
#pragma once

#include <QCloseEvent>
#include <QDialog>

namespace display {

class ClosingDialog : public QDialog {
public:
    using QDialog::QDialog;

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

private:
    void runFinish() {
        if (finished_) return;
        finished_ = true;
        finish();
    }
    bool finished_ = false;
};

}  // namespace display
