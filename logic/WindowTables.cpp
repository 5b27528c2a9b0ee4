// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/WindowTables.h"

#include <algorithm>

#include "ecu/DtcTable.h"
#include "logic/StatusPictures.h"
#include "painting/PanelLayout.h"

namespace logic::ui {

const Control& WindowDescription::byId(int id) const {
    for (const Control& c : controls)
        if (c.id == id) return c;
    return controls.front();
}

std::string chordText(const Chord& c) {
    std::string s;
    if (c.mods & kCtrl) s += "Ctrl+";
    if (c.mods & kAlt) s += "Alt+";
    if (c.mods & kShift) s += "Shift+";
    switch (c.key) {
        case Key::Letter:
            return s + static_cast<char>(c.which);
        case Key::Function:
            return s + "F" + std::to_string(c.which);
        case Key::Left:
            return s + "Left";
        case Key::Right:
            return s + "Right";
        case Key::Up:
            return s + "Up";
        case Key::Down:
            return s + "Down";
        case Key::Home:
            return s + "Home";
        case Key::End:
            return s + "End";
        case Key::PageUp:
            return s + "PgUp";
        case Key::PageDown:
            return s + "PgDown";
        case Key::Delete:
            return s + "Delete";
        case Key::Plus:
            return s + "+";
        case Key::Minus:
            return s + "-";
        case Key::Comma:
            return s + ",";
        case Key::Period:
            return s + ".";
        case Key::Escape:
            return s + "Esc";
        case Key::Enter:
            return s + "Enter";
        case Key::Space:
            return s + "Space";
        case Key::Tab:
            return s + "Tab";
        case Key::None:
            break;
    }
    return s;
}

Chord chordOfCharacter(char32_t c, std::uint8_t mods) {
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c >= 'A' && c <= 'Z') return letter(static_cast<char>(c), mods);
    if (c >= 0x0430 && c <= 0x044F) c -= 0x20;  // а..я to А..Я
    if (c == 0x0451) c = 0x0401;                // ё to Ё
    // А..Я on the ЙЦУКЕН keyboard: the US key under each; 0 for none.
    static const char kUnder[32] = {'F', ',', 'D', 'U', 'L', 'T', ';', 'P', 'B', 'Q', 'R', 'K', 'V', 'Y',  'J', 'G',
                                    'H', 'C', 'N', 'E', 'A', '[', 'W', 'X', 'I', 'O', ']', 'S', 'M', '\'', '.', 'Z'};
    if (c >= 0x0410 && c <= 0x042F) {
        const char under = kUnder[c - 0x0410];
        if (under >= 'A' && under <= 'Z') return letter(under, mods);
        c = static_cast<unsigned char>(under);
    }
    switch (c) {
        case '+':
        case '=':
            return key(Key::Plus, mods);
        case '-':
            return key(Key::Minus, mods);
        case ',':
            return key(Key::Comma, mods);
        case '.':
            return key(Key::Period, mods);
        default:
            return {};
    }
}

// ---- the main window --------------------------------------------------------

