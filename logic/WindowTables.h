// SPDX-License-Identifier: GPL-3.0-or-later
// Every window as data: its controls (kind, text, place, the identifier its
// logic knows them by), the control it opens on, the keys it gives a meaning
// of its own and the entries of its menus. A face makes a native control for
// each row, turns a native key into a Chord and asks the window's logic what
// it means; it spells no text, place or key itself. The texts are the
// windows' own, typos included, in UTF-8; the places are client pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace logic::ui {

struct Rect {
    int x, y, width, height;
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
};

enum class Kind : std::uint8_t {
    RaisedBox,   // a raised panel; its text, if any, red and bold at (8, 3)
    ButtonBox,   // the same in the main window's grey-blue, round its buttons
    SunkenBox,   // a sunken bevel
    Group,       // a group frame with its caption
    Label,       // text (lines split at '\n', words wrapped at its width); sized to its text when width is 0
    StatusLine,  // a sunken line of text, centred, changed by the logic
    Button,      // a push button
    Toggle,      // a button that stays down while it is the one chosen (flat when inked)
    List,        // a drop-down list (data: the open list's width, 0 as the closed one)
    Table,       // the codes' table
    Picture,     // a status picture in a sunken frame (data: the picture)
    Panel,       // a drawing panel (data: its number)
    Tabs,        // tabs over the whole window (the pages' names: tabNames)
    Slider,      // a 0..100 slider with a tick every 10
    Radio,       // a round choice (data 1: the one chosen and enabled; -1: disabled)
    Check,       // a check box
    EditList,    // a drop-down list one may also type into
    Drawing,     // shapes over its whole place, a unit a pixel, unframed (data: see drawing())
};

enum class Ink : std::uint8_t { Plain, Navy, Red, DarkRed };

struct TableColumn {
    const char* heading;
    int width;  // the Qt table's cell; the Windows list adds its picture room to the first
};

struct Control {
    int id;  // what the window's logic calls it; 0 for decoration
    Kind kind;
    const char* text;  // as shown; "" for none
    Rect place;        // in the window's client area
    Ink ink = Ink::Plain;
    bool bold = false;
    int fontPixels = 0;  // 0: the window's font
    int data = 0;
    int page = 0;  // the tab page it lies on (1..): its place is then the page's
    // A table's columns; data 1: its rows are chosen by the user (chosen()
    // with the row), 0: shown only.
    const std::vector<TableColumn>* columns = nullptr;
};

struct WindowDescription {
    const char* title;
    int width, height;  // the client area
    std::vector<Control> controls;
    int opensOn = 0;                         // the harmless control the focus is on first
    std::vector<const char*> tabNames = {};  // the pages of a window with tabs
    int fontPixels = 0;                      // the window's font, Arial of this size (0: the system's)
    // The row with this identifier (the first row if there is none).
    const Control& byId(int id) const;
};

// ---- keys -----------------------------------------------------------------

enum class Key : std::uint8_t {
    None,
    Letter,    // which: 'A'..'Z'
    Function,  // which: 1..12
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    PageUp,
    PageDown,
    Delete,
    Plus,  // '+', '=' and the keypad's '+'
    Minus,
    Comma,
    Period,
    Escape,
    Enter,
    Space,
    Tab,
};
enum : std::uint8_t { kShift = 1, kCtrl = 2, kAlt = 4 };

// A key with exactly these modifiers held.
struct Chord {
    Key key = Key::None;
    int which = 0;
    std::uint8_t mods = 0;
    bool operator==(const Chord& o) const { return key == o.key && which == o.which && mods == o.mods; }
};
constexpr Chord letter(char c, std::uint8_t mods = 0) { return {Key::Letter, c, mods}; }
constexpr Chord key(Key k, std::uint8_t mods = 0) { return {k, 0, mods}; }
// As a menu shows it: "Ctrl+Shift+S", "End", "+".
std::string chordText(const Chord& c);
// The key of a typed character (Unicode), as the US layout names the key
// it sits on: Latin letters as themselves, Russian ones by their place on
// the ЙЦУКЕН keyboard (З is P, С is C, Б is the comma), and + = - , . as
// their keys. None for any other character.
Chord chordOfCharacter(char32_t c, std::uint8_t mods);

// ---- the main window --------------------------------------------------------

enum MainId : int {
    kPresetBox = 1,
    kCommandBox,
    kPreset1 = 100,  // kPreset1 + n - 1 for preset n
    kControl = 201,
    kSettings,
    kErrors,
    kAbout,
    kStart,
    kStop,
    kExit,
    kPanel1 = 301,  // kPanel1 + k - 1 for panel k
};
const WindowDescription& mainWindow();

