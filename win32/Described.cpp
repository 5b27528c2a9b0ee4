// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Described.h"

#include <commctrl.h>

#include <algorithm>

#include "ecu/DtcTable.h"
#include "win32/Face.h"
#include "win32/Pictures.h"

namespace winface {

using logic::ui::Control;
using logic::ui::Ink;
using logic::ui::Kind;
namespace ui = logic::ui;

namespace {

LRESULT send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(w, msg, wp, lp); }

std::wstring textOf(HWND w) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(w, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A table: its columns and the status pictures its cells may show; rows
// the user chooses are chosen whole.
HIMAGELIST setUpTable(HWND list, const ui::Control& c) {
    ListView_SetExtendedListViewStyle(
        list, LVS_EX_SUBITEMIMAGES | LVS_EX_GRIDLINES | (c.data == 1 ? LVS_EX_FULLROWSELECT : 0));
    // Only the codes' table shows pictures. The list draws a cell's picture
    // with room beside it: its first column holds the row's picture room
    // (16 pixels), each picture column two more.
    const bool pictures = c.columns == &ui::codesColumns();
    HIMAGELIST images = nullptr;
    if (pictures) {
        images = ImageList_Create(14, 14, ILC_COLOR24, 11, 0);
        for (int p = 0; p <= static_cast<int>(ecu::DtcPicture::NoSignal); ++p) {
            HBITMAP b = statusPicture(static_cast<ecu::DtcPicture>(p), 14);
            ImageList_Add(images, b, nullptr);
            DeleteObject(b);
        }
        ListView_SetImageList(list, images, LVSIL_SMALL);
    }
    const auto& columns = *c.columns;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const std::wstring heading = wide(columns[k].heading);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = const_cast<wchar_t*>(heading.c_str());
        col.cx = columns[k].width + (!pictures ? 0 : k == 0 ? 16 : k + 1 < columns.size() ? 2 : 0);
        send(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&col));
    }
    return images;
}