namespace {

WindowDescription makeMainWindow() {
    WindowDescription d{"M7.9.7", 1024, 740, {}, 0};
    for (int k = 1; k <= 7; ++k) {
        const display::PanelPlace& p = display::panelPlace(k);
        d.controls.push_back(
            {kPanel1 + k - 1, Kind::Panel, "", {p.x, p.y, p.width, p.height}, Ink::Plain, false, 0, k});
    }
    d.controls.push_back({kPresetBox, Kind::ButtonBox, "Наборы параметров", {808, 16, 201, 73}});
    static const char* const numbers[12] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
    for (int n = 1; n <= 12; ++n) {
        const int col = (n - 1) % 6;
        const Rect r{808 + 8 + 32 * col, 16 + (n <= 6 ? 24 : 48), n == 12 ? 25 : 23, n == 12 ? 18 : 17};
        d.controls.push_back({kPreset1 + n - 1, Kind::Toggle, numbers[n - 1], r, Ink::Navy, true});
    }
    d.controls.push_back({kCommandBox, Kind::ButtonBox, "", {808, 96, 201, 137}});
    const struct {
        int id;
        const char* text;
        int x, y;
        Ink ink;
    } commands[] = {{kControl, "Управление", 8, 8, Ink::Navy}, {kSettings, "Настройка", 104, 8, Ink::Navy},
                    {kErrors, "Ошибки", 8, 40, Ink::Navy},     {kAbout, "О программе", 104, 40, Ink::Navy},
                    {kStart, "Старт", 8, 72, Ink::Red},        {kStop, "Стоп", 104, 72, Ink::Red},
                    {kExit, "Выход", 56, 104, Ink::Navy}};
    for (const auto& c : commands)
        d.controls.push_back({c.id, Kind::Button, c.text, {808 + c.x, 96 + c.y, 89, 22}, c.ink, true, 11});
    d.controls.push_back({0, Kind::Label, "v 1. 0 ", {920, 304, 0, 0}, Ink::Plain, true});
    d.controls.push_back({0, Kind::Label, "Win 9x", {968, 304, 0, 0}, Ink::Plain, true});
    d.opensOn = kStart;
    return d;
}

}  // namespace

const WindowDescription& mainWindow() {
    static const WindowDescription d = makeMainWindow();
    return d;
}

const std::vector<KeyBinding>& mainWindowKeys() {
    static const std::vector<KeyBinding> keys = {
        {letter('P'), Command::Pause},
        {key(Key::Left), Command::Earlier},
        {key(Key::Left, kCtrl), Command::EarlierSpan},
        {key(Key::Right), Command::Later},
        {key(Key::Right, kCtrl), Command::LaterSpan},
        {key(Key::Home), Command::Oldest},
        {key(Key::End), Command::Live},
        {key(Key::Plus), Command::ZoomIn},
        {key(Key::Plus, kShift), Command::ZoomIn},  // '+' above '=' is typed with Shift
        {key(Key::Minus), Command::ZoomOut},
        {letter('C'), Command::Cursor},
        {letter('C', kShift), Command::SecondCursor},
        {key(Key::Comma), Command::CursorEarlier},
        {key(Key::Period), Command::CursorLater},
        {key(Key::Delete), Command::ClearCursors},
        {letter('S', kCtrl), Command::SaveCharts},
        {letter('S', kCtrl | kShift), Command::SaveWindow},
        {letter('E', kCtrl), Command::SaveTable},
        {letter('E', kCtrl | kShift), Command::SaveRange},
        {letter('R', kCtrl), Command::Report},
        {letter('L', kCtrl), Command::Compare},
        {letter('J', kCtrl), Command::Journal},
        {letter('O', kCtrl), Command::OpenRecording},
        // Up and Down move the focus to no other button, as Left and Right,
        // the look-back's keys, do not.
        {key(Key::Up), Command::None},
        {key(Key::Down), Command::None},
    };
    return keys;
}

Chord chordOf(Command c) {
    for (const KeyBinding& b : mainWindowKeys())
        if (b.command == c) return b.chord;
    return {};
}

bool repeats(Command c) {
    switch (c) {
        case Command::Earlier:
        case Command::Later:
        case Command::EarlierSpan:
        case Command::LaterSpan:
        case Command::ZoomIn:
        case Command::ZoomOut:
        case Command::CursorEarlier:
        case Command::CursorLater:
            return true;
        default:
            return false;
    }
}