// What the main window's keys and chart menu do.
enum class Command : std::uint8_t {
    None,
    Pause,
    Earlier,
    Later,
    EarlierSpan,
    LaterSpan,
    Oldest,
    Live,
    ZoomIn,
    ZoomOut,
    Cursor,
    SecondCursor,
    CursorEarlier,
    CursorLater,
    ClearCursors,
    SaveCharts,
    SaveWindow,
    SaveTable,
    SaveRange,
    Compare,        // the same car's previous drive beside this one (again: no longer)
    Report,         // the drive's report, saved and opened in the browser
    Journal,        // the journal of visits
    OpenRecording,  // a recording chosen in the open dialog, reviewed in a window of its own
    Manual,         // the manual, in the system's browser (no key: F1 is a preset)
};
struct KeyBinding {
    Chord chord;
    Command command;
};
// The window's own keys, whichever of its buttons has the focus; Space and
// Enter stay the focused button's, F1..F12 the presets'.
const std::vector<KeyBinding>& mainWindowKeys();
// The first chord bound to a command (shown beside it in the menu).
Chord chordOf(Command c);
// Whether a held key's repeats run the command again: those that move the
// charts or a cursor do; one that toggles, opens or saves runs once however
// long its key is held.
bool repeats(Command c);

// One entry of a menu as a face shows it.
struct MenuItem {
    int id = 0;  // handed back when chosen; 0 for a separator
    std::string text;
    std::string keys;  // shown at the right
    bool enabled = true;
    bool checkable = false, checked = false;
    std::vector<MenuItem> submenu;  // with text: a submenu, not an entry
    bool separator() const { return id == 0 && submenu.empty(); }
};
// The chart menu's entries, in order, with their captions; the main
// window's logic says which are enabled.
struct ChartMenuEntry {
    Command command;  // None: a separator
    const char* text;
};
const std::vector<ChartMenuEntry>& chartMenuEntries();
// The replay speeds offered, the multiple or 0 for the whole drive at once,
// and the submenu's caption.
const std::vector<int>& replaySpeeds();
std::string replaySpeedText(int speed);
extern const char* const kReplaySpeedMenu;
// Menu identifiers: a command's, or kSpeedItem + speed.
enum : int { kSpeedItem = 1000 };

// The error box's caption.
inline constexpr const char* kErrorTitle = "Ошибка";
// The notice on a screen of another width: one picture on a raised panel, a
// warning sign with the request (kNoticeText) in red on its grey, shown for
// kNoticeMs or until it is closed; then the program ends.
enum NoticeId : int { kNoticeText = 1 };
const WindowDescription& resolutionNotice();
constexpr int kNoticeMs = 4000;

// ---- the codes window -------------------------------------------------------

enum ErrorsId : int { kCodesTable = 1, kCount, kClear, kErrorsExit, kSaveCodes };
const WindowDescription& errorCodesWindow();
const std::vector<TableColumn>& codesColumns();

// ---- the settings dialog ------------------------------------------------------

enum SettingsId : int {
    kSettingsTabs = 1,
    kSetButton1 = 10,  // kSetButton1 + n - 1 for "F<n>"
    kParamList1 = 30,  // kParamList1 + k - 1 for list k (1..5)
    kSlider1 = 40,     // kSlider1 + i for slider i (grid, name, value, graph; each red, green, blue, brightness)
    kColourReset = 60,
    kPortList,
    kWakeByte,
    kWakeBreak,
    kReconnect,
    kAdapterList,
    kElmRateList,
    kJournalRecord,
    kJournalKeep,
    kJournalFolder,
};
const WindowDescription& settingsWindow();

// ---- the journal of visits ----------------------------------------------------

enum JournalId : int {
    kJournalSearch = 1,
    kJournalFind,
    kJournalCars,
    kJournalVisits,
    kJournalActions,
    kJournalReplay,
    kJournalReport,
    kJournalOpenFile,
    kJournalExit,
    kJournalStatus,
};
const WindowDescription& journalWindow();
// What a file dialog is for, and the kinds of file it offers, in order: a
// name saved without an ending gets the first one's.
enum class FileKind { Picture, Table, Report, Recording };
struct FileType {
    const char* name;
    const char* pattern;  // "*.m797"
};
const std::vector<FileType>& fileTypes(FileKind kind);

// ---- "О программе" -----------------------------------------------------------

// The program (kAboutText: its name and version), its licence and the
// window's keys (UTF-8), a line each, above "OK" (where it opens) and
// "Руководство" (the manual).
enum AboutId : int { kAboutText = 1, kAboutOk, kAboutManual };
const WindowDescription& aboutWindow();
std::string aboutText();

// ---- the control window and its confirmations ------------------------------

enum ControlId : int { kControlList = 1, kControlStatus, kControlLeft, kControlRight };
const WindowDescription& controlWindow();
// Keys the control window's list never gets: Home, End, Page Up and Page
// Down would jump to the reset entries, whose choice opens a confirmation,
// and a letter would choose the first entry it begins ("С": "Сброс ЭБУ").
bool controlWindowSwallows(const Chord& c);

enum ConfirmId : int { kYes = 1, kNo };
const WindowDescription& resetConfirmation();
const WindowDescription& initialisationConfirmation();
// A confirmation's keys: Escape is "Нет", Enter and Space the focused
// button's; the arrows move nothing (the focus stays on "Нет").
bool confirmationSwallows(const Chord& c);

}  // namespace logic::ui
