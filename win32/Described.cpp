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

// The box colour of the main window's button boxes.
const COLORREF kBoxColour = RGB(226, 229, 234);

HWND make(HWND window, const Control& c, bool paintedLabels) {
    const logic::ui::Rect& r = c.place;
    const std::wstring text = wide(c.text);
    switch (c.kind) {
        case Kind::Button:
        case Kind::Toggle:
            // Coloured or bold captions need a button drawn by the window.
            return makeButton(window, Described::kIdBase + c.id, text.c_str(), r.x, r.y, r.width, r.height,
                              c.kind == Kind::Toggle || c.ink != Ink::Plain || c.bold);
        case Kind::Label:
        case Kind::StatusLine: {
            if (paintedLabels && c.kind == Kind::Label) return nullptr;
            HWND l = makeLabel(window, text.c_str(), r.x, r.y, r.width, r.height,
                               c.kind == Kind::StatusLine ? SS_CENTER | SS_SUNKEN : 0);
            if (c.fontPixels || c.bold)
                SendMessageW(l, WM_SETFONT,
                             reinterpret_cast<WPARAM>(arial(-(c.fontPixels ? c.fontPixels : 11), c.bold)), FALSE);
            if (c.id) SetWindowLongPtrW(l, GWLP_ID, Described::kIdBase + c.id);
            return l;
        }
        case Kind::Group:
            return makeGroup(window, text.c_str(), r.x, r.y, r.width, r.height);
        case Kind::List: {
            // The height is the open list's.
            HWND l = CreateWindowExW(
                0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, r.x, r.y,
                r.width, 300, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Described::kIdBase + c.id)),
                GetModuleHandleW(nullptr), nullptr);
            SendMessageW(l, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-11)), FALSE);
            return l;
        }
        case Kind::Table: {
            HWND t = CreateWindowExW(0, WC_LISTVIEWW, L"",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL,
                                     r.x, r.y, r.width, r.height, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(Described::kIdBase + c.id)),
                                     GetModuleHandleW(nullptr), nullptr);
            SendMessageW(t, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-(c.fontPixels ? c.fontPixels : 11))), FALSE);
            return t;
        }
        case Kind::Picture: {
            HWND p = makeLabel(window, L"", r.x, r.y, r.width, r.height, SS_BITMAP | SS_CENTERIMAGE | SS_SUNKEN);
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
    for (const Control& c : d.controls) {
        HWND h = make(window, c, paintedLabels);
        if (!h) continue;
        if (c.id) byId_[c.id] = h;
        if (c.ink != Ink::Plain) inks_[h] = c.ink;
    }
}

void Described::paint(HDC dc) const {
    if (!d_) return;
    SetBkMode(dc, TRANSPARENT);
    for (const Control& c : d_->controls) {
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