const std::vector<ChartMenuEntry>& chartMenuEntries() {
    static const std::vector<ChartMenuEntry> entries = {
        {Command::Pause, "Пауза"},  // "Продолжить" while paused
        {Command::Live, "К живым данным"},
        {Command::ZoomIn, "Окно короче"},
        {Command::ZoomOut, "Окно длиннее"},
        {Command::None, ""},
        {Command::Cursor, "Курсор здесь"},
        {Command::SecondCursor, "Второй курсор здесь"},
        {Command::ClearCursors, "Убрать курсоры"},
        {Command::None, ""},
        {Command::SaveCharts, "Сохранить графики (PNG)…"},
        {Command::SaveWindow, "Сохранить окно (PNG)…"},
        {Command::SaveTable, "Сохранить историю (CSV)…"},
        {Command::SaveRange, "Сохранить участок между курсорами (CSV)…"},
        {Command::None, ""},
        {Command::Compare, "Прошлая поездка рядом"},  // checked while shown
        {Command::Report, "Отчёт о поездке…"},
        {Command::Journal, "Журнал визитов…"},
        {Command::OpenRecording, "Открыть запись…"},
        {Command::Manual, "Руководство"},
    };
    return entries;
}

const char* const kReplaySpeedMenu = "Скорость воспроизведения";

const std::vector<int>& replaySpeeds() {
    static const std::vector<int> speeds = {1, 2, 4, 8, 0};
    return speeds;
}

std::string replaySpeedText(int speed) { return speed ? "×" + std::to_string(speed) : "Вся запись сразу"; }

const WindowDescription& resolutionNotice() {
    static const WindowDescription d{"Ошибка вывода на экран.",
                                     402,
                                     77,
                                     {{0, Kind::RaisedBox, "", {0, 0, 402, 77}},
                                      {0, Kind::Drawing, "", {2, 2, 398, 73}, Ink::Plain, false, 0, kWarningSign},
                                      {kNoticeText,
                                       Kind::Label,
                                       "Установите разрешение экрана 1024 на 768 точек !",
                                       {78, 6, 318, 66},
                                       Ink::DarkRed,
                                       true,
                                       17}},
                                     kNoticeText,
                                     {},
                                     11};
    return d;
}

// ---- the codes window -------------------------------------------------------

namespace {

WindowDescription makeErrorCodesWindow() {
    WindowDescription d{"Ошибки", 608, 365, {}, kCodesTable};
    d.controls.push_back({0, Kind::SunkenBox, "", {5, 5, 596, 249}});
    d.controls.push_back(
        {kCodesTable, Kind::Table, "", {7, 7, 592, 245}, Ink::Plain, false, 11, 0, 0, &codesColumns()});
    d.controls.push_back({0, Kind::RaisedBox, "", {5, 256, 596, 73}});
    using ecu::DtcPicture;
    const struct {
        int x, y;
        DtcPicture picture;
        const char* text;
    } legend[10] = {
        {8, 8, DtcPicture::Lamp, "Лампа \nдиагностики"},
        {8, 40, DtcPicture::StoredInactive, "Сохранена но\nнеактивна"},
        {120, 8, DtcPicture::Present, "Присутствует \nпри запросе"},
        {120, 40, DtcPicture::Intermittent, "Пропадающая\nошибка"},
        {232, 8, DtcPicture::TestNotCompleted, "Тест  не\nзакончен"},
        {232, 40, DtcPicture::TestCompleted, "Тест\nзакончен"},
        {320, 8, DtcPicture::AboveMaximum, "Превышение\nмаксимального порога"},
        {320, 40, DtcPicture::BelowMinimum, "Превышение\nминимального порога"},
        {480, 8, DtcPicture::InvalidSignal, "Неверный\nсигнал"},
        {480, 40, DtcPicture::NoSignal, "Отсутствие\nсигнала"},
    };
    for (const auto& e : legend) {
        d.controls.push_back(
            {0, Kind::Picture, "", {5 + e.x, 256 + e.y, 25, 25}, Ink::Plain, false, 0, static_cast<int>(e.picture)});
        // 130 pixels wide, the last column's up to the legend's edge.
        const int width = e.x == 480 ? 85 : 130;
        d.controls.push_back({0, Kind::Label, e.text, {5 + e.x + 28, 256 + e.y, width, 26}, Ink::Plain, false, 10});
    }
    // The count's box makes room for "Сохранить" at its right end.
    d.controls.push_back({0, Kind::RaisedBox, "", {96, 336, 330, 22}});
    d.controls.push_back({0, Kind::Label, "Количество ошибок", {216, 339, 130, 16}});
    d.controls.push_back({kCount, Kind::Label, "0", {356, 339, 40, 16}});
    d.controls.push_back({kClear, Kind::Button, "Сброс", {8, 336, 81, 22}});
    d.controls.push_back({kSaveCodes, Kind::Button, "Сохранить", {431, 336, 81, 22}});
    d.controls.push_back({kErrorsExit, Kind::Button, "Выход", {518, 336, 81, 22}});
    return d;
}

}  // namespace

