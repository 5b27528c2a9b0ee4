// SPDX-License-Identifier: GPL-3.0-or-later
// "Настройка программы" on Windows: the presets and their lists, the colour
// sliders, the ECU choice and the port, over logic::SettingsWindow.
#include "logic/SettingsWindow.h"

#include <windows.h>

#include <commctrl.h>

#include <array>

#include "ecu/ParameterCatalogue.h"
#include "platform/Cp1251.h"
#include "win32/Windows.h"

namespace winface {

namespace {

class SettingsWindow : public ChildWindow {
public:
    SettingsWindow(HWND owner, logic::MainWindow& main, std::function<void()> redraw)
        : logic_(main.store(), main.colourScheme, static_cast<int>(ecu::ParameterCatalogue::instance().all().size()),
                 std::move(redraw), main.reportError, main.listPorts) {
        logic_.open();
        create(owner, L"Настройка программы", 513, 309);
        HWND w = handle();
        tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0, 0, 513,
                                309, w, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabs)), GetModuleHandleW(nullptr),
                                nullptr);
        SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-11)), FALSE);
        const wchar_t* names[4] = {L"Ноборы параметров", L"Цветовая схема", L"Выбор ЭБУ", L"Com Port"};
        for (int i = 0; i < 4; ++i) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(names[i]);
            SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        }
        RECT area{0, 0, 513, 309};
        TabCtrl_AdjustRect(tabs_, FALSE, &area);
        for (auto& p : pages_) p = makePage(w, area.left, area.top, area.right - area.left, area.bottom - area.top);
        buildSets(pages_[0]);
        buildColours(pages_[1]);
        buildEcu(pages_[2]);
        buildPort(pages_[3]);
        for (HWND p : pages_) useDialogFont(p);
        showPage(0);
        showSet();
        showSliders();
        SetTimer(w, 1, 1000, nullptr);  // an adapter plugged in shows within a second
        SetFocus(tabs_);                // the harmless control: Enter there stores nothing
    }

