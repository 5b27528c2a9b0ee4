// SPDX-License-Identifier: GPL-3.0-or-later
// What every window of the Windows face shares: texts converted at the
// edge (the program's texts are UTF-8 or code page 1251; the window system
// takes UTF-16), the fonts, the owner-drawn buttons with coloured captions,
// and the child windows' one close path.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logic/WindowLogic.h"
#include "logic/WindowTables.h"
#include "platform/Cp1251.h"
#include "win32/Described.h"

namespace winface {

inline std::wstring wide(const std::string& utf8) { return cp1251::toWide(utf8); }
inline std::string utf8(const std::wstring& text) { return cp1251::fromWide(text); }
inline std::wstring wideFrom1251(const std::string& text1251) { return wide(cp1251::toUtf8(text1251)); }

// The main window's button boxes' grey-blue, under their flat buttons too.
inline constexpr COLORREF kBoxColour = RGB(226, 229, 234);

// Registers a window class of the program's (again: nothing changes): its
// procedure, the arrow pointer, the program's icon and the background given.
void registerWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background = nullptr);
// The dialogs' grey, as a class's background.
inline HBRUSH dialogGrey() { return reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1); }

// Arial of a pixel height (negative: the character height), made once each.
HFONT arial(int height, bool bold = false, bool italic = false);
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

// A child window ("Настройка программы", "Ошибки", "Управление" and its
// confirmations): a top-level window owned by another (the window system
// keeps it in front of its owner), its description made of controls, each
// user's act handed to its logic by the control's identifier and what the
// logic changed shown after each. Left by Escape, its close button, Alt+F4,
// its own button or the program's end, all through one close path: the
// logic's closing runs once, then the window goes. Enter presses only a
// focused button.
class ChildWindow {
public:
    // Made centred and hidden, owned by owner, on its harmless control.
    ChildWindow(HWND owner, std::unique_ptr<logic::ui::WindowLogic> logic);
    ~ChildWindow();
    ChildWindow(const ChildWindow&) = delete;
    ChildWindow& operator=(const ChildWindow&) = delete;

    HWND handle() const { return window_; }
    const logic::ui::WindowLogic& logic() const { return *logic_; }
    // However it closes; the object is deleted after.
    void close();
    // Runs after the logic's closing, before the window goes: the owner is
    // enabled again.
    std::function<void()> onClosed;

    // The open child windows, for the message loop's dialog keys.
    static const std::vector<ChildWindow*>& open();
    // True when the key is one the window in front keeps from its controls
    // (its logic's, which shows what it did): the message loop then drops it.
    static bool takeKey(const MSG& msg);

private:
    static LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT message(UINT msg, WPARAM wp, LPARAM lp);
    // Shows what the logic changed and does what it asks.
    void sync();
    void openStandIn(std::unique_ptr<logic::ui::WindowLogic> w);
    // Gives control the keyboard now and whenever the window is activated
    // again: as a dialog's, the focus comes back to where it was left.
    void focusOn(HWND control);

    std::unique_ptr<logic::ui::WindowLogic> logic_;
    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    bool finished_ = false;
    Described controls_;
    ChildWindow* standIn_ = nullptr;
    HWND focus_ = nullptr;  // the control the keyboard goes back to on activation
};

}  // namespace winface