const WindowDescription& errorCodesWindow() {
    static const WindowDescription d = makeErrorCodesWindow();
    return d;
}

const std::vector<TableColumn>& codesColumns() {
    static const std::vector<TableColumn> columns = {{"      Код", 52}, {"1", 16}, {"2", 16},
                                                     {"3", 16},         {"4", 16}, {"5", 436}};
    return columns;
}

// ---- the settings dialog ------------------------------------------------------

namespace {

WindowDescription makeSettingsWindow() {
    WindowDescription d{"Настройка программы", 513, 309, {}, kSettingsTabs};
    d.tabNames = {"Ноборы параметров", "Цветовая схема", "Выбор ЭБУ", "Com Port", "Журнал"};
    auto add = [&d](int page, Control c) {
        c.page = page;
        d.controls.push_back(c);
    };
    d.controls.push_back({kSettingsTabs, Kind::Tabs, "", {0, 0, 513, 309}});

    // The presets and the five lists of the preset down.
    add(1, {0, Kind::Group, "Наборы", {8, 8, 489, 41}});
    static const char* const keys[12] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"};
    for (int n = 1; n <= 12; ++n)
        add(1, {kSetButton1 + n - 1, Kind::Toggle, keys[n - 1], {16 + 40 * (n - 1), 24, 33, 17}});
    add(1, {0, Kind::Group, "Параметры", {8, 56, 489, 217}});
    // The longest entries are wider than the closed lists: the open ones show them whole.
    for (int k = 1; k <= 5; ++k)
        add(1, {kParamList1 + k - 1, Kind::List, "", {16, 80 + 40 * (k - 1), 473, 22}, Ink::Plain, false, 11, 560});

    // The colours: a box for each of the grid, the name, the value and the
    // graph, left to right name, value, graph, grid.
    const struct {
        const char* caption;
        int left, group;
    } boxes[4] = {{"Имя параметра", 8, 1}, {"Параметр", 131, 2}, {"График", 254, 3}, {"Сетка", 377, 0}};
    static const char* const components[4] = {"Красный", "Зеленый", "Синий", "Яркость"};
    for (const auto& b : boxes) {
        add(2, {0, Kind::Group, b.caption, {b.left, 24, 122, 193}});
        for (int c = 0; c < 4; ++c) {
            add(2, {0, Kind::Label, components[c], {b.left + 8, 24 + 16 + 44 * c, 100, 14}});
            add(2, {kSlider1 + b.group * 4 + c, Kind::Slider, "", {b.left + 8, 24 + 30 + 44 * c, 106, 24}});
        }
    }
    add(2, {kColourReset, Kind::Button, "Сброс", {432, 240, 65, 22}});

    // The ECUs: only this one can be chosen.
    const struct {
        const char* group;
        std::vector<const char*> choices;
        Rect place;
    } groups[5] = {
        {"Bosch 1.5.4", {"Bosch 1.5.4 P83", "Bosch 1.5.4 N"}, {8, 8, 160, 70}},
        {"Bosch MP 7", {"Bosch MP 7 E2", "Bosch MP 7 E3"}, {176, 8, 160, 70}},
        {"Bosch M7.9.7", {"Bosch M7.9.7 E2", "Bosch M7.9.7 E3"}, {344, 8, 153, 70}},
        {"VS 5.1", {"VS 5.1 P83", "VS 5.1 E2"}, {8, 86, 160, 70}},
        {"Январь", {"Январь 5.1  Е2", "Январь 5.1.1 Р83", "Январь 5.1.2 Р83", "Январь 7.2"}, {176, 86, 160, 122}}};
    for (const auto& g : groups) {
        add(3, {0, Kind::Group, g.group, g.place});
        int y = 20;
        for (const char* choice : g.choices) {
            const bool ours = std::string(choice) == "Bosch M7.9.7 E2";
            add(3, {0,
                    Kind::Radio,
                    choice,
                    {g.place.x + 8, g.place.y + y, g.place.width - 12, 20},
                    Ink::Plain,
                    false,
                    0,
                    ours ? 1 : -1});
            y += 24;
        }
    }

    // The port and the wake-up, used from the next "Старт".
    add(4, {0, Kind::Group, "Порт адаптера", {8, 8, 489, 81}});
    add(4, {kPortList, Kind::EditList, "", {16, 30, 473, 22}});
    add(4, {0, Kind::Label, "Выбор действует со следующего нажатия \"Старт\".", {16, 60, 473, 18}});
    add(4, {0, Kind::Group, "Пробуждение ЭБУ", {8, 97, 489, 73}});
    add(4, {kWakeByte, Kind::Radio, "Байт 0x00 на 360 бод (подходит всем USB-адаптерам)", {16, 117, 473, 20}});
    add(4, {kWakeBreak, Kind::Radio, "Break 25 мс", {16, 141, 473, 20}});
    add(4, {kReconnect, Kind::Check, "Переподключаться автоматически", {16, 178, 473, 20}});
    // The kind of adapter, and an ELM327's serial rate.
    add(4, {0, Kind::Group, "Подключение", {8, 206, 489, 49}});
    add(4, {0, Kind::Label, "Адаптер:", {16, 228, 64, 18}});
    add(4, {kAdapterList, Kind::List, "", {84, 225, 130, 22}});
    add(4, {0, Kind::Label, "Скорость ELM327, бод:", {230, 228, 156, 18}});
    add(4, {kElmRateList, Kind::List, "", {390, 225, 99, 22}});

    // The journal of visits: whether each session is one, and how much of
    // the recordings is kept.
    add(5, {0, Kind::Group, "Журнал визитов", {8, 8, 489, 113}});
    add(5, {kJournalRecord, Kind::Check, "Записывать каждый сеанс с автомобилем в журнал", {16, 30, 473, 20}});
    add(5, {0, Kind::Label, "Хранить записи обмена не более:", {16, 62, 230, 18}});
    add(5, {kJournalKeep, Kind::List, "", {250, 59, 140, 22}});
    add(5, {0, Kind::Label, "Выбор действует со следующего запуска программы.", {16, 92, 473, 18}});
    add(5, {kJournalFolder, Kind::Label, "", {16, 132, 481, 36}});
    return d;
}

}  // namespace

