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
        namespace ui = logic::ui;
        create(owner, ui::errorCodesWindow());
        list_ = control(ui::kCodesTable);
        count_ = control(ui::kCount);
        reset_ = control(ui::kClear);
        ListView_SetExtendedListViewStyle(list_, LVS_EX_SUBITEMIMAGES | LVS_EX_GRIDLINES);
        images_ = ImageList_Create(14, 14, ILC_COLOR24, 11, 0);
        for (int p = 0; p <= static_cast<int>(DtcPicture::NoSignal); ++p) {
            HBITMAP b = statusPicture(static_cast<DtcPicture>(p), 14);
            ImageList_Add(images_, b, nullptr);
            DeleteObject(b);
        }
        ListView_SetImageList(list_, images_, LVSIL_SMALL);
        const auto& columns = ui::codesColumns();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::wstring heading = wide(columns[c].heading);
            LVCOLUMNW col{};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<wchar_t*>(heading.c_str());
            // The list draws a cell's picture with room beside it: the code's
            // column holds the row's picture room (16 pixels), each picture
            // column two more.
            col.cx = columns[c].width + (c == 0 ? 16 : c + 1 < columns.size() ? 2 : 0);
            SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
        }
        setClearAllowed(main.canCommand());
        SetTimer(handle(), 1, 500, nullptr);
        SetFocus(control(ui::errorCodesWindow().opensOn));  // the harmless control: Enter there clears nothing
    }
    ~ErrorCodesWindow() override {
        if (images_) ImageList_Destroy(images_);
    }

private:
    void setClearAllowed(bool allowed) {
        logic_.setClearAllowed(allowed);
        EnableWindow(reset_, allowed);
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
        return ChildWindow::message(msg, wp, lp);
    }

    void command(int native, int, HWND) override {
        const int id = native - Described::kIdBase;
        if (id == logic::ui::kClear && logic_.clearAllowed()) {
            // The first row stays as it was; the rest go.
            for (int i = ListView_GetItemCount(list_) - 1; i >= 1; --i) ListView_DeleteItem(list_, i);
            logic_.clear();
        } else if (id == logic::ui::kErrorsExit) {
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
