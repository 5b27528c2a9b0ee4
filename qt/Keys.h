// SPDX-License-Identifier: GPL-3.0-or-later
// A Qt key press as the windows' descriptions name keys, and the one place
// where a window's own keys reach it before its focused control does.
#pragma once

#include <functional>
#include <optional>

#include "logic/WindowTables.h"

class QKeyEvent;
class QWidget;

namespace qtface {

// The chord of a key press; none for a key no description names.
std::optional<logic::ui::Chord> chordOf(const QKeyEvent& e);

// A window that gives some keys a meaning of its own: take() is asked
// before the focused control sees the key, and true keeps it from that
// control. Installed once for the whole program.
class KeyTaker {
public:
    virtual ~KeyTaker() = default;
    virtual bool take(const logic::ui::Chord& chord, bool repeat) = 0;
};
void routeWindowKeys();

}  // namespace qtface