const WindowDescription& settingsWindow() {
    static const WindowDescription d = makeSettingsWindow();
    return d;
}

// ---- the journal of visits ----------------------------------------------------

namespace {

WindowDescription makeJournalWindow() {
    static const std::vector<TableColumn> cars = {
        {"VIN", 170}, {"Номер ЭБУ", 150}, {"Автомобиль", 180}, {"Визитов", 70}, {"Последний визит", 170}};
    static const std::vector<TableColumn> visits = {{"Начало", 150}, {"Конец", 150},  {"Состояние", 100},
                                                    {"Порт", 200},   {"Адаптер", 70}, {"Действий", 70}};
    static const std::vector<TableColumn> actions = {{"Время, с", 70}, {"Действие", 670}};
    WindowDescription d{"Журнал визитов", 760, 500, {}, kJournalCars};
    // Each table in a sunken bevel, as the codes' table.
    const auto table = [&d](int id, Rect place, const std::vector<TableColumn>& columns) {
        d.controls.push_back({0, Kind::SunkenBox, "", {place.x - 2, place.y - 2, place.width + 4, place.height + 4}});
        d.controls.push_back({id, Kind::Table, "", place, Ink::Plain, false, 12, 1, 0, &columns});
    };
    d.controls.push_back({0, Kind::Label, "Поиск по VIN и идентификации:", {8, 12, 210, 18}});
    d.controls.push_back({kJournalSearch, Kind::EditList, "", {222, 9, 300, 22}});
    d.controls.push_back({kJournalFind, Kind::Button, "Найти", {530, 9, 80, 22}});
    d.controls.push_back({0, Kind::Label, "Автомобили", {8, 40, 300, 16}, Ink::Navy, true});
    table(kJournalCars, {8, 58, 744, 110}, cars);
    d.controls.push_back({0, Kind::Label, "Визиты автомобиля, последний первым", {8, 176, 300, 16}, Ink::Navy, true});
    table(kJournalVisits, {8, 194, 744, 110}, visits);
    d.controls.push_back({0, Kind::Label, "Что было сделано за визит", {8, 312, 300, 16}, Ink::Navy, true});
    table(kJournalActions, {8, 330, 744, 110}, actions);
    d.controls.push_back({kJournalReplay, Kind::Button, "Открыть поездку", {8, 448, 140, 24}});
    d.controls.push_back({kJournalReport, Kind::Button, "Открыть отчёт", {156, 448, 140, 24}});
    d.controls.push_back({kJournalOpenFile, Kind::Button, "Открыть запись…", {304, 448, 140, 24}});
    d.controls.push_back({kJournalExit, Kind::Button, "Закрыть", {672, 448, 80, 24}});
    d.controls.push_back({kJournalStatus, Kind::Label, "", {8, 478, 744, 18}});
    return d;
}

}  // namespace

