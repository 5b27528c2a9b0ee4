// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Described.h"

#include <commctrl.h>

#include "ecu/DtcTable.h"
#include "win32/Face.h"
#include "win32/Pictures.h"

namespace winface {

using logic::ui::Control;
using logic::ui::Ink;
using logic::ui::Kind;

namespace {

COLORREF colourOf(Ink ink) {
    switch (ink) {
        case Ink::Navy:
            return RGB(0, 0, 128);
        case Ink::Red:
            return RGB(255, 0, 0);
        case Ink::Plain:
            break;
    }
    return GetSysColor(COLOR_BTNTEXT);
}

HWND control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, const logic::ui::Rect& r,
             int height = 0) {
    HWND h = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.x, r.y, r.width, height ? height : r.height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id ? Described::kIdBase + id : 0)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-11)), FALSE);
    return h;
}

// group: the control starts a group of the dialog keys (the arrows move
// within one).
HWND make(HWND window, const Control& c, bool paintedLabels, bool group) {
    const logic::ui::Rect& r = c.place;
    const std::wstring text = wide(c.text);
    const DWORD starts = group ? WS_GROUP : 0;
    switch (c.kind) {
        case Kind::Button:
            // Coloured or bold captions need a button drawn by the window.
            return control(window, L"BUTTON", text.c_str(),
                           WS_TABSTOP | (c.ink != Ink::Plain || c.bold ? BS_OWNERDRAW : BS_PUSHBUTTON), c.id, r);
        case Kind::Toggle:
            if (c.ink != Ink::Plain)
                return control(window, L"BUTTON", text.c_str(), WS_TABSTOP | BS_OWNERDRAW, c.id, r);
            return control(window, L"BUTTON", text.c_str(), WS_TABSTOP | BS_AUTORADIOBUTTON | BS_PUSHLIKE | starts,
                           c.id, r);
        case Kind::Radio: {
            // A fixed choice (data set) is not the user's to change.
            HWND b = control(window, L"BUTTON", text.c_str(),
                             (c.data ? BS_RADIOBUTTON : WS_TABSTOP | BS_AUTORADIOBUTTON) | starts, c.id, r);
            if (c.data) {
                EnableWindow(b, c.data > 0);
                SendMessageW(b, BM_SETCHECK, c.data > 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            return b;
        }
        case Kind::Check:
            return control(window, L"BUTTON", text.c_str(), WS_TABSTOP | BS_AUTOCHECKBOX | starts, c.id, r);
        case Kind::Slider: {
            HWND t = control(window, TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM | starts,
                             c.id, r);
            SendMessageW(t, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
            SendMessageW(t, TBM_SETTICFREQ, 10, 0);
            return t;
        }
        case Kind::Tabs:
            return control(window, WC_TABCONTROLW, L"", WS_TABSTOP | WS_CLIPSIBLINGS, c.id, r);
        case Kind::Label:
        case Kind::StatusLine: {
            if (paintedLabels && c.kind == Kind::Label) return nullptr;
            HWND l = control(window, L"STATIC", text.c_str(), c.kind == Kind::StatusLine ? SS_CENTER | SS_SUNKEN : 0,
                             c.id, r);
            if (c.fontPixels || c.bold)
                SendMessageW(l, WM_SETFONT,
                             reinterpret_cast<WPARAM>(arial(-(c.fontPixels ? c.fontPixels : 11), c.bold)), FALSE);
            return l;
        }
        case Kind::Group:
            return control(window, L"BUTTON", text.c_str(), BS_GROUPBOX, 0, r);
        case Kind::List:
        case Kind::EditList:
            // The height given is the open list's.
            return control(window, L"COMBOBOX", L"",
                           WS_TABSTOP | WS_VSCROLL | starts |
                               (c.kind == Kind::List ? CBS_DROPDOWNLIST : CBS_DROPDOWN | CBS_AUTOHSCROLL),
                           c.id, r, 400);
        case Kind::Table: {
            // The sunken bevel round it (the row before) is the list's own edge.
            HWND t = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL,
                                     r.x - 2, r.y - 2, r.width + 4, r.height + 4, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(Described::kIdBase + c.id)),
                                     GetModuleHandleW(nullptr), nullptr);
            SendMessageW(t, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-(c.fontPixels ? c.fontPixels : 11))), FALSE);
            return t;
        }
        case Kind::Picture: {
            HWND p = control(window, L"STATIC", L"", SS_BITMAP | SS_CENTERIMAGE | SS_SUNKEN, 0, r);
            SendMessageW(p, STM_SETIMAGE, IMAGE_BITMAP,
                         reinterpret_cast<LPARAM>(statusPicture(static_cast<ecu::DtcPicture>(c.data), 21)));
            return p;
        }
        case Kind::RaisedBox:
        case Kind::ButtonBox:
        case Kind::SunkenBox:
        case Kind::Panel:
            break;
    }
    return nullptr;
}

}  // namespace

