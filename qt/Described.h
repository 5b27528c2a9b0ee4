// SPDX-License-Identifier: GPL-3.0-or-later
// A window's description made of Qt widgets: one widget for each row, at
// its place, with its text, ink and font; the window keeps them by the
// identifiers its logic knows.
#pragma once

#include <QString>

#include <map>
#include <vector>

#include "logic/WindowTables.h"

class QWidget;

namespace qtface {

QString fromUtf8(const char* text);

class Described {
public:
    // Makes every row but the drawing panels (the window makes those) as
    // children of window, in the table's order (later rows lie above).
    void build(QWidget* window, const logic::ui::WindowDescription& d);
    // The control with this identifier (null if the table has none).
    QWidget* operator[](int id) const {
        const auto it = byId_.find(id);
        return it == byId_.end() ? nullptr : it->second;
    }
    template <typename T>
    T* get(int id) const {
        return static_cast<T*>((*this)[id]);
    }

    // A tab page (1..) of a window with tabs.
    QWidget* page(int n) const { return pages_[static_cast<std::size_t>(n - 1)]; }

private:
    std::map<int, QWidget*> byId_;
    std::vector<QWidget*> pages_;
};

}  // namespace qtface