const WindowDescription& journalWindow() {
    static const WindowDescription d = makeJournalWindow();
    return d;
}

const std::vector<FileType>& fileTypes(FileKind kind) {
    static const std::vector<FileType> picture = {{"PNG", "*.png"}}, table = {{"CSV", "*.csv"}};
    // A report may also be written for other programs.
    static const std::vector<FileType> report = {{"HTML", "*.html"}, {"JSON", "*.json"}};
    // The journal's recordings end in .m797; one made with --record may be
    // named anything.
    static const std::vector<FileType> recording = {{"Записи поездок", "*.m797"}, {"Все файлы", "*"}};
    switch (kind) {
        case FileKind::Picture:
            return picture;
        case FileKind::Table:
            return table;
        case FileKind::Report:
            return report;
        case FileKind::Recording:
            break;
    }
    return recording;
}

// ---- "О программе" -----------------------------------------------------------

std::string aboutText() {
    return "Тестер M7.9.7, версия " M797_VERSION
           "\n"
           "Диагностика ЭБУ Bosch M7.9.7 по K-линии (KWP2000, ISO 14230).\n"
           "Свободная программа: GNU GPL версии 3 или более поздней.\n"
           "\n"
           "Клавиши окна:\n"
           "F1…F12 — наборы параметров 1…12\n"
           "Пробел, Enter — нажать кнопку с фокусом\n"
           "P — пауза графиков и возврат к живому (опрос идёт дальше)\n"
           "стрелки влево и вправо — назад и вперёд по поездке (с Ctrl — на целое окно)\n"
           "Home — к началу поездки, End — к живым данным\n"
           "+ и - — окно времени короче и длиннее (и Ctrl+колесо мыши)\n"
           "колесо мыши — назад и вперёд по поездке\n"
           "щелчок по графику, C — курсор; Shift+щелчок, Shift+C — второй курсор\n"
           "запятая и точка — курсор на цикл опроса раньше и позже; Delete — убрать курсоры\n"
           "Ctrl+S — графики в PNG, Ctrl+Shift+S — всё окно в PNG\n"
           "Ctrl+E — историю в CSV, Ctrl+Shift+E — участок между курсорами в CSV\n"
           "Ctrl+R — отчёт о поездке: сохранить и открыть в браузере\n"
           "Ctrl+J — журнал визитов, Ctrl+O — открыть запись поездки\n"
           "Ctrl+L — прошлая поездка этого автомобиля рядом на графиках\n"
           "правая кнопка мыши на графиках — то же в меню";
}

