// SPDX-License-Identifier: GPL-3.0-or-later
// A window's description made of Win32 controls: one control for each row,
// at its place, with its text and font; the boxes (and, over a picture, the
// labels) are painted by the window through paint(). The window keeps the
// controls by the identifiers its logic knows, which are their control ids.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "logic/WindowTables.h"

namespace winface {

class Described {
public:
    // A row's control id is its identifier plus this, clear of the dialog
    // keys' IDOK and IDCANCEL.
    static constexpr int kIdBase = 1000;

    // paintedLabels: the labels are drawn by paint() (over a background
    // picture) instead of being controls.
    void build(HWND window, const logic::ui::WindowDescription& d, bool paintedLabels = false);
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
    const logic::ui::WindowDescription* d_ = nullptr;
    bool paintedLabels_ = false;
    std::map<int, HWND> byId_;
    std::map<HWND, logic::ui::Ink> inks_;
    std::vector<HWND> pages_;
};

}  // namespace winface
