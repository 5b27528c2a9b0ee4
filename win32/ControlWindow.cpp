// SPDX-License-Identifier: GPL-3.0-or-later
// "Управление" on Windows: the outputs and actions, their two buttons, the
// status line, and the confirmations that stand in for the window while
// they ask.
#include "logic/ControlWindow.h"

#include "platform/Cp1251.h"
#include "win32/Windows.h"

namespace winface {

namespace {

class ControlWindow;

// "Вы уверены?" before the ECU reset or the initialisation; "Нет" has the
// focus, and closing it any other way counts as "Нет".
class Confirmation : public ChildWindow {
public:
    Confirmation(HWND owner, klink::LinkCommandBlock& command, bool initialise, std::function<void()> restore)
        : logic_(command, initialise), restore_(std::move(restore)) {
        namespace ui = logic::ui;
        const ui::WindowDescription& d = initialise ? ui::initialisationConfirmation() : ui::resetConfirmation();
        create(owner, d, ui::confirmationSwallows);
        ShowWindow(handle(), SW_SHOW);
        SetForegroundWindow(handle());
        SetFocus(control(d.opensOn));  // the harmless answer
    }

private:
    void command(int native, int, HWND) override {
        const int id = native - Described::kIdBase;
        if (logic_.answered()) return;
        if (id == logic::ui::kYes) {
            logic_.yes();
            close();
        } else if (id == logic::ui::kNo) {
            close();
        }
    }
    void finish() override {
        if (!logic_.answered()) logic_.no();  // closed without an answer: as "Нет"
        if (restore_) restore_();
    }

    logic::Confirmation logic_;
    std::function<void()> restore_;
};

class ControlWindow : public ChildWindow {
public:
    ControlWindow(HWND owner, logic::MainWindow& main)
        : owner_(owner), command_(main.linkData.command), logic_(main.linkData.command, main.liveData) {
        namespace ui = logic::ui;
        create(owner, ui::controlWindow(), ui::controlWindowSwallows);
        list_ = control(ui::kControlList);
        for (int k = 0; k < logic::ControlWindow::kEntries; ++k)
            SendMessageW(list_, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(wide(logic::ControlWindow::entryText(k)).c_str()));
        SendMessageW(list_, CB_SETCURSEL, 0, 0);
        status_ = control(ui::kControlStatus);
        left_ = control(ui::kControlLeft);
        right_ = control(ui::kControlRight);
        SetTimer(handle(), 1, 100, nullptr);
        SetFocus(control(ui::controlWindow().opensOn));  // the harmless control: Enter there switches nothing
    }

private:
    enum { kList = logic::ui::kControlList, kLeft = logic::ui::kControlLeft, kRight = logic::ui::kControlRight };

    int shown() const { return static_cast<int>(SendMessageW(list_, CB_GETCURSEL, 0, 0)); }

    void setCaptions(const char* left, const char* right) {
        SetWindowTextW(left_, wide(left).c_str());
        SetWindowTextW(right_, wide(right).c_str());
    }

    LRESULT message(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_TIMER) {
            if (logic::ControlWindow::isOutput(shown()))
                SetWindowTextW(status_, wideFrom1251(logic_.statusText(shown())).c_str());
            return 0;
        }
        return ChildWindow::message(msg, wp, lp);
    }

    void command(int native, int code, HWND) override {
        const int id = native - Described::kIdBase;
        if (id == kList && code == CBN_SELCHANGE) {
            // Not while the list is open: the choice counts when it closes.
            if (SendMessageW(list_, CB_GETDROPPEDSTATE, 0, 0)) return;
            choose();
        } else if (id == kList && code == CBN_CLOSEUP) {
            if (shown() != chosen_) choose();
        } else if (id == kLeft) {
            logic_.left(shown());
        } else if (id == kRight) {
            logic_.right(shown());
        }
    }

    void choose() {
        chosen_ = shown();
        const logic::ControlWindow::Choice c = logic_.choose(chosen_);
        if (c.confirm == logic::ControlWindow::Confirm::None) {
            setCaptions(c.captions.left, c.captions.right);
            return;
        }
        // The confirmation stands in for this window, which hides.
        SendMessageW(list_, CB_SETCURSEL, 0, 0);  // made by the program: no choice
        chosen_ = 0;
        ShowWindow(handle(), SW_HIDE);
        HWND self = handle();
        confirmation_ =
            new Confirmation(owner_, command_, c.confirm == logic::ControlWindow::Confirm::Init, [this, self] {
                confirmation_ = nullptr;
                if (closing() || !IsWindow(self)) return;
                const auto captions = logic::ControlWindow::afterConfirmation();
                setCaptions(captions.left, captions.right);
                ShowWindow(self, SW_SHOW);
                SetForegroundWindow(self);
                SetFocus(list_);
            });
    }

    void finish() override {
        if (confirmation_) confirmation_->close();  // as "Нет"
        KillTimer(handle(), 1);
        logic_.closing(shown());
    }

    HWND owner_;
    klink::LinkCommandBlock& command_;
    logic::ControlWindow logic_;
    HWND list_ = nullptr, status_ = nullptr, left_ = nullptr, right_ = nullptr;
    int chosen_ = 0;
    Confirmation* confirmation_ = nullptr;
};

}  // namespace

ChildWindow* makeControlWindow(HWND owner, logic::MainWindow& main) { return new ControlWindow(owner, main); }

}  // namespace winface
