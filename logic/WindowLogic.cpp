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

std::vector<WindowLogic::Change> WindowLogic::takeChanges() {
    std::vector<Change> out;
    for (int id : changed_) {
        const Shown& now = shown(id);
        auto [at, first] = handed_.try_emplace(id);
        Shown& was = at->second;
        if (first) was.text = d_.byId(id).text;
        out.push_back({id, now.text != was.text, now.entries != was.entries, now.tip != was.tip});
        was.text = now.text;
        was.entries = now.entries;
        was.tip = now.tip;
    }
    changed_.clear();
    return out;
}

std::vector<int> WindowLogic::takeChanged() {
    std::vector<int> out;
    for (const Change& c : takeChanges()) out.push_back(c.id);
    return out;
}

}  // namespace logic::ui
