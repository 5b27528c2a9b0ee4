// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/WindowLogic.h"

namespace logic::ui {

WindowLogic::WindowLogic(const WindowDescription& d) : d_(d) {}

const Shown& WindowLogic::shown(int id) const {
    auto [it, added] = shown_.try_emplace(id);
    if (added) it->second.text = d_.byId(id).text;
    return it->second;
}

bool WindowLogic::key(const Chord& c, int focused) {
    if ((c.key != Key::Home && c.key != Key::End) || c.mods != 0 || focused == 0) return false;
    const Control& row = d_.byId(focused);
    if (row.id != focused || row.kind != Kind::Table) return false;
    const int rows = static_cast<int>(shown(focused).rows.size());
    if (rows == 0) return true;
    const int to = c.key == Key::Home ? 0 : rows - 1;
    if (row.data == 1)
        chosen(focused, to);
    else
        inView_ = {focused, to};
    return true;
}

Shown& WindowLogic::show(int id) {
    changed_.insert(id);
    return const_cast<Shown&>(shown(id));
}

std::vector<int> WindowLogic::takeChanged() {
    std::vector<int> out(changed_.begin(), changed_.end());
    changed_.clear();
    return out;
}

}  // namespace logic::ui
