// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/WindowLogic.h"

namespace logic::ui {

WindowLogic::WindowLogic(const WindowDescription& d) : d_(d) {}

const Shown& WindowLogic::shown(int id) const {
    auto [it, added] = shown_.try_emplace(id);
    if (added) it->second.text = d_.byId(id).text;
    return it->second;
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
