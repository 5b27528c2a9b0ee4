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
        create(owner, initialise ? L"Инициализация ЭБУ" : L"Сбрс ЭБУ", 201, 113);
        HWND w = handle();
        if (initialise) {
            makeLabel(w, L"Полный аппаратный сброс блока", 16, 8, 180, 14);
            makeLabel(w, L"с инициализацией и очисткой", 24, 24, 170, 14);
            makeLabel(w, L"данных обучения.", 56, 40, 140, 14);
        } else {
            makeLabel(w, L"Полный аппаратны сброс блока", 16, 8, 180, 14);
            makeLabel(w, L"управления  (как по включению).", 16, 24, 180, 14);
        }
        question_ = makeLabel(w, L"Вы уверены?", 64, 56, 100, 14);
        SendMessageW(question_, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-11, true)), FALSE);
        makeButton(w, kYes, L"Да", 8, 80, 57, 22);
        HWND no = makeButton(w, kNo, L"Нет", 136, 80, 57, 22);
        ShowWindow(w, SW_SHOW);
        SetForegroundWindow(w);
        SetFocus(no);  // the harmless answer
    }

private:
    enum { kYes = 1101, kNo };
    LRESULT message(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == question_) {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, RGB(255, 0, 0));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return ChildWindow::message(msg, wp, lp);
    }
    void command(int id, int, HWND) override {
        if (logic_.answered()) return;
        if (id == kYes) {
            logic_.yes();
            close();
        } else if (id == kNo) {
            close();
        }
    }
    void finish() override {
        if (!logic_.answered()) logic_.no();  // closed without an answer: as "Нет"
        if (restore_) restore_();
    }

    logic::Confirmation logic_;
    std::function<void()> restore_;
    HWND question_ = nullptr;
};

class ControlWindow : public ChildWindow {
public:
    ControlWindow(HWND owner, logic::MainWindow& main)
        : owner_(owner), command_(main.linkData.command), logic_(main.linkData.command, main.liveData) {
        create(owner, L"Управление", 201, 113);
        HWND w = handle();
        makeGroup(w, L"Управление", 10, 2, 185, 49);
        list_ = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL,
                                18, 20, 169, 300, w, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kList)),
                                GetModuleHandleW(nullptr), nullptr);
        for (int k = 0; k < logic::ControlWindow::kEntries; ++k)
            SendMessageW(list_, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(wide(logic::ControlWindow::entryText(k)).c_str()));
        SendMessageW(list_, CB_SETCURSEL, 0, 0);
        status_ = makeLabel(w, L"Выл", 10, 58, 185, 17, SS_CENTER | SS_SUNKEN);
        left_ = makeButton(w, kLeft, L"Вкл", 10, 82, 57, 22);
        right_ = makeButton(w, kRight, L"Выкл", 138, 82, 57, 22);
        useDialogFont(w);
        SetTimer(w, 1, 100, nullptr);
        SetFocus(list_);  // the harmless control: Enter there switches nothing
    }

private:
    enum { kList = 1201, kLeft, kRight };

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

    void command(int id, int code, HWND) override {
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
