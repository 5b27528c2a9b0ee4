// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/WindowLogic.h"

#include <algorithm>

namespace logic::ui {

WindowLogic::WindowLogic(const WindowDescription& d) : d_(d) {}

const Shown& WindowLogic::shown(int id) const {
    auto [it, added] = shown_.try_emplace(id);
    if (added) it->second.text = d_.byId(id).text;
    return it->second;
}

bool WindowLogic::key(const Chord& c, int focused) {
    if (c.mods != 0 || focused == 0) return false;
    const Control& row = d_.byId(focused);
    if (row.id != focused) return false;
    const bool across = c.key == Key::Left || c.key == Key::Right;
    const bool along = c.key == Key::Up || c.key == Key::Down;
    const bool page = c.key == Key::PageUp || c.key == Key::PageDown;
    switch (row.kind) {
        case Kind::Table: {
            if (c.key != Key::Home && c.key != Key::End) return across;
            const int rows = static_cast<int>(shown(focused).rows.size());
            if (rows == 0) return true;
            const int to = c.key == Key::Home ? 0 : rows - 1;
            if (row.data == 1)
                chosen(focused, to);
            else
                inView_ = {focused, to};
            return true;
        }
        case Kind::Button:
        case Kind::Check:
            return across || along;  // Tab moves the focus, the arrows nothing
        case Kind::Toggle:
            return along;  // a row of them: Left and Right choose the next
        case Kind::Radio:
            return across;  // a column of them: Up and Down choose the next
        case Kind::List:
            return across || page || c.key == Key::Space;  // Up and Down choose the next entry
        case Kind::Slider: {
            if (!along && !page) return false;
            const int by = (page ? 10 : 1) * (c.key == Key::Up || c.key == Key::PageUp ? 1 : -1);
            moved(focused, std::clamp(shown(focused).value + by, 0, 100));
            return true;
        }
        default:
            return false;
    }
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
