// SPDX-License-Identifier: GPL-3.0-or-later
// The programs' messages in the reader's language. The code says them in
// English; po/ru.po (a GNU gettext catalogue that translators edit, checked
// by msgfmt) gives them in Russian and is compiled into the programs, so
// that the window speaks Russian whatever the locale and the terminal the
// locale's language, on every system. Status texts and wire bytes are never
// translated.
#pragma once

#include <string>

namespace platform {

enum class Language { English, Russian };

// The terminal's: Russian when the first of LANGUAGE, LC_ALL, LC_MESSAGES
// and LANG that is set begins with "ru".
Language terminalLanguage();

// text in language: a catalogue entry that matches it whole, or one whose %s
// parts stand for any text (those parts translated in turn where the
// catalogue knows them); otherwise text as it is. Several lines are
// translated line by line.
std::string translate(const std::string& text, Language language);
inline std::string forTerminal(const std::string& text) { return translate(text, terminalLanguage()); }
inline std::string forWindow(const std::string& text) { return translate(text, Language::Russian); }

}  // namespace platform