void showRows(HWND list, const std::vector<std::vector<ui::Cell>>& rows) {
    const int have = ListView_GetItemCount(list);
    for (int i = have; i < static_cast<int>(rows.size()); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(L"");
        send(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    for (int i = have - 1; i >= static_cast<int>(rows.size()); --i) ListView_DeleteItem(list, i);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t k = 0; k < rows[r].size(); ++k) {
            const ui::Cell& cell = rows[r][k];
            const std::wstring text = cell.text ? wide(*cell.text) : std::wstring();
            LVITEMW item{};
            item.iItem = static_cast<int>(r);
            item.iSubItem = static_cast<int>(k);
            if (cell.text) {
                item.mask |= LVIF_TEXT;
                item.pszText = const_cast<wchar_t*>(text.c_str());
            }
            if (cell.picture >= 0) {
                item.mask |= LVIF_IMAGE;
                item.iImage = cell.picture;
            }
            if (item.mask) send(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
}

COLORREF colourOf(Ink ink) {
    switch (ink) {
        case Ink::Navy:
            return RGB(0, 0, 128);
        case Ink::Red:
            return RGB(255, 0, 0);
        case Ink::DarkRed:
            return RGB(0xD0, 0, 0);
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
            // A stop of Tab only while chosen (see apply).
            if (c.ink != Ink::Plain) return control(window, L"BUTTON", text.c_str(), BS_OWNERDRAW, c.id, r);
            return control(window, L"BUTTON", text.c_str(), BS_AUTORADIOBUTTON | BS_PUSHLIKE | starts, c.id, r);
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
            // A chosen row stays marked while another control has the focus.
            HWND t = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER |
                                         LVS_SINGLESEL | (c.data == 1 ? LVS_SHOWSELALWAYS : 0),
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
        case Kind::Drawing:
        case Kind::Panel:
            break;
    }
    return nullptr;
}

}  // namespace

Described::~Described() {
    if (images_) ImageList_Destroy(images_);
}

void Described::build(HWND window, const logic::ui::WindowDescription& d, bool paintedLabels) {
    window_ = window;
    d_ = &d;
    // Labels over a drawing are drawn on it by the window too.
    paintedLabels_ = paintedLabels || std::any_of(d.controls.begin(), d.controls.end(),
                                                  [](const Control& c) { return c.kind == Kind::Drawing; });
    Kind before = Kind::Panel;
    for (const Control& c : d.controls) {
        // Radios and toggles in a row are one group; anything else starts its own.
        const bool group = !((c.kind == Kind::Radio || c.kind == Kind::Toggle) && c.kind == before);
        before = c.kind;
        HWND h = make(c.page > 0 ? page(c.page) : window, c, paintedLabels_, group);
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
        if (c.kind == Kind::Table)
            if (HIMAGELIST images = setUpTable(h, c)) images_ = images;
        // The open list shows every entry whole.
        if (c.kind == Kind::List && c.data > 0) send(h, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(c.data));
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
        } else if (c.kind == Kind::Drawing) {
            POINT origin{};
            SetViewportOrgEx(dc, r.left, r.top, &origin);
            drawShapes(dc, ui::drawing(c.data));
            SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
        } else if (c.kind == Kind::Label && paintedLabels_) {
            SetTextColor(dc, colourOf(c.ink));
            HGDIOBJ old = SelectObject(dc, arial(-(c.fontPixels ? c.fontPixels : 12), c.bold));
            const std::wstring text = wide(c.text);
            const UINT lines = DT_NOCLIP | (c.place.width > 0 ? DT_WORDBREAK : DT_SINGLELINE);
            // Its lines in the middle of its height, as the Qt face's labels stand.
            RECT need = r;
            DrawTextW(dc, text.c_str(), -1, &need, lines | DT_CALCRECT);
            if (c.place.height > need.bottom - need.top)
                OffsetRect(&r, 0, (c.place.height - (need.bottom - need.top)) / 2);
            DrawTextW(dc, text.c_str(), -1, &r, lines);
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

int Described::idOf(HWND h) const {
    for (; h && h != window_; h = GetParent(h))
        for (const auto& [id, control] : byId_)
            if (control == h) return id;
    return 0;
}

const ui::Control* Described::row(int id) const {
    for (const ui::Control& c : d_->controls)
        if (c.id == id) return &c;
    return nullptr;
}

bool Described::message(ui::WindowLogic& logic, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kSetEditText) {
        const int id = static_cast<int>(wp);
        SetWindowTextW((*this)[id], wide(logic.shown(id).text).c_str());
        return false;
    }
    if (msg == WM_HSCROLL) {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp)) - kIdBase;
        if (!row(id)) return false;
        logic.moved(id, static_cast<int>(send(reinterpret_cast<HWND>(lp), TBM_GETPOS)));
        return true;
    }
    if (msg == WM_NOTIFY) {
        const auto* n = reinterpret_cast<const NMHDR*>(lp);
        if (n->code == TCN_SELCHANGE) showPage(TabCtrl_GetCurSel(n->hwndFrom) + 1);
        // A row the user chose in a table whose rows are chosen; in one
        // whose rows are only shown the keys move the current row alone.
        if (n->code != LVN_ITEMCHANGED || applying_) return false;
        const auto* item = reinterpret_cast<const NMLISTVIEW*>(lp);
        const int id = static_cast<int>(n->idFrom) - kIdBase;
        const ui::Control* c = row(id);
        if (!c || item->iItem < 0 || !(item->uNewState & LVIS_SELECTED) || (item->uOldState & LVIS_SELECTED))
            return false;
        if (c->data != 1) {
            ListView_SetItemState(n->hwndFrom, item->iItem, 0, LVIS_SELECTED);
            return false;
        }
        logic.chosen(id, item->iItem);
        return true;
    }
    if (msg != WM_COMMAND) return false;
    const int id = LOWORD(wp) - kIdBase, code = HIWORD(wp);
    const ui::Control* c = row(id);
    if (!c) return false;
    HWND h = (*this)[id];
    switch (c->kind) {
        case Kind::Button:
        case Kind::Toggle:
        case Kind::Radio:
        case Kind::Check:
            if (code != BN_CLICKED) return false;
            // A radio is set by its click; only a check box can be cleared.
            logic.pressed(id, c->kind == Kind::Check ? send(h, BM_GETCHECK) == BST_CHECKED : true);
            return true;
        case Kind::List:
        case Kind::EditList: {
            const int index = static_cast<int>(send(h, CB_GETCURSEL));
            const bool changed = index >= 0 && index != logic.shown(id).value;
            // The user's choices only: an open list chooses the entry taken
            // (Enter, a click), none when it is left (Escape, a click
            // elsewhere), and then shows the logic's entry again.
            if ((code == CBN_SELCHANGE && !send(h, CB_GETDROPPEDSTATE)) || code == CBN_SELENDOK) {
                if (!changed) return false;
                logic.chosen(id, index);
            } else if (code == CBN_SELENDCANCEL && c->kind == Kind::List) {
                send(h, CB_SETCURSEL, static_cast<WPARAM>(logic.shown(id).value));
                return false;
            } else if (code == CBN_KILLFOCUS && c->kind == Kind::EditList) {
                logic.typed(id, utf8(textOf(h)));
            } else {
                return false;
            }
            return true;
        }
        default:
            return false;
    }
}

void Described::show(ui::WindowLogic& logic) {
    if (byId_.empty()) return;  // not made yet: it shows all then
    HWND focused = GetFocus();
    for (const ui::WindowLogic::Change& c : logic.takeChanges()) apply(c, logic.shown(c.id));
    // A disabled control keeps the focus and takes no key: the logic says where it goes.
    if (focused && !IsWindowEnabled(focused))
        if (HWND to = (*this)[logic.takeFocus()]) SetFocus(to);
    if (const auto [id, row] = logic.takeRowInView(); id) {
        ListView_SetItemState((*this)[id], row, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible((*this)[id], row, FALSE);
    }
}

void Described::handOverTyped(ui::WindowLogic& logic) const {
    for (const Control& c : d_->controls)
        if (c.kind == Kind::EditList) logic.typed(c.id, utf8(textOf((*this)[c.id])));
}

void Described::apply(const ui::WindowLogic::Change& changed, const ui::Shown& s) {
    const int id = changed.id;
    HWND h = (*this)[id];
    const ui::Control* c = row(id);
    if (!h || !c) return;
    EnableWindow(h, s.enabled);
    if (changed.tip) showTip(h, s.tip);
    switch (c->kind) {
        case Kind::List:
        case Kind::EditList:
            if (changed.entries) {
                const std::wstring typed = textOf(h);
                send(h, CB_RESETCONTENT);
                for (const std::string& e : s.entries)
                    send(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(e).c_str()));
                if (c->kind == Kind::EditList) SetWindowTextW(h, typed.c_str());
            }
            if (c->kind == Kind::List) send(h, CB_SETCURSEL, static_cast<WPARAM>(s.value));
            if (c->kind == Kind::EditList && changed.text)
                PostMessageW(window_, kSetEditText, static_cast<WPARAM>(id), 0);
            break;
        case Kind::Slider:
            send(h, TBM_SETPOS, TRUE, s.value);
            break;
        case Kind::Table:
            applying_ = true;  // the program's selection says nothing to the logic
            showRows(h, s.rows);
            // The first row is the current one from the start, as the Qt face has it.
            if (!s.rows.empty() && ListView_GetNextItem(h, -1, LVNI_FOCUSED) < 0)
                ListView_SetItemState(h, 0, LVIS_FOCUSED, LVIS_FOCUSED);
            if (c->data == 1 &&
                s.value != static_cast<int>(send(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))) {
                ListView_SetItemState(h, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
                if (s.value >= 0) {
                    ListView_SetItemState(h, s.value, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                    ListView_EnsureVisible(h, s.value, FALSE);
                }
            }
            applying_ = false;
            break;
        case Kind::Toggle:
        case Kind::Radio:
        case Kind::Check:
            send(h, BM_SETCHECK, s.value == 1 ? BST_CHECKED : BST_UNCHECKED);
            InvalidateRect(h, nullptr, FALSE);  // an owner-drawn one draws the logic's state
            // A window's toggles are one choice: Tab stops at the chosen one alone.
            if (c->kind == Kind::Toggle)
                SetWindowLongPtrW(h, GWL_STYLE,
                                  (GetWindowLongPtrW(h, GWL_STYLE) & ~WS_TABSTOP) | (s.value == 1 ? WS_TABSTOP : 0));
            break;
        default:
            if (changed.text) SetWindowTextW(h, wide(s.text).c_str());
            break;
    }
}

void Described::showTip(HWND control, const std::string& tip) {
    if (!tips_) {
        tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!tips_) return;
    }
    std::wstring text = wide(tip);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text.data();
    // Added the first time, then only its text changed. Never asked back
    // with TTM_GETTOOLINFOW: that copies the tool's present text into
    // lpszText, however long, and an older, longer tip (a file's path)
    // overran the buffer of the new one.
    if (tipped_.insert(control).second)
        send(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    else
        send(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace winface
