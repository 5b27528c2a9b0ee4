// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' descriptions: their own texts (typos kept) at their places,
// each inside its window and named once; the keys with exact modifiers,
// the Russian keyboard's letters at their Latin keys; the chart menu and
// what each of its entries and keys does.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "logic/StatusPictures.h"
#include "logic/WindowTables.h"

namespace {

using namespace logic::ui;

const std::vector<const WindowDescription*>& allWindows() {
    static const std::vector<const WindowDescription*> all = {
        &mainWindow(),        &errorCodesWindow(),           &controlWindow(),
        &resetConfirmation(), &initialisationConfirmation(), &settingsWindow()};
    return all;
}

}  // namespace

TEST(WindowTables, EveryControlLiesInItsWindowWithAnIdOfItsOwnAndTheWindowOpensOnAHarmlessOne) {
    for (const WindowDescription* d : allWindows()) {
        SCOPED_TRACE(d->title);
        std::set<int> ids;
        for (const Control& c : d->controls) {
            EXPECT_GE(c.place.x, 0);
            EXPECT_GE(c.place.y, 0);
            EXPECT_LE(c.place.x + c.place.width, d->width) << c.text;
            EXPECT_LE(c.place.y + c.place.height, d->height) << c.text;
            if (c.id) {
                EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
            }
        }
        ASSERT_TRUE(ids.count(d->opensOn)) << "opens on a control it does not have";
        const std::string first = d->byId(d->opensOn).text;
        // Never a control that clears, switches or resets.
        for (const char* harmful : {"Сброс", "Да", "Вкл", "Выкл", "Стоп"}) EXPECT_NE(first, harmful);
    }
}

TEST(WindowTables, TheWindowsOwnTextsAtTheirPlaces) {
    const auto at = [](const WindowDescription& d, const std::string& text) {
        for (const Control& c : d.controls)
            if (text == c.text) return c.place;
        ADD_FAILURE() << text << " is not in " << d.title;
        return Rect{};
    };
    EXPECT_EQ(at(mainWindow(), "Наборы параметров"), (Rect{808, 16, 201, 73}));
    EXPECT_EQ(at(mainWindow(), "Выход"), (Rect{864, 200, 89, 22}));
    EXPECT_EQ(at(mainWindow(), "12"), (Rect{976, 64, 25, 18}));
    EXPECT_EQ(at(mainWindow(), "Старт"), (Rect{816, 168, 89, 22}));
    EXPECT_EQ(mainWindow().byId(kPanel1 + 6).place, (Rect{807, 324, 193, 401}));
    EXPECT_EQ(at(errorCodesWindow(), "Сброс"), (Rect{8, 336, 81, 22}));
    EXPECT_EQ(at(errorCodesWindow(), "Тест  не\nзакончен"), (Rect{265, 264, 130, 26}));
    EXPECT_EQ(at(controlWindow(), "Выл"), (Rect{10, 58, 185, 17}));
    EXPECT_EQ(at(resetConfirmation(), "Полный аппаратны сброс блока").x, 16);
    EXPECT_STREQ(resetConfirmation().title, "Сбрс ЭБУ");
    EXPECT_EQ(at(initialisationConfirmation(), "Нет"), (Rect{136, 80, 57, 22}));
    EXPECT_EQ(settingsWindow().tabNames.front(), std::string("Ноборы параметров"));
    EXPECT_EQ(at(settingsWindow(), "Break 25 мс"), (Rect{16, 141, 473, 20}));
    EXPECT_EQ(settingsWindow().byId(kSlider1 + 15).place, (Rect{262, 186, 106, 24}));  // the graph's brightness
    EXPECT_EQ(mainWindow().byId(kStart).ink, Ink::Red);
    EXPECT_EQ(mainWindow().byId(kExit).ink, Ink::Navy);
}

