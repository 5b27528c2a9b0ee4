// SPDX-License-Identifier: GPL-3.0-or-later
// A window's description made of Qt widgets: one widget for each row, at
// its place, with its text, ink and font, kept by the identifiers its logic
// knows; each user's act handed to the logic by identifier, and what the
// logic changed shown. The main window and every child window are made so.
#pragma once

#include <QString>

#include <functional>
#include <map>
#include <vector>

#include "logic/WindowLogic.h"
#include "logic/WindowTables.h"

class QObject;
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
    // The identifier of the control w is or lies in (0: none).
    int idOf(const QWidget* w) const;

    // A tab page (1..) of a window with tabs.
    QWidget* page(int n) const { return pages_[static_cast<std::size_t>(n - 1)]; }

    // Hands every press, choice, slider move and typed text to logic, then
    // calls after (which shows what changed). The toggles are one choice.
    void bind(QObject* window, logic::ui::WindowLogic& logic, const std::function<void()>& after);
    // Shows what logic changed since it was last asked. A control with the
    // focus that the logic disabled gives the focus to the logic's choice.
    void show(logic::ui::WindowLogic& logic);

private:
    void apply(const logic::ui::WindowLogic& logic, const logic::ui::WindowLogic::Change& c);

    std::map<int, QWidget*> byId_;
    std::vector<QWidget*> pages_;
};

}  // namespace qtface
