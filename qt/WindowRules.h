// SPDX-License-Identifier: GPL-3.0-or-later
// Two rules every window of the tester keeps, written once.
//
// Keys: a push button is pressed by Enter, Return or Space only while it has
// the keyboard focus. No button is a dialog's default, so Enter in a window
// never reaches "Сброс", "Вкл" or "Да" by itself.
//
// Order: a window belongs to the window it was opened from (the window
// manager is told it is transient for that one), so the manager keeps it in
// front of its owner and raises the two together; a click on a disabled
// owner brings its open window forward instead of burying it.
#pragma once

class QWidget;

namespace qtface {

// Takes every push and tool button of the window under the key rule; safe to
// call again when buttons were added.
void pressOnlyWhenFocused(QWidget* window);

// Makes window belong to owner's window (none: to nothing).
void ownBy(QWidget* window, QWidget* owner);

// Places window in the middle of the screen's free area.
void centreOnScreen(QWidget* window);

// Qt's own dialogs and buttons (the save dialog, "OK", "Отмена") in Russian,
// as the tester's windows are, whatever the locale; false when Qt's
// translations are not installed (they stay English then).
bool speakRussian();

}  // namespace qtface
