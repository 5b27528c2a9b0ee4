// SPDX-License-Identifier: GPL-3.0-or-later
// What the control window does, apart from any toolkit: its seventeen
// entries (twelve outputs switched on and off, three stepped, the ECU reset
// and the reset with initialisation), which requests each choice and button
// posts to the command area, what the status line shows, and what closing
// releases. A face shows the list, two buttons and the status line, and
// forwards the user's choices and presses here with the entry it shows.
#pragma once

#include <cstdint>
#include <string>

#include "ecu/LiveData.h"
#include "link/LinkCommandBlock.h"
#include "logic/WindowLogic.h"

namespace logic {

class ControlWindow : public ui::WindowLogic {
public:
    static constexpr int kEntries = 17;
    static constexpr int kResetEntry = 15;
    static constexpr int kInitEntry = 16;

    // The entry's text in the list, and its buttons' captions (UTF-8: the
    // window's own fixed texts).
    static const char* entryText(int k);
    struct Captions {
        const char* left;
        const char* right;
    };
    static Captions captionsOf(int k);
    static bool isOutput(int k);

    ControlWindow(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live);

    // What a choice asks of the face besides what it posted itself.
    enum class Confirm { None, Reset, Init };
    struct Choice {
        Confirm confirm = Confirm::None;
        int shown = 0;  // the entry the list shows afterwards
        Captions captions{"Вкл", "Выкл"};
    };
    // The user chose entry k in the list.
    Choice choose(int k);
    // A confirmation was answered (or closed, as "Нет"): the window comes
    // back with its first captions.
    static Captions afterConfirmation() { return {"Вкл", "Выкл"}; }

    // The buttons, with the entry the list shows.
    void left(int shown);
    void right(int shown);
    // The status line for the entry shown (code page 1251), refreshed by the
    // face ten times a second.
    std::string statusText(int shown) const;
    // The window closes however it closes: the output under test goes back
    // to the ECU.
    void closing(int shown);

    // The window: the list, the two buttons, the status line refreshed ten
    // times a second; a reset entry's confirmation stands in for it.
    void chosen(int id, int index) override;
    void pressed(int id, bool on) override;
    int tickMs() const override { return 100; }
    void tick() override;
    bool key(const ui::Chord& c, int focused) override {
        return ui::controlWindowSwallows(c) || WindowLogic::key(c, focused);
    }
    void closing() override { closing(entryShown()); }
    void standInClosed() override;
    int entryShown() const { return shown(ui::kControlList).value; }

private:
    void showCaptions(Captions c);
    enum class Request { Report, Release };
    klink::Flag& flagOf(int k, Request which);
    void reportOnly(int k);
    void step(int k, bool up);
    // Hands output k back to the ECU; the journal hears of it when the
    // user had driven it.
    void release(int k);

    klink::LinkCommandBlock& command_;
    const ecu::LiveDataStore& live_;
    int previousAction_ = 0;
    std::array<bool, kEntries> driven_{};  // switched or stepped since its last release
};

// The two confirmations in front of the reset and the initialisation;
// closed any other way than by "Да", as "Нет".
class Confirmation : public ui::WindowLogic {
public:
    Confirmation(klink::LinkCommandBlock& command, bool initialise);
    // "Да": the command goes out once, however often pressed; the control
    // list stands on its first entry again, whose report starts.
    void yes();
    // "Нет", or closed any other way.
    void no() { answered_ = true; }
    bool answered() const { return answered_; }

    void pressed(int id, bool on) override;
    bool key(const ui::Chord& c, int) override { return ui::confirmationSwallows(c); }
    void closing() override { no(); }

private:
    klink::LinkCommandBlock& command_;
    bool initialise_;
    bool answered_ = false;
};

}  // namespace logic
