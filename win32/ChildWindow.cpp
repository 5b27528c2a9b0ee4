// SPDX-License-Identifier: GPL-3.0-or-later
// The child windows: one close path, their described controls, the user's
// acts handed to their logic and what it changed shown, and their keys.
#include <algorithm>

#include "ecu/DtcTable.h"
#include "win32/Face.h"
#include "win32/Pictures.h"

namespace winface {

namespace ui = logic::ui;
using ui::Kind;

namespace {

std::vector<ChildWindow*>& openWindows() {
    static std::vector<ChildWindow*> windows;
    return windows;
}

const wchar_t* const kChildClass = L"M797ChildWindow";
constexpr UINT kSetEditText = WM_APP + 1;  // an edit list's text, after the list's own changes
constexpr UINT_PTR kTick = 1;

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

}  // namespace

const std::vector<ChildWindow*>& ChildWindow::open() { return openWindows(); }

ChildWindow::ChildWindow(HWND owner, std::unique_ptr<ui::WindowLogic> logic) : logic_(std::move(logic)), owner_(owner) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ChildWindow::windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"M797");
        wc.lpszClassName = kChildClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    const ui::WindowDescription& d = logic_->description();
    // No clipping of children: a group box is drawn through by its window.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT r{0, 0, d.width, d.height};
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    window_ =
        CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kChildClass, wide(d.title).c_str(), style, 0, 0,
                        r.right - r.left, r.bottom - r.top, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    openWindows().push_back(this);
    centre(window_);
    controls_.build(window_, d);
    for (const ui::Control& c : d.controls) {
        if (c.kind == Kind::Table)
            if (HIMAGELIST images = setUpTable(controls_[c.id], c)) images_ = images;
        // The open list shows every entry whole.
        if (c.kind == Kind::List && c.data > 0) send(controls_[c.id], CB_SETDROPPEDWIDTH, c.data);
    }
    sync();
    if (logic_->tickMs() > 0) SetTimer(window_, kTick, static_cast<UINT>(logic_->tickMs()), nullptr);
    SetFocus(controls_[d.opensOn]);  // the harmless control: Enter there changes nothing
}

ChildWindow::~ChildWindow() {
    auto& w = openWindows();
    w.erase(std::remove(w.begin(), w.end(), this), w.end());
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (images_) ImageList_Destroy(images_);
}

bool ChildWindow::swallows(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    for (ChildWindow* w : openWindows()) {
        if (w->window_ != root) continue;
        const auto chord = chordOf(msg);
        return chord && w->logic_->swallows(*chord);
    }
    return false;
}

void ChildWindow::close() {
    if (finished_) return;
    finished_ = true;
    KillTimer(window_, kTick);
    if (standIn_) standIn_->close();
    // A path typed and not yet left counts.
    for (const ui::Control& c : logic_->description().controls)
        if (c.kind == Kind::EditList) logic_->typed(c.id, utf8(textOf(controls_[c.id])));
    logic_->closing();
    auto& w = openWindows();
    w.erase(std::remove(w.begin(), w.end(), this), w.end());
    std::function<void()> closed = std::move(onClosed);
    // The owner comes back before this window goes, so that the window
    // system gives it the activation.
    if (closed) closed();
    HWND gone = window_;
    window_ = nullptr;
    SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
    DestroyWindow(gone);
    delete this;
}

const ui::Control* ChildWindow::row(int id) const {
    for (const ui::Control& c : logic_->description().controls)
        if (c.id == id) return &c;
    return nullptr;
}

void ChildWindow::sync() {
    for (int id : logic_->takeChanged()) apply(id, logic_->shown(id));
    if (logic_->takeTimerRestart()) SetTimer(window_, kTick, static_cast<UINT>(logic_->tickMs()), nullptr);
    if (auto w = logic_->takeStandIn()) openStandIn(std::move(w));
    if (logic_->takeClose()) close();  // the last: the object goes with it
}

void ChildWindow::apply(int id, const ui::Shown& s) {
    HWND h = controls_[id];
    const ui::Control* c = row(id);
    if (!h || !c) return;
    // What it showed: at first, its description.
    auto [at, first] = applied_.try_emplace(id);
    ui::Shown& was = at->second;
    if (first) was.text = c->text;
    EnableWindow(h, s.enabled);
    if (s.tip != was.tip) showTip(h, s.tip);
    switch (c->kind) {
        case Kind::List:
        case Kind::EditList:
            if (s.entries != was.entries) {
                const std::wstring typed = textOf(h);
                send(h, CB_RESETCONTENT);
                for (const std::string& e : s.entries)
                    send(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(e).c_str()));
                if (c->kind == Kind::EditList) SetWindowTextW(h, typed.c_str());
            }
            if (c->kind == Kind::List) send(h, CB_SETCURSEL, static_cast<WPARAM>(s.value));
            if (c->kind == Kind::EditList && s.text != was.text)
                PostMessageW(window_, kSetEditText, static_cast<WPARAM>(id), 0);
            break;
        case Kind::Slider:
            send(h, TBM_SETPOS, TRUE, s.value);
            break;
        case Kind::Table:
            applying_ = true;  // the program's selection says nothing to the logic
            showRows(h, s.rows);
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
            break;
        default:
            if (s.text != was.text) SetWindowTextW(h, wide(s.text).c_str());
            break;
    }
    was = s;
    was.rows.clear();
}

