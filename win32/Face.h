// SPDX-License-Identifier: GPL-3.0-or-later
// What every window of the Windows face shares: texts converted at the
// edge (the program's texts are UTF-8 or code page 1251; the window system
// takes UTF-16), the fonts, the owner-drawn buttons with coloured captions,
// and the child windows' one close path.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logic/WindowTables.h"
#include "win32/Described.h"

namespace winface {

std::wstring wide(const std::string& utf8);
std::string utf8(const std::wstring& text);
std::wstring wideFrom1251(const std::string& text1251);

// Arial of a pixel height (negative: the character height), made once each.
HFONT arial(int height, bool bold = false, bool italic = false);
// The dialogs' font (Arial, 11 pixels) given to a window and its controls.
void useDialogFont(HWND window);

// Child controls at client positions, with the dialog font.
HWND makeButton(HWND parent, int id, const wchar_t* text, int x, int y, int w, int h, bool ownerDrawn = false);
HWND makeLabel(HWND parent, const wchar_t* text, int x, int y, int w, int h, DWORD style = 0);
HWND makeGroup(HWND parent, const wchar_t* text, int x, int y, int w, int h);
// A plain area that hands its controls' messages (commands, sliders,
// notifications) to its own parent: a tab's page.
HWND makePage(HWND parent, int x, int y, int w, int h);

// Draws an owner-drawn push button: its caption in colour (grey when
// disabled), sunken when pressed or checked, the focus shown. A flat one
// shows a frame only when pressed or checked, on the box's colour.
void drawButton(const DRAWITEMSTRUCT& d, COLORREF text, bool checked = false, COLORREF checkedFill = 0,
                bool flat = false, COLORREF flatFill = 0);

// Enter (the dialog keys' IDOK): the focused push button of window is
// pressed, if one has the focus; nothing else is. True when one was.
bool pressFocusedButton(HWND window);

// The chord of a key-down message, with the modifiers held now; none for a
// key no description names.
std::optional<logic::ui::Chord> chordOf(const MSG& msg);

// Places a window of this outer size in the middle of the work area.
void centre(HWND window);
// The error box: owned by owner (the window in front), in Russian.
void errorBox(HWND owner, const std::string& utf8Text);
// True under Wine, where OpenGL in child windows does not show on X servers
// without compositing: the panels are then owned pop-ups at the same places.
bool underWine();

// A top-level window owned by another (the window system keeps it in front
// of its owner), left by Escape, its close button, Alt+F4, its own button
// or the program's end, all through one close path: finish() runs once,
// then the window goes. Enter presses only a focused button.
class ChildWindow {
public:
    virtual ~ChildWindow();
    ChildWindow(const ChildWindow&) = delete;
    ChildWindow& operator=(const ChildWindow&) = delete;

    HWND handle() const { return window_; }
    // However it closes; the object is deleted after.
    void close();
    bool closing() const { return finished_; }
    // Runs after finish(), with the window gone: the owner is enabled again.
    std::function<void()> onClosed;

    // The open child windows, for the message loop's dialog keys.
    static const std::vector<ChildWindow*>& open();
    // True when the key is one the window in front keeps from its controls
    // (its description's): the message loop then drops it.
    static bool swallows(const MSG& msg);

protected:
    ChildWindow() = default;
    // A window of this client size, owned by owner, centred, not yet shown.
    bool create(HWND owner, const wchar_t* title, int clientWidth, int clientHeight);
    // The same for a described window, with its controls made; swallowed:
    // the keys it keeps from them.
    bool create(HWND owner, const logic::ui::WindowDescription& d,
                bool (*swallowed)(const logic::ui::Chord&) = nullptr);
    HWND control(int id) const { return controls_[id]; }
    void showPage(int n) const { controls_.showPage(n); }
    virtual void finish() = 0;
    virtual LRESULT message(UINT msg, WPARAM wp, LPARAM lp);
    virtual void command(int /*id*/, int /*code*/, HWND /*control*/) {}

private:
    static LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    HWND window_ = nullptr;
    bool finished_ = false;
    Described controls_;
    bool (*swallowed_)(const logic::ui::Chord&) = nullptr;
};

}  // namespace winface
