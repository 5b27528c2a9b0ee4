// SPDX-License-Identifier: GPL-3.0-or-later
// A child window as its logic runs it, apart from any toolkit. The window's
// description says what controls it has; this says what each shows now and
// takes what the user does to them. A face makes the controls from the
// description, hands every press, choice, slider move, typed text and timer
// tick here by the control's identifier, and then shows what changed; it
// closes the window, or opens the window that stands in for it, when asked.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/LinkHooks.h"
#include "logic/WindowTables.h"

namespace logic::ui {

// One cell of a table: its text (UTF-8; none: it keeps what it shows) and
// its status picture (an ecu::DtcPicture; -1: it keeps what it shows).
struct Cell {
    std::optional<std::string> text;
    int picture = -1;
};

// What one control shows.
struct Shown {
    std::string text;                  // a caption, a label's text, an edit list's text (UTF-8)
    std::vector<std::string> entries;  // a list's entries
    int value = -1;  // a list's entry (-1: none), a slider's position, 1: a toggle, radio or check set
    bool enabled = true;
    std::string tip;                      // the pointer's tip ("": none)
    std::vector<std::vector<Cell>> rows;  // a table's rows
};

class WindowLogic {
public:
    explicit WindowLogic(const WindowDescription& d);
    virtual ~WindowLogic() = default;
    WindowLogic(const WindowLogic&) = delete;
    WindowLogic& operator=(const WindowLogic&) = delete;

    const WindowDescription& description() const { return d_; }

    // What the user did. on: a toggle, radio or check set (true) or cleared.
    virtual void pressed(int /*id*/, bool /*on*/) {}
    // An entry of a list chosen by the user (an open list's, once it closes).
    virtual void chosen(int /*id*/, int /*index*/) {}
    virtual void moved(int /*id*/, int /*position*/) {}
    // An edit list's text as typed, when the user leaves it and before the
    // window closes.
    virtual void typed(int /*id*/, const std::string& /*text*/) {}
    // Every tickMs() while the window is open (0: never).
    virtual int tickMs() const { return 0; }
    virtual void tick() {}
    // A key the window keeps from its focused control (focused: that
    // control's identifier, 0 for one the description does not name), and
    // what the window does with it: true when kept. Asked before the
    // control sees the key; the face then shows what changed. Unless a
    // window says otherwise, a key without modifiers means one thing in a
    // control of each kind, whatever the toolkit would do:
    // - a table: Home and End go to its first and last row (chosen where
    //   its rows are chosen, else made current and brought into view, none
    //   chosen); Left and Right nothing;
    // - a button or check box: the arrows nothing (Tab moves the focus);
    // - toggles (a row): Up and Down nothing; radios (a column): Left and
    //   Right nothing;
    // - a list: Up and Down choose the next entry, Home and End the first
    //   and last; Left, Right, Page Up, Page Down and Space nothing;
    // - a slider (0..100): Up and Page Up raise it by 1 and 10, Down and
    //   Page Down lower it so; Left, Right, Home and End as the toolkit has
    //   them (alike on both faces).
    virtual bool key(const Chord& c, int focused);
    // However the window closes, once.
    virtual void closing() {}
    // The window that stood in for this one has closed (however); this one
    // shows again unless it is closing itself.
    virtual void standInClosed() {}

    // Told what the user did to the car, for the drive's report and the
    // journal: its kind ("codes-read", "codes-cleared", "output",
    // "adjustment", "reset") and what it was, in Russian.
    std::function<void(const std::string& kind, const std::string& what)> noteAction;
    // An action that waits for the ECU's answer to its command: it is noted
    // as done once the ECU confirmed it, else as failed, with why (kind +
    // "-failed"). answered, when given, then hears whether the command was
    // surely not carried out (refused, never sent).
    struct Awaited {
        klink::CommandKey command;
        std::string kind, done, failed;
        std::function<void(bool notDone)> answered;
    };
    // Told of each such action. None: noted at once as done.
    std::function<void(Awaited)> noteOnAnswer;
    // Asked before a command goes to the car: false, with the user told why,
    // while the link is stopped (the command would wait for the next "Старт").
    // None: always true.
    std::function<bool()> mayCommand;

    // What a control shows now (a control never set shows its description).
    const Shown& shown(int id) const;
    // The controls changed since the face last asked, in identifier order,
    // each with which of its text, entries and tip differ from what it
    // showed then (at first: its description). A face sets those only when
    // they changed, so that nothing the user is typing is overwritten.
    struct Change {
        int id;
        bool text, entries, tip;
    };
    std::vector<Change> takeChanges();
    // The same, by identifier alone.
    std::vector<int> takeChanged();
    // Asks of the face, each handed over once.
    bool takeClose() { return std::exchange(close_, false); }
    bool takeTimerRestart() { return std::exchange(restartTimer_, false); }
    std::unique_ptr<WindowLogic> takeStandIn() { return std::move(standIn_); }
    // The control the focus goes to when the window shows again (0: none).
    int takeFocus() { return std::exchange(focus_, 0); }
    // The row a table whose rows are not chosen is to make current and
    // bring into view: {its identifier, the row}; {0, -1}: none.
    std::pair<int, int> takeRowInView() { return std::exchange(inView_, {0, -1}); }

protected:
    // A control's state, to change: marks it changed.
    Shown& show(int id);
    void askClose() { close_ = true; }
    void askTimerRestart() { restartTimer_ = true; }
    // w stands in for this window, which hides until w closes.
    void standIn(std::unique_ptr<WindowLogic> w) { standIn_ = std::move(w); }
    void focusOn(int id) { focus_ = id; }
    void note(const std::string& kind, const std::string& what) const {
        if (noteAction) noteAction(kind, what);
    }
    void noteWhenAnswered(const klink::CommandKey& command, const std::string& kind, const std::string& done,
                          const std::string& failed, std::function<void(bool notDone)> answered = {}) const {
        if (noteOnAnswer)
            noteOnAnswer({command, kind, done, failed, std::move(answered)});
        else
            note(kind, done);
    }
    bool commandMayGo() const { return !mayCommand || mayCommand(); }

private:
    const WindowDescription& d_;
    mutable std::map<int, Shown> shown_;  // the description's text until set
    std::set<int> changed_;
    std::map<int, Shown> handed_;  // each control's text, entries and tip when the face last asked
    bool close_ = false, restartTimer_ = false;
    int focus_ = 0;
    std::pair<int, int> inView_{0, -1};
    std::unique_ptr<WindowLogic> standIn_;
};

}  // namespace logic::ui
