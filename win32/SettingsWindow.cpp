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
                 std::move(redraw), main.reportError, main.listPorts, main.portForNextStart()) {
        namespace ui = logic::ui;
        logic_.open();
        create(owner, ui::settingsWindow());
        tabs_ = control(ui::kSettingsTabs);
        for (int n = 1; n <= 12; ++n) setButtons_[static_cast<std::size_t>(n - 1)] = control(ui::kSetButton1 + n - 1);
        for (int k = 1; k <= 5; ++k) {
            HWND list = control(ui::kParamList1 + k - 1);
            for (const auto& p : ecu::ParameterCatalogue::instance().all())
                SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFrom1251(p.listText).c_str()));
            SendMessageW(list, CB_SETDROPPEDWIDTH, 560, 0);  // the open list shows every entry whole
            lists_[static_cast<std::size_t>(k - 1)] = list;
            // The closed list shows what fits its 473 pixels, and the whole
            // entry when the pointer rests on it.
            if (!tips_)
                tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle(), nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
            TOOLINFOW tip{};
            tip.cbSize = sizeof tip;
            tip.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tip.hwnd = handle();
            tip.uId = reinterpret_cast<UINT_PTR>(list);
            tip.lpszText = const_cast<wchar_t*>(L"");
            if (tips_) SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tip));
        }
        for (int i = 0; i < logic::SettingsWindow::kSliders; ++i)
            sliders_[static_cast<std::size_t>(i)] = control(ui::kSlider1 + i);
        const stored::PortChoice& stored = logic_.portShown();
        port_ = control(ui::kPortList);
        showPorts();
        SetWindowTextW(port_, wide(stored.device).c_str());
        wakeByte_ = control(ui::kWakeByte);
        wakeBreak_ = control(ui::kWakeBreak);
        SendMessageW(stored.wake == platform::WakeMethod::Break ? wakeBreak_ : wakeByte_, BM_SETCHECK, BST_CHECKED, 0);
        reconnect_ = control(ui::kReconnect);
        SendMessageW(reconnect_, BM_SETCHECK, stored.reconnect ? BST_CHECKED : BST_UNCHECKED, 0);
        adapter_ = control(ui::kAdapterList);
        rate_ = control(ui::kElmRateList);
        for (const std::string& e : logic::SettingsWindow::adapterEntries())
            SendMessageW(adapter_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(e).c_str()));
        for (const std::string& e : logic::SettingsWindow::rateEntries())
            SendMessageW(rate_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(e).c_str()));
        SendMessageW(adapter_, CB_SETCURSEL, static_cast<WPARAM>(logic_.adapterShown()), 0);
        SendMessageW(rate_, CB_SETCURSEL, static_cast<WPARAM>(logic_.rateShown()), 0);
        showSet();
        showSliders();
        SetTimer(handle(), 1, 1000, nullptr);  // an adapter plugged in shows within a second
        SetFocus(tabs_);                       // the harmless control: Enter there stores nothing
    }