private:
    enum { kTabs = 1300, kSet = 1310, kList = 1330, kReset = 1340, kPort = 1350, kWakeByte, kWakeBreak, kReconnect };

    static HWND control(HWND page, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int w,
                        int h) {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, page,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    }

    void buildSets(HWND page) {
        makeGroup(page, L"Наборы", 8, 8, 489, 41);
        for (int n = 1; n <= 12; ++n)
            setButtons_[static_cast<std::size_t>(n - 1)] =
                control(page, L"BUTTON", (L"F" + std::to_wstring(n)).c_str(),
                        WS_TABSTOP | BS_AUTORADIOBUTTON | BS_PUSHLIKE | (n == 1 ? WS_GROUP : 0), kSet + n,
                        16 + 40 * (n - 1), 24, 33, 17);
        makeGroup(page, L"Параметры", 8, 56, 489, 217);
        for (int k = 1; k <= 5; ++k) {
            HWND list =
                control(page, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | (k == 1 ? WS_GROUP : 0),
                        kList + k, 16, 80 + 40 * (k - 1), 473, 400);
            for (const auto& p : ecu::ParameterCatalogue::instance().all())
                SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFrom1251(p.listText).c_str()));
            SendMessageW(list, CB_SETDROPPEDWIDTH, 560, 0);  // the open list shows every entry whole
            lists_[static_cast<std::size_t>(k - 1)] = list;
        }
    }

    void buildColours(HWND page) {
        const struct {
            const wchar_t* caption;
            int left, group;
        } boxes[4] = {{L"Имя параметра", 8, 1}, {L"Параметр", 131, 2}, {L"График", 254, 3}, {L"Сетка", 377, 0}};
        const wchar_t* labels[4] = {L"Красный", L"Зеленый", L"Синий", L"Яркость"};
        for (const auto& b : boxes) {
            makeGroup(page, b.caption, b.left, 24, 122, 193);
            for (int c = 0; c < 4; ++c) {
                makeLabel(page, labels[c], b.left + 8, 24 + 16 + 44 * c, 100, 14);
                HWND s = control(page, TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM, 0,
                                 b.left + 8, 24 + 30 + 44 * c, 106, 24);
                SendMessageW(s, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
                SendMessageW(s, TBM_SETTICFREQ, 10, 0);
                sliders_[static_cast<std::size_t>(b.group * 4 + c)] = s;
            }
        }
        control(page, L"BUTTON", L"Сброс", WS_TABSTOP | BS_PUSHBUTTON, kReset, 432, 240, 65, 22);
    }

    void buildEcu(HWND page) {
        const struct {
            const wchar_t* group;
            std::vector<const wchar_t*> choices;
            RECT place;
        } groups[5] = {{L"Bosch 1.5.4", {L"Bosch 1.5.4 P83", L"Bosch 1.5.4 N"}, {8, 8, 160, 70}},
                       {L"Bosch MP 7", {L"Bosch MP 7 E2", L"Bosch MP 7 E3"}, {176, 8, 160, 70}},
                       {L"Bosch M7.9.7", {L"Bosch M7.9.7 E2", L"Bosch M7.9.7 E3"}, {344, 8, 153, 70}},
                       {L"VS 5.1", {L"VS 5.1 P83", L"VS 5.1 E2"}, {8, 86, 160, 70}},
                       {L"Январь",
                        {L"Январь 5.1  Е2", L"Январь 5.1.1 Р83", L"Январь 5.1.2 Р83", L"Январь 7.2"},
                        {176, 86, 160, 122}}};
        for (const auto& g : groups) {
            makeGroup(page, g.group, g.place.left, g.place.top, g.place.right, g.place.bottom);
            int y = 20;
            for (const wchar_t* choice : g.choices) {
                const bool ours = std::wstring(choice) == L"Bosch M7.9.7 E2";
                HWND r = control(page, L"BUTTON", choice, BS_RADIOBUTTON, 0, g.place.left + 8, g.place.top + y,
                                 g.place.right - 12, 20);
                EnableWindow(r, ours);
                SendMessageW(r, BM_SETCHECK, ours ? BST_CHECKED : BST_UNCHECKED, 0);
                y += 24;
            }
        }
    }

    void buildPort(HWND page) {
        const stored::PortChoice& stored = logic_.portShown();
        makeGroup(page, L"Порт адаптера", 8, 8, 489, 81);
        port_ = control(page, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, kPort, 16, 30,
                        473, 200);
        showPorts();
        SetWindowTextW(port_, wide(stored.device).c_str());
        makeLabel(page, L"Выбор действует со следующего нажатия \"Старт\".", 16, 60, 473, 18);
        makeGroup(page, L"Пробуждение ЭБУ", 8, 97, 489, 73);
        wakeByte_ = control(page, L"BUTTON", L"Байт 0x00 на 360 бод (подходит всем USB-адаптерам)",
                            WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, kWakeByte, 16, 117, 473, 20);
        wakeBreak_ = control(page, L"BUTTON", L"Break 25 мс", BS_AUTORADIOBUTTON, kWakeBreak, 16, 141, 473, 20);
        SendMessageW(stored.wake == platform::WakeMethod::Break ? wakeBreak_ : wakeByte_, BM_SETCHECK, BST_CHECKED, 0);
        reconnect_ = control(page, L"BUTTON", L"Переподключаться автоматически",
                             WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, kReconnect, 16, 178, 473, 20);
        SendMessageW(reconnect_, BM_SETCHECK, stored.reconnect ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    void showPage(int i) {
        for (int k = 0; k < 4; ++k) ShowWindow(pages_[static_cast<std::size_t>(k)], k == i ? SW_SHOW : SW_HIDE);
        SetWindowPos(pages_[static_cast<std::size_t>(i)], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

    void showSet() {
        for (int n = 1; n <= 12; ++n)
            SendMessageW(setButtons_[static_cast<std::size_t>(n - 1)], BM_SETCHECK,
                         n == logic_.downSet() ? BST_CHECKED : BST_UNCHECKED, 0);
        for (int k = 1; k <= 5; ++k)
            SendMessageW(lists_[static_cast<std::size_t>(k - 1)], CB_SETCURSEL,
                         static_cast<WPARAM>(logic_.listEntry(k)), 0);
    }

    void showSliders() {
        for (int i = 0; i < logic::SettingsWindow::kSliders; ++i)
            SendMessageW(sliders_[static_cast<std::size_t>(i)], TBM_SETPOS, TRUE, logic_.sliderPosition(i));
    }

    void showPorts() {
        wchar_t typed[512];
        GetWindowTextW(port_, typed, 512);
        SendMessageW(port_, CB_RESETCONTENT, 0, 0);
        paths_.clear();
        for (const auto& p : logic_.portChoices()) {
            const std::wstring path = wide(p.path);
            const std::wstring shown = p.what.empty() ? path : path + L"  —  " + wide(p.what);
            SendMessageW(port_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
            paths_.push_back(path);
        }
        SetWindowTextW(port_, typed);
    }

    void portChange() {
        wchar_t typed[512];
        GetWindowTextW(port_, typed, 512);
        logic_.choosePort(utf8(typed),
                          SendMessageW(wakeByte_, BM_GETCHECK, 0, 0) == BST_CHECKED ? platform::WakeMethod::SlowByte
                                                                                    : platform::WakeMethod::Break,
                          SendMessageW(reconnect_, BM_GETCHECK, 0, 0) == BST_CHECKED);
    }

    LRESULT message(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_NOTIFY: {
                const auto* n = reinterpret_cast<const NMHDR*>(lp);
                if (n->hwndFrom == tabs_ && n->code == TCN_SELCHANGE) showPage(TabCtrl_GetCurSel(tabs_));
                return 0;
            }
            case WM_HSCROLL: {
                for (int i = 0; i < logic::SettingsWindow::kSliders; ++i)
                    if (reinterpret_cast<HWND>(lp) == sliders_[static_cast<std::size_t>(i)])
                        logic_.moveSlider(i,
                                          static_cast<int>(SendMessageW(reinterpret_cast<HWND>(lp), TBM_GETPOS, 0, 0)));
                return 0;
            }
            case WM_TIMER:
                if (logic_.refreshPorts()) showPorts();
                return 0;
            default:
                return ChildWindow::message(msg, wp, lp);
        }
    }

    void command(int id, int code, HWND) override {
        if (id > kSet && id <= kSet + 12 && code == BN_CLICKED) {
            logic_.selectSet(id - kSet);
            showSet();
        } else if (id > kList && id <= kList + 5 && code == CBN_SELCHANGE) {
            HWND list = lists_[static_cast<std::size_t>(id - kList - 1)];
            // The user's choices only; the open list chooses when it closes.
            if (!SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0))
                logic_.chooseListEntry(id - kList, static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0)));
        } else if (id > kList && id <= kList + 5 && code == CBN_CLOSEUP) {
            HWND list = lists_[static_cast<std::size_t>(id - kList - 1)];
            const int index = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
            if (index != logic_.listEntry(id - kList)) logic_.chooseListEntry(id - kList, index);
        } else if (id == kReset && code == BN_CLICKED) {
            logic_.resetColours();
            showSliders();
        } else if (id == kPort && code == CBN_SELCHANGE) {
            // The list shows what each port is; the choice is its path.
            const auto i = static_cast<std::size_t>(SendMessageW(port_, CB_GETCURSEL, 0, 0));
            if (i < paths_.size()) {
                SetWindowTextW(port_, paths_[i].c_str());
                PostMessageW(handle(), WM_COMMAND, MAKEWPARAM(kPort, CBN_KILLFOCUS), 0);
            }
        } else if (id == kPort && code == CBN_KILLFOCUS) {
            portChange();
        } else if ((id == kWakeByte || id == kWakeBreak || id == kReconnect) && code == BN_CLICKED) {
            portChange();
        }
    }

    void finish() override {
        KillTimer(handle(), 1);
        portChange();  // a path typed and not yet left counts
    }

    logic::SettingsWindow logic_;
    HWND tabs_ = nullptr;
    std::array<HWND, 4> pages_{};
    std::array<HWND, 12> setButtons_{};
    std::array<HWND, 5> lists_{};
    std::array<HWND, 16> sliders_{};
    HWND port_ = nullptr, wakeByte_ = nullptr, wakeBreak_ = nullptr, reconnect_ = nullptr;
    std::vector<std::wstring> paths_;
};

}  // namespace

ChildWindow* makeSettingsWindow(HWND owner, logic::MainWindow& main, std::function<void()> redraw) {
    return new SettingsWindow(owner, main, std::move(redraw));
}

}  // namespace winface