TEST(WindowTables, KeysNeedTheirExactModifiersAndRussianLettersActAsTheKeysTheySitOn) {
    std::set<std::string> shown;
    for (const KeyBinding& b : mainWindowKeys()) {
        EXPECT_NE(b.chord.key, Key::None);
        EXPECT_TRUE(shown.insert(chordText(b.chord)).second) << chordText(b.chord) << " bound twice";
    }
    EXPECT_EQ(chordText(chordOf(Command::SaveWindow)), "Ctrl+Shift+S");
    EXPECT_EQ(chordText(chordOf(Command::SecondCursor)), "Shift+C");
    EXPECT_EQ(chordText(chordOf(Command::Live)), "End");
    // What acts only with other modifiers (or none) is not bound.
    const auto bound = [](const Chord& c) {
        for (const KeyBinding& b : mainWindowKeys())
            if (b.chord == c) return true;
        return false;
    };
    EXPECT_FALSE(bound(letter('P', kShift)));
    EXPECT_FALSE(bound(key(Key::Home, kCtrl)));
    EXPECT_FALSE(bound(key(Key::Left, kShift)));
    EXPECT_FALSE(bound(key(Key::Plus, kCtrl)));
    EXPECT_FALSE(bound(letter('C', kCtrl)));

    EXPECT_EQ(chordOfCharacter(U'з', 0), letter('P'));  // P on the Russian layout
    EXPECT_EQ(chordOfCharacter(U'С', kShift), letter('C', kShift));
    EXPECT_EQ(chordOfCharacter(U'ы', kCtrl), letter('S', kCtrl));
    EXPECT_EQ(chordOfCharacter(U'у', kCtrl), letter('E', kCtrl));
    EXPECT_EQ(chordOfCharacter(U'б', 0), key(Key::Comma));
    EXPECT_EQ(chordOfCharacter(U'Ю', 0), key(Key::Period));
    EXPECT_EQ(chordOfCharacter(U'=', 0), key(Key::Plus));
    EXPECT_EQ(chordOfCharacter(U'ж', 0).key, Key::None);  // ';': nothing of ours
    EXPECT_EQ(chordOfCharacter(U'€', 0).key, Key::None);

    // Keys that would reach a confirmation, or move a confirmation's focus
    // off "Нет", never reach the control.
    for (Key k : {Key::Home, Key::End, Key::PageUp, Key::PageDown}) EXPECT_TRUE(controlWindowSwallows(key(k)));
    for (char32_t c : {U'С', U'и', U'C', U'.'}) EXPECT_TRUE(controlWindowSwallows(chordOfCharacter(c, kShift)));
    EXPECT_FALSE(controlWindowSwallows(key(Key::Escape)));
    for (Key k : {Key::Left, Key::Right, Key::Up, Key::Down}) EXPECT_TRUE(confirmationSwallows(key(k)));
    for (Key k : {Key::Escape, Key::Enter, Key::Space, Key::Tab}) EXPECT_FALSE(confirmationSwallows(key(k)));
}

// Every status picture has shapes inside its grid, each with what its kind
// needs (a box two corners, a curve a start and whole Béziers), drawn with
// a pen or a fill; None has none.
TEST(WindowTables, EveryStatusPictureLiesInsideItsGridAndIsDrawable) {
    namespace ui = logic::ui;
    EXPECT_TRUE(ui::statusPicture(ecu::DtcPicture::None).empty());
    for (int p = static_cast<int>(ecu::DtcPicture::Lamp); p <= static_cast<int>(ecu::DtcPicture::NoSignal); ++p) {
        SCOPED_TRACE(p);
        const auto& shapes = ui::statusPicture(static_cast<ecu::DtcPicture>(p));
        ASSERT_FALSE(shapes.empty());
        for (const ui::Shape& s : shapes) {
            EXPECT_TRUE(s.pen || s.fill);
            const std::size_t n = s.points.size();
            const bool corners = s.kind == ui::ShapeKind::Box || s.kind == ui::ShapeKind::Disc;
            EXPECT_TRUE(corners ? n == 2 : s.kind == ui::ShapeKind::Curve ? n % 3 == 1 : n >= 2) << n;
            for (const ui::GridPoint& g : s.points) {
                EXPECT_TRUE(g.x >= 0 && g.x <= ui::kStatusPictureGrid && g.y >= 0 && g.y <= ui::kStatusPictureGrid);
            }
        }
    }
}