private:
    void showSet() {
        for (int n = 1; n <= 12; ++n)
            SendMessageW(setButtons_[static_cast<std::size_t>(n - 1)], BM_SETCHECK,
                         n == logic_.downSet() ? BST_CHECKED : BST_UNCHECKED, 0);
        for (int k = 1; k <= 5; ++k) {
            SendMessageW(lists_[static_cast<std::size_t>(k - 1)], CB_SETCURSEL,
                         static_cast<WPARAM>(logic_.listEntry(k)), 0);
            showTip(k);
        }
    }

    // The entry list k shows, whole, for its pointer tip.
    void showTip(int k) {
        HWND list = lists_[static_cast<std::size_t>(k - 1)];
        if (!tips_ || !list) return;
        std::wstring text;
        const LRESULT i = SendMessageW(list, CB_GETCURSEL, 0, 0);
        const LRESULT length = i == CB_ERR ? CB_ERR : SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length != CB_ERR) {
            text.resize(static_cast<std::size_t>(length) + 1);
            SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(length));
        }
        TOOLINFOW tip{};
        tip.cbSize = sizeof tip;
        tip.hwnd = handle();
        tip.uId = reinterpret_cast<UINT_PTR>(list);
        tip.lpszText = text.data();
        SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tip));
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
                          SendMessageW(reconnect_, BM_GETCHECK, 0, 0) == BST_CHECKED,
                          static_cast<int>(SendMessageW(adapter_, CB_GETCURSEL, 0, 0)),
                          static_cast<int>(SendMessageW(rate_, CB_GETCURSEL, 0, 0)));
    }

    LRESULT message(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_NOTIFY: {
                const auto* n = reinterpret_cast<const NMHDR*>(lp);
                if (n->hwndFrom == tabs_ && n->code == TCN_SELCHANGE) showPage(TabCtrl_GetCurSel(tabs_) + 1);
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

    void command(int native, int code, HWND) override {
        namespace ui = logic::ui;
        const int id = native - Described::kIdBase;
        const int set = id - ui::kSetButton1 + 1, list = id - ui::kParamList1 + 1;
        if (set >= 1 && set <= 12 && code == BN_CLICKED) {
            logic_.selectSet(set);
            showSet();
        } else if (list >= 1 && list <= 5 && code == CBN_SELCHANGE) {
            HWND shown = lists_[static_cast<std::size_t>(list - 1)];
            // The user's choices only; the open list chooses when it closes.
            if (!SendMessageW(shown, CB_GETDROPPEDSTATE, 0, 0))
                logic_.chooseListEntry(list, static_cast<int>(SendMessageW(shown, CB_GETCURSEL, 0, 0)));
            showTip(list);
        } else if (list >= 1 && list <= 5 && code == CBN_CLOSEUP) {
            const int index =
                static_cast<int>(SendMessageW(lists_[static_cast<std::size_t>(list - 1)], CB_GETCURSEL, 0, 0));
            if (index != logic_.listEntry(list)) logic_.chooseListEntry(list, index);
            showTip(list);
        } else if (id == ui::kColourReset && code == BN_CLICKED) {
            logic_.resetColours();
            showSliders();
        } else if (id == ui::kPortList && code == CBN_SELCHANGE) {
            // The list shows what each port is; the choice is its path.
            const auto i = static_cast<std::size_t>(SendMessageW(port_, CB_GETCURSEL, 0, 0));
            if (i < paths_.size()) {
                SetWindowTextW(port_, paths_[i].c_str());
                PostMessageW(handle(), WM_COMMAND, MAKEWPARAM(native, CBN_KILLFOCUS), 0);
            }
        } else if (id == ui::kPortList && code == CBN_KILLFOCUS) {
            portChange();
        } else if ((id == ui::kAdapterList || id == ui::kElmRateList) && code == CBN_SELCHANGE) {
            portChange();
        } else if ((id == ui::kWakeByte || id == ui::kWakeBreak || id == ui::kReconnect) && code == BN_CLICKED) {
            portChange();
        }
    }

    void finish() override {
        KillTimer(handle(), 1);
        portChange();  // a path typed and not yet left counts
    }

    logic::SettingsWindow logic_;
    HWND tabs_ = nullptr;
    std::array<HWND, 12> setButtons_{};
    std::array<HWND, 5> lists_{};
    HWND tips_ = nullptr;  // the lists' pointer tips
    std::array<HWND, 16> sliders_{};
    HWND port_ = nullptr, wakeByte_ = nullptr, wakeBreak_ = nullptr, reconnect_ = nullptr;
    HWND adapter_ = nullptr, rate_ = nullptr;
    std::vector<std::wstring> paths_;
};

}  // namespace

ChildWindow* makeSettingsWindow(HWND owner, logic::MainWindow& main, std::function<void()> redraw) {
    return new SettingsWindow(owner, main, std::move(redraw));
}

}  // namespace winface
