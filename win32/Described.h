// SPDX-License-Identifier: GPL-3.0-or-later
// A window's description made of Win32 controls: one control for each row,
// at its place, with its text and font; the boxes and drawings (and the
// labels over a picture or a drawing) are painted by the window through paint(). The window keeps the
// controls by the identifiers its logic knows, which are their control ids;
// the controls' messages reach the logic by them, and what the logic
// changed is shown. The main window and every child window are made so.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "logic/WindowLogic.h"
#include "logic/WindowTables.h"

namespace winface {

class Described {
public:
    // A row's control id is its identifier plus this, clear of the dialog
    // keys' IDOK and IDCANCEL.
    static constexpr int kIdBase = 1000;
    // Posted to the window: an edit list's text, after the list's own changes.
    static constexpr UINT kSetEditText = WM_APP + 3;  // beside the main window's own

    Described() = default;
    ~Described();
    Described(const Described&) = delete;
    Described& operator=(const Described&) = delete;

    // paintedLabels: the labels are drawn by paint() (over a background
    // picture) instead of being controls, as they are over a drawing.
    void build(HWND window, const logic::ui::WindowDescription& d, bool paintedLabels = false);
    // A message of the window's controls (a press or choice by WM_COMMAND,
    // a slider's WM_HSCROLL, a tab's or table's WM_NOTIFY) handed to logic:
    // true when the logic heard of it, and the window then shows what
    // changed.
    bool message(logic::ui::WindowLogic& logic, UINT msg, WPARAM wp, LPARAM lp);
    // Shows what logic changed since it was last asked. A control with the
    // focus that the logic disabled gives the focus to the logic's choice.
    void show(logic::ui::WindowLogic& logic);
    // The edit lists' texts typed and not yet left, handed to logic (a
    // window that closes counts them).
    void handOverTyped(logic::ui::WindowLogic& logic) const;
    // The identifier of the control h is or lies in (0: none).
    int idOf(HWND h) const;
    HWND operator[](int id) const {
        const auto it = byId_.find(id);
        return it == byId_.end() ? nullptr : it->second;
    }
    // A tab page (1..) of a window with tabs; shows page n alone.
    HWND page(int n) const { return pages_[static_cast<std::size_t>(n - 1)]; }
    void showPage(int n) const;
    // The boxes, their captions and painted labels, over what the window drew.
    void paint(HDC dc) const;
    // A label's ink for WM_CTLCOLORSTATIC: true with the colour set when it has one.
    bool inkOf(HWND control, HDC dc) const;
    // A button's caption colour (owner-drawn buttons).
    COLORREF inkOf(int id) const;

private:
    const logic::ui::Control* row(int id) const;
    void apply(const logic::ui::WindowLogic::Change& changed, const logic::ui::Shown& s);
    void showTip(HWND control, const std::string& tip);

    HWND window_ = nullptr;
    const logic::ui::WindowDescription* d_ = nullptr;
    bool paintedLabels_ = false;
    std::map<int, HWND> byId_;
    std::map<HWND, logic::ui::Ink> inks_;
    std::vector<HWND> pages_;
    HWND tips_ = nullptr;          // the pointer's tips, made with the first
    std::set<HWND> tipped_;        // the controls given a tip
    HIMAGELIST images_ = nullptr;  // the codes' table's status pictures
    bool applying_ = false;        // a table's rows and choice being shown
};

}  // namespace winface