const WindowDescription& aboutWindow() {
    // Laid out for Arial of 11 pixels: a label for each line, 13 pixels apart.
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> out;
        const std::string text = aboutText();
        for (std::size_t at = 0, end = 0; at <= text.size(); at = end + 1) {
            end = std::min(text.find('\n', at), text.size());
            out.push_back(text.substr(at, end - at));
        }
        return out;
    }();
    static const WindowDescription d = [] {
        const int height = 13 * static_cast<int>(lines.size());
        WindowDescription w{"О программе", 480, height + 45, {}, kAboutOk, {}, 11};
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (!lines[i].empty())
                w.controls.push_back({i == 0 ? kAboutText : 0,
                                      Kind::Label,
                                      lines[i].c_str(),
                                      {12, 10 + 13 * static_cast<int>(i), 456, 13}});
        w.controls.push_back({kAboutOk, Kind::Button, "OK", {292, height + 15, 80, 22}});
        w.controls.push_back({kAboutManual, Kind::Button, "Руководство", {380, height + 15, 88, 22}});
        return w;
    }();
    return d;
}

// ---- the control window and its confirmations ------------------------------

const WindowDescription& controlWindow() {
    // The small windows were laid out for Arial of 11 pixels.
    static const WindowDescription d{"Управление",
                                     201,
                                     113,
                                     {{0, Kind::Group, "Управление", {10, 2, 185, 49}},
                                      {kControlList, Kind::List, "", {18, 20, 169, 22}},
                                      {kControlStatus, Kind::StatusLine, "Выл", {10, 58, 185, 17}},
                                      {kControlLeft, Kind::Button, "Вкл", {10, 82, 57, 22}},
                                      {kControlRight, Kind::Button, "Выкл", {138, 82, 57, 22}}},
                                     kControlList,
                                     {},
                                     11};
    return d;
}

bool controlWindowSwallows(const Chord& c) {
    switch (c.key) {
        case Key::Home:
        case Key::End:
        case Key::PageUp:
        case Key::PageDown:
        case Key::Letter:
        case Key::Plus:
        case Key::Minus:
        case Key::Comma:
        case Key::Period:
            return true;
        default:
            return false;
    }
}

namespace {

WindowDescription confirmation(const char* title, std::vector<Control> lines) {
    WindowDescription d{title, 201, 113, {{0, Kind::RaisedBox, "", {0, 0, 201, 113}}}, kNo, {}, 11};
    for (Control& c : lines) d.controls.push_back(c);
    d.controls.push_back({0, Kind::Label, "Вы уверены?", {64, 56, 100, 13}, Ink::Red, true});
    d.controls.push_back({kYes, Kind::Button, "Да", {8, 80, 57, 22}});
    d.controls.push_back({kNo, Kind::Button, "Нет", {136, 80, 57, 22}});
    return d;
}

}  // namespace

const WindowDescription& resetConfirmation() {
    static const WindowDescription d =
        confirmation("Сбрс ЭБУ", {{0, Kind::Label, "Полный аппаратны сброс блока", {16, 8, 180, 13}},
                                  {0, Kind::Label, "управления  (как по включению).", {16, 24, 180, 13}}});
    return d;
}

const WindowDescription& initialisationConfirmation() {
    static const WindowDescription d =
        confirmation("Инициализация ЭБУ", {{0, Kind::Label, "Полный аппаратный сброс блока", {16, 8, 180, 13}},
                                           {0, Kind::Label, "с инициализацией и очисткой", {24, 24, 170, 13}},
                                           {0, Kind::Label, "данных обучения.", {56, 40, 140, 13}}});
    return d;
}

bool confirmationSwallows(const Chord& c) {
    return c.key == Key::Left || c.key == Key::Right || c.key == Key::Up || c.key == Key::Down || c.key == Key::Home ||
           c.key == Key::End;
}

}  // namespace logic::ui