void Described::build(HWND window, const logic::ui::WindowDescription& d, bool paintedLabels) {
    d_ = &d;
    paintedLabels_ = paintedLabels;
    Kind before = Kind::Panel;
    for (const Control& c : d.controls) {
        // Radios and toggles in a row are one group; anything else starts its own.
        const bool group = !((c.kind == Kind::Radio || c.kind == Kind::Toggle) && c.kind == before);
        before = c.kind;
        HWND h = make(c.page > 0 ? page(c.page) : window, c, paintedLabels, group);
        if (!h) continue;
        if (c.id) byId_[c.id] = h;
        if (c.ink != Ink::Plain) inks_[h] = c.ink;
        if (c.kind == Kind::Tabs) {
            for (std::size_t i = 0; i < d.tabNames.size(); ++i) {
                const std::wstring name = wide(d.tabNames[i]);
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = const_cast<wchar_t*>(name.c_str());
                SendMessageW(h, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            }
            RECT area{c.place.x, c.place.y, c.place.x + c.place.width, c.place.y + c.place.height};
            TabCtrl_AdjustRect(h, FALSE, &area);
            for (std::size_t i = 0; i < d.tabNames.size(); ++i)
                pages_.push_back(makePage(window, area.left, area.top, area.right - area.left, area.bottom - area.top));
        }
    }
    if (!pages_.empty()) showPage(1);
}

void Described::showPage(int n) const {
    for (std::size_t k = 0; k < pages_.size(); ++k)
        ShowWindow(pages_[k], static_cast<int>(k) + 1 == n ? SW_SHOW : SW_HIDE);
    if (n >= 1 && n <= static_cast<int>(pages_.size()))
        SetWindowPos(page(n), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Described::paint(HDC dc) const {
    if (!d_) return;
    SetBkMode(dc, TRANSPARENT);
    for (std::size_t i = 0; i < d_->controls.size(); ++i) {
        const Control& c = d_->controls[i];
        const bool tableEdge =
            c.kind == Kind::SunkenBox && i + 1 < d_->controls.size() && d_->controls[i + 1].kind == Kind::Table;
        if (tableEdge) continue;  // the table draws it
        RECT r{c.place.x, c.place.y, c.place.x + c.place.width, c.place.y + c.place.height};
        if (c.kind == Kind::ButtonBox) {
            HBRUSH fill = CreateSolidBrush(kBoxColour);
            FillRect(dc, &r, fill);
            DeleteObject(fill);
        }
        if (c.kind == Kind::RaisedBox || c.kind == Kind::ButtonBox || c.kind == Kind::SunkenBox) {
            DrawEdge(dc, &r, c.kind == Kind::SunkenBox ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            if (*c.text) {
                SetTextColor(dc, RGB(255, 0, 0));
                HGDIOBJ old = SelectObject(dc, arial(-13, true));
                const std::wstring text = wide(c.text);
                TextOutW(dc, r.left + 8, r.top + 3, text.c_str(), static_cast<int>(text.size()));
                SelectObject(dc, old);
            }
        } else if (c.kind == Kind::Label && paintedLabels_) {
            SetTextColor(dc, colourOf(c.ink));
            HGDIOBJ old = SelectObject(dc, arial(-(c.fontPixels ? c.fontPixels : 12), c.bold));
            const std::wstring text = wide(c.text);
            TextOutW(dc, r.left, r.top, text.c_str(), static_cast<int>(text.size()));
            SelectObject(dc, old);
        }
    }
}

bool Described::inkOf(HWND control, HDC dc) const {
    const auto it = inks_.find(control);
    if (it == inks_.end()) return false;
    SetTextColor(dc, colourOf(it->second));
    SetBkMode(dc, TRANSPARENT);
    return true;
}

COLORREF Described::inkOf(int id) const {
    if (d_)
        for (const Control& c : d_->controls)
            if (c.id == id) return colourOf(c.ink);
    return colourOf(Ink::Plain);
}

}  // namespace winface
