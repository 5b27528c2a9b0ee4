// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/Keys.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QWidget>

namespace qtface {

using logic::ui::Chord;
using logic::ui::Key;

std::optional<Chord> chordOf(const QKeyEvent& e) {
    const Qt::KeyboardModifiers m = e.modifiers() & ~Qt::KeypadModifier;
    if (m & (Qt::MetaModifier | Qt::GroupSwitchModifier)) return std::nullopt;
    std::uint8_t mods = 0;
    if (m & Qt::ShiftModifier) mods |= logic::ui::kShift;
    if (m & Qt::ControlModifier) mods |= logic::ui::kCtrl;
    if (m & Qt::AltModifier) mods |= logic::ui::kAlt;
    const int k = e.key();
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return Chord{Key::Function, k - Qt::Key_F1 + 1, mods};
    static const std::pair<int, Key> keys[] = {
        {Qt::Key_Left, Key::Left},     {Qt::Key_Right, Key::Right},       {Qt::Key_Up, Key::Up},
        {Qt::Key_Down, Key::Down},     {Qt::Key_Home, Key::Home},         {Qt::Key_End, Key::End},
        {Qt::Key_PageUp, Key::PageUp}, {Qt::Key_PageDown, Key::PageDown}, {Qt::Key_Delete, Key::Delete},
        {Qt::Key_Escape, Key::Escape}, {Qt::Key_Return, Key::Enter},      {Qt::Key_Enter, Key::Enter},
        {Qt::Key_Space, Key::Space},   {Qt::Key_Tab, Key::Tab},           {Qt::Key_Backtab, Key::Tab}};
    for (const auto& [code, key] : keys)
        if (k == code) return logic::ui::key(key, mods);
    // Letters and signs by the key they are on, whatever the layout: with
    // Ctrl held the text is a control character, so the key's own code.
    const char32_t c = k > 0x20 && k < 0x01000000 ? static_cast<char32_t>(k) : 0;
    const Chord chord = logic::ui::chordOfCharacter(c, mods);
    if (chord.key == Key::None) return std::nullopt;
    return chord;
}

namespace {

class Router : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::KeyRelease) {
            noteRelease(*static_cast<const QKeyEvent*>(e));
            return false;
        }
        if (e->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(e);
        const bool repeat = key->isAutoRepeat() || unmarkedRepeat(*key);
        // A held Enter or Space presses nothing again, wherever the focus
        // went after the first press; a held Escape closes one window.
        if (repeat && actsOnce(key->key())) return true;
        auto* widget = qobject_cast<QWidget*>(watched);
        // At the focused control first; a key nobody took travels up to
        // the window and is asked again, to the same answer.
        if (!widget) return false;
        // An open list's keys are still its window's (End in the control
        // window's list must not reach the entries that ask).
        QWidget* window = widget->window();
        if (auto* list = qobject_cast<QComboBox*>(window->parentWidget())) window = list->window();
        auto* taker = dynamic_cast<KeyTaker*>(window);
        if (!taker) return false;
        const auto chord = chordOf(*key);
        return chord && taker->take(*chord, repeat);
    }

private:
    static bool actsOnce(int key) {
        return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
    }
    // The X server repeats a held key as a release and a press of the same
    // moment. Qt marks such a pair only when the press is already queued
    // behind the release as it reads it; on a busy machine it is not yet,
    // and the repeat reads as a new press. Its time still gives it away.
    void noteRelease(const QKeyEvent& key) {
        if (key.isAutoRepeat()) return;
        releasedScanCode_ = key.nativeScanCode();
        releasedAt_ = key.timestamp();
        released_ = true;
    }
    bool unmarkedRepeat(const QKeyEvent& key) const {
        return released_ && key.nativeScanCode() == releasedScanCode_ && key.timestamp() == releasedAt_ &&
               key.timestamp() != 0;
    }

    bool released_ = false;
    quint32 releasedScanCode_ = 0;
    quint64 releasedAt_ = 0;
};

}  // namespace

void routeWindowKeys() {
    static Router router;
    static bool installed = false;
    if (installed || !qApp) return;
    installed = true;
    qApp->installEventFilter(&router);
}

}  // namespace qtface