void ChildWindow::showTip(HWND control, const std::string& tip) {
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
    // Added the first time (a second add of the same tool changes nothing).
    if (!send(tips_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)))
        send(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    info.lpszText = text.data();
    send(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ChildWindow::openStandIn(std::unique_ptr<ui::WindowLogic> logic) {
    // It stands in for this window, which hides: it belongs to this one's owner.
    auto* w = new ChildWindow(owner_, std::move(logic));
    standIn_ = w;
    HWND self = window_;
    w->onClosed = [this, self] {
        standIn_ = nullptr;
        if (finished_ || !IsWindow(self)) return;  // closing itself: it stays closed
        logic_->standInClosed();
        sync();
        ShowWindow(self, SW_SHOW);
        SetForegroundWindow(self);
        if (HWND focus = controls_[logic_->takeFocus()]) SetFocus(focus);
    };
    ShowWindow(window_, SW_HIDE);
    ShowWindow(w->handle(), SW_SHOW);
    SetForegroundWindow(w->handle());
    SetFocus(w->controls_[w->logic_->description().opensOn]);
}

void ChildWindow::command(int id, int code) {
    const ui::Control* c = row(id);
    if (!c) return;
    HWND h = controls_[id];
    switch (c->kind) {
        case Kind::Button:
        case Kind::Toggle:
        case Kind::Radio:
        case Kind::Check:
            if (code != BN_CLICKED) return;
            // A radio is set by its click; only a check box can be cleared.
            logic_->pressed(id, c->kind == Kind::Check ? send(h, BM_GETCHECK) == BST_CHECKED : true);
            break;
        case Kind::List:
        case Kind::EditList: {
            const int index = static_cast<int>(send(h, CB_GETCURSEL));
            // The user's choices only; an open list chooses when it closes.
            if (code == CBN_SELCHANGE && !send(h, CB_GETDROPPEDSTATE)) {
                logic_->chosen(id, index);
            } else if (code == CBN_CLOSEUP && index >= 0 && index != logic_->shown(id).value) {
                logic_->chosen(id, index);
            } else if (code == CBN_KILLFOCUS && c->kind == Kind::EditList) {
                logic_->typed(id, utf8(textOf(h)));
            } else {
                return;
            }
            break;
        }
        default:
            return;
    }
    sync();
}

LRESULT ChildWindow::message(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            // The described boxes on the window's grey.
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window_, &ps);
            controls_.paint(dc);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Labels, frames and buttons on the window's own grey, in their ink.
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            controls_.inkOf(reinterpret_cast<HWND>(lp), dc);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_CLOSE:
            close();
            return 0;
        case WM_TIMER:
            logic_->tick();
            sync();
            return 0;
        case WM_HSCROLL:
            if (const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp)) - Described::kIdBase; row(id)) {
                logic_->moved(id, static_cast<int>(send(reinterpret_cast<HWND>(lp), TBM_GETPOS)));
                sync();
            }
            return 0;
        case WM_NOTIFY: {
            const auto* n = reinterpret_cast<const NMHDR*>(lp);
            if (n->code == TCN_SELCHANGE) controls_.showPage(TabCtrl_GetCurSel(n->hwndFrom) + 1);
            // A row the user chose in a table whose rows are chosen.
            if (n->code == LVN_ITEMCHANGED && !applying_) {
                const auto* item = reinterpret_cast<const NMLISTVIEW*>(lp);
                const int id = static_cast<int>(n->idFrom) - Described::kIdBase;
                const ui::Control* c = row(id);
                if (c && c->data == 1 && item->iItem >= 0 && (item->uNewState & LVIS_SELECTED) &&
                    !(item->uOldState & LVIS_SELECTED)) {
                    logic_->chosen(id, item->iItem);
                    sync();
                }
            }
            return 0;
        }
        case kSetEditText:
            SetWindowTextW(controls_[static_cast<int>(wp)], wide(logic_->shown(static_cast<int>(wp)).text).c_str());
            return 0;
        case WM_COMMAND:
            // Escape (the dialog keys' IDCANCEL) closes; Enter (IDOK) presses
            // the focused button, and nothing where no button has the focus.
            if (LOWORD(wp) == IDCANCEL) {
                close();
            } else if (LOWORD(wp) == IDOK && reinterpret_cast<HWND>(lp) == nullptr) {
                pressFocusedButton(window_);
            } else {
                command(LOWORD(wp) - Described::kIdBase, HIWORD(wp));
            }
            return 0;
        default:
            return DefWindowProcW(window_, msg, wp, lp);
    }
}

LRESULT CALLBACK ChildWindow::windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<ChildWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (!self) return DefWindowProcW(w, msg, wp, lp);
    return self->message(msg, wp, lp);
}

}  // namespace winface
