// SPDX-License-Identifier: GPL-3.0-or-later
// "Ошибки" on Windows: the codes the link reads, refreshed every 500 ms, the
// legend of the status pictures, "Сброс" and "Выход".
#include <windows.h>

#include <commctrl.h>

#include "ecu/DtcTable.h"
#include "logic/ErrorCodesWindow.h"
#include "win32/Pictures.h"
#include "win32/Windows.h"

namespace winface {

namespace {

using ecu::DtcPicture;

class ErrorCodesWindow : public ChildWindow {
public:
    ErrorCodesWindow(HWND owner, logic::MainWindow& main) : logic_(main.linkData.command) {
        create(owner, L"Ошибки", 608, 365);
        HWND w = handle();
        list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL, 5,
                                5, 596, 249, w, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-11)), FALSE);
        ListView_SetExtendedListViewStyle(list_, LVS_EX_SUBITEMIMAGES | LVS_EX_GRIDLINES);
        images_ = ImageList_Create(14, 14, ILC_COLOR24, 11, 0);
        for (int p = 0; p <= static_cast<int>(DtcPicture::NoSignal); ++p) {
            HBITMAP b = statusPicture(static_cast<DtcPicture>(p), 14);
            ImageList_Add(images_, b, nullptr);
            DeleteObject(b);
        }
        ListView_SetImageList(list_, images_, LVSIL_SMALL);
        const wchar_t* heads[6] = {L"      Код", L"1", L"2", L"3", L"4", L"5"};
        // The code's column holds the list's picture room too (16 pixels).
        const int widths[6] = {68, 18, 18, 18, 18, 436};
        for (int c = 0; c < 6; ++c) {
            LVCOLUMNW col{};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<wchar_t*>(heads[c]);
            col.cx = widths[c];
            SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
        }
        buildLegend();
        makeLabel(w, L"Количество ошибок", 216, 339, 130, 16);
        count_ = makeLabel(w, L"0", 356, 339, 40, 16);
        reset_ = makeButton(w, kReset, L"Сброс", 8, 336, 81, 22);
        makeButton(w, kExit, L"Выход", 518, 336, 81, 22);
        setClearAllowed(main.canCommand());
        SetTimer(w, 1, 500, nullptr);
        SetFocus(list_);  // the harmless control: Enter there clears nothing
    }
    ~ErrorCodesWindow() override {
        if (images_) ImageList_Destroy(images_);
    }

private:
    enum { kReset = 1001, kExit };

    void setClearAllowed(bool allowed) {
        logic_.setClearAllowed(allowed);
        EnableWindow(reset_, allowed);
    }

    void buildLegend() {
        HWND w = handle();
        const struct {
            int x, y;
            DtcPicture picture;
            const wchar_t* text;
        } entries[10] = {
            {8, 8, DtcPicture::Lamp, L"Лампа \nдиагностики"},
            {8, 40, DtcPicture::StoredInactive, L"Сохранена но\nнеактивна"},
            {120, 8, DtcPicture::Present, L"Присутствует \nпри запросе"},
            {120, 40, DtcPicture::Intermittent, L"Пропадающая\nошибка"},
            {232, 8, DtcPicture::TestNotCompleted, L"Тест  не\nзакончен"},
            {232, 40, DtcPicture::TestCompleted, L"Тест\nзакончен"},
            {320, 8, DtcPicture::AboveMaximum, L"Превышение\nмаксимального порога"},
            {320, 40, DtcPicture::BelowMinimum, L"Превышение\nминимального порога"},
            {480, 8, DtcPicture::InvalidSignal, L"Неверный\nсигнал"},
            {480, 40, DtcPicture::NoSignal, L"Отсутствие\nсигнала"},
        };
        for (const auto& e : entries) {
            HWND picture = makeLabel(w, L"", 5 + e.x, 256 + e.y, 25, 25, SS_BITMAP | SS_CENTERIMAGE | SS_SUNKEN);
            SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(statusPicture(e.picture, 21)));
            HWND text = makeLabel(w, e.text, 5 + e.x + 28, 256 + e.y, 130, 26);
            SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(arial(-10)), FALSE);
        }
    }

    void refresh() {
        const std::vector<logic::ErrorCodesWindow::Row> rows = logic_.refresh();
        SetWindowTextW(count_, std::to_wstring(rows.size()).c_str());
        const int have = ListView_GetItemCount(list_);
        for (int i = have; i < static_cast<int>(rows.size()); ++i) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = const_cast<wchar_t*>(L"");
            SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        for (int i = have - 1; i >= static_cast<int>(rows.size()); --i) ListView_DeleteItem(list_, i);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const int row = static_cast<int>(k);
            const auto& r = rows[k];
            const std::wstring code = wide(r.code);
            setCell(row, 0, code.c_str(), -1);
            // A code outside the table leaves the row's previous text standing.
            if (r.text) {
                const std::wstring text = wideFrom1251(*r.text);
                setCell(row, 5, text.c_str(), -1);
            }
            setCell(row, 1, nullptr, static_cast<int>(r.pictures.lamp));
            setCell(row, 2, nullptr, static_cast<int>(r.pictures.storage));
            setCell(row, 3, nullptr, static_cast<int>(r.pictures.test));
            setCell(row, 4, nullptr, static_cast<int>(r.pictures.symptom));
        }
    }

    void setCell(int row, int column, const wchar_t* text, int image) {
        LVITEMW item{};
        item.iItem = row;
        item.iSubItem = column;
        if (text) {
            item.mask |= LVIF_TEXT;
            item.pszText = const_cast<wchar_t*>(text);
        }
        if (image >= 0) {
            item.mask |= LVIF_IMAGE;
            item.iImage = image;
        }
        SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }

    LRESULT message(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_TIMER) {
            refresh();
            return 0;
        }
        if (msg == WM_PAINT) {
            // The legend's raised panel and the count's.
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(handle(), &ps);
            FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
            RECT legend{5, 256, 601, 329}, count{96, 336, 513, 358};
            DrawEdge(dc, &legend, EDGE_RAISED, BF_RECT);
            DrawEdge(dc, &count, EDGE_RAISED, BF_RECT);
            EndPaint(handle(), &ps);
            return 0;
        }
        return ChildWindow::message(msg, wp, lp);
    }

    void command(int id, int, HWND) override {
        if (id == kReset && logic_.clearAllowed()) {
            // The first row stays as it was; the rest go.
            for (int i = ListView_GetItemCount(list_) - 1; i >= 1; --i) ListView_DeleteItem(list_, i);
            logic_.clear();
        } else if (id == kExit) {
            close();
        }
    }

    void finish() override {
        KillTimer(handle(), 1);
        logic_.closing();
    }

    logic::ErrorCodesWindow logic_;
    HWND list_ = nullptr, count_ = nullptr, reset_ = nullptr;
    HIMAGELIST images_ = nullptr;
};

}  // namespace

ChildWindow* makeErrorCodesWindow(HWND owner, logic::MainWindow& main) { return new ErrorCodesWindow(owner, main); }

}  // namespace winface
