// SPDX-License-Identifier: GPL-3.0-or-later
// What the settings dialog does, without a display: presets, colours, port.
#include <gtest/gtest.h>

#include "logic/SettingsWindow.h"
#include "tests/TestSupport.h"

namespace {

struct Rig {
    Rig() {
        stored::loadStoredSettings(store, chart, colours, report());  // the first run's presets
    }
    stored::ErrorReport report() {
        return [this](const std::string& e) { errors.push_back(e); };
    }
    logic::SettingsWindow window(int listSize = 79, std::string inUse = {}) {
        return logic::SettingsWindow(
            store, colours, listSize, [this] { ++redraws; }, report(), {}, std::move(inUse));
    }
    std::string path = testsupport::tempSettingsPath();
    platform::SettingsStore store{path};
    stored::ChartParameters chart{};
    display::ColourScheme colours = display::ColourScheme::builtIn();
    std::vector<std::string> errors;
    int redraws = 0;
};

}  // namespace

TEST(SettingsWindow, APresetsListsShowItsStoredEntriesAndAChoiceIsStoredUnderThePresetDown) {
    Rig rig;
    rig.store.writeInt(stored::setKey(3), "diagram_2", 500);  // outside the list
    rig.store.writeInt(stored::setKey(7), "diagram_1", 4);
    rig.store.writeText(stored::setKey(7), "diagram_2", "abc");  // no number
    auto w = rig.window();
    w.open();
    EXPECT_EQ(w.downSet(), 1);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(w.listEntry(k), k);  // catalogue numbers 2..6 are entries 1..5

    w.selectSet(3);
    EXPECT_EQ(w.listEntry(2), -1);
    w.selectSet(7);  // reads diagram_1, stops at diagram_2 and says so
    EXPECT_EQ(w.listEntry(1), 4);
    EXPECT_EQ(w.listEntry(2), -1);
    EXPECT_EQ(w.listEntry(3), 3);
    ASSERT_EQ(rig.errors.size(), 1u);
    EXPECT_NE(rig.errors[0].find("diagram_2"), std::string::npos);

    w.chooseListEntry(5, 55);
    w.chooseListEntry(4, 79);  // no such entry: nothing stored
    EXPECT_EQ(rig.store.readInt(stored::setKey(7), "diagram_5").value, 55);
    EXPECT_EQ(rig.store.readInt(stored::setKey(7), "diagram_4").value, 4);
    EXPECT_EQ(rig.store.readInt(stored::setKey(1), "diagram_5").value, 5);
    EXPECT_EQ(rig.chart, (stored::ChartParameters{2, 3, 4, 5, 6}));  // the charts wait for the preset button
}

TEST(SettingsWindow, SlidersSetTheColoursAtOnceAndOpeningMovesNoComponentThatSitsOnAStep) {
    Rig rig;
    rig.colours.valueTextColour.b = 0.69f;
    const display::ColourScheme before = rig.colours;
    auto w = rig.window();
    w.open();
    const std::size_t writes = rig.store.replacements();
    EXPECT_EQ(rig.colours.valueTextColour.b, before.valueTextColour.b);
    EXPECT_EQ(rig.colours.gridColour.r, before.gridColour.r);
    EXPECT_EQ(w.sliderPosition(0), 50);   // grid red
    EXPECT_EQ(w.sliderPosition(3), 40);   // grid brightness
    EXPECT_EQ(w.sliderPosition(15), 99);  // graph brightness

    const int redraws = rig.redraws;
    w.moveSlider(12, 100);  // graph red
    EXPECT_FLOAT_EQ(rig.colours.graphColour.r, 1.0f);
    EXPECT_EQ(rig.redraws, redraws + 1);
    w.moveSlider(4, 0);  // name text red
    EXPECT_EQ(rig.colours.nameTextColour.r, 0.0f);

    w.resetColours();
    EXPECT_FLOAT_EQ(rig.colours.gridColour.t, 0.3f);
    EXPECT_FLOAT_EQ(rig.colours.graphColour.r, 0.45f);
    EXPECT_EQ(w.sliderPosition(3), 30);
    EXPECT_EQ(w.sliderPosition(12), 45);
    // Nothing is stored by the dialog: the colours are kept when the program ends.
    EXPECT_EQ(rig.store.replacements(), writes);
}

TEST(SettingsWindow, APortChoiceIsStoredTrimmedAndOnlyWhenItChanges) {
    Rig rig;
    auto w = rig.window();
    w.open();
    EXPECT_EQ(w.portShown().device, "");
    w.choosePort("  /dev/serial/by-id/usb-FTDI-if00 \n", platform::WakeMethod::Break, false);
    const stored::PortChoice stored = stored::loadPortChoice(rig.store);
    EXPECT_EQ(stored.device, "/dev/serial/by-id/usb-FTDI-if00");
    EXPECT_EQ(stored.wake, platform::WakeMethod::Break);
    EXPECT_FALSE(stored.reconnect);
    const std::size_t writes = rig.store.replacements();
    w.choosePort("/dev/serial/by-id/usb-FTDI-if00", platform::WakeMethod::Break, false);
    EXPECT_EQ(rig.store.replacements(), writes);
    w.choosePort("/dev/serial/by-id/usb-FTDI-if00", platform::WakeMethod::Break, true);
    EXPECT_TRUE(stored::loadPortChoice(rig.store).reconnect);
    auto again = rig.window();
    again.open();
    EXPECT_EQ(again.portShown().device, "/dev/serial/by-id/usb-FTDI-if00");

    // The adapter list and the rate list, stored under the port's key;
    // before any choice a K-line adapter, as before adapters could be chosen.
    EXPECT_EQ(again.adapterShown(), 0);
    EXPECT_EQ(logic::SettingsWindow::adapterEntries(), (std::vector<std::string>{"K-line", "ELM327"}));
    const auto rates = logic::SettingsWindow::rateEntries();
    ASSERT_EQ(rates[static_cast<std::size_t>(again.rateShown())], "38400");
    again.choosePort("/dev/rfcomm0", platform::WakeMethod::SlowByte, false, 1, 3);
    EXPECT_EQ(rig.store.readInt(stored::kPortKey, "adapter").value, 1);
    EXPECT_EQ(rig.store.readInt(stored::kPortKey, "baud").value, 115200);
    auto elm = rig.window();
    elm.open();
    EXPECT_EQ(elm.portShown().adapter, platform::AdapterKind::Elm327);
    EXPECT_EQ(rates[static_cast<std::size_t>(elm.rateShown())], "115200");
    // A rate no list offers, written by hand, reads as the default.
    rig.store.writeInt(stored::kPortKey, "baud", 12345);
    EXPECT_EQ(stored::loadPortChoice(rig.store).elmRate, 38400u);
}

// The tab shows the port the next "Старт" opens (the default with nothing
// stored, or --port's); left as shown, it stores no port of its own.
TEST(SettingsWindow, ThePortShownIsThePortInUseAndLeavingItStoresNothing) {
    Rig rig;
    auto fresh = rig.window(79, "/dev/ttyS0");
    fresh.open();
    EXPECT_EQ(fresh.portShown().device, "/dev/ttyS0");
    fresh.choosePort("/dev/ttyS0", platform::WakeMethod::SlowByte, false);
    EXPECT_EQ(stored::loadPortChoice(rig.store).device, "");
    fresh.choosePort("/dev/ttyS0", platform::WakeMethod::Break, false);  // the wake-up alone
    EXPECT_EQ(stored::loadPortChoice(rig.store).device, "");
    EXPECT_EQ(stored::loadPortChoice(rig.store).wake, platform::WakeMethod::Break);

    rig.window().choosePort("/dev/ttyUSB1", platform::WakeMethod::Break, false);
    auto overridden = rig.window(79, "/dev/ttyACM0");  // --port /dev/ttyACM0
    overridden.open();
    EXPECT_EQ(overridden.portShown().device, "/dev/ttyACM0");
    overridden.choosePort("/dev/ttyACM0", platform::WakeMethod::Break, false);
    EXPECT_EQ(stored::loadPortChoice(rig.store).device, "/dev/ttyUSB1");
    overridden.choosePort("/dev/ttyUSB2", platform::WakeMethod::Break, false);
    EXPECT_EQ(stored::loadPortChoice(rig.store).device, "/dev/ttyUSB2");
}

TEST(SettingsWindow, ThePortListIsReadAgainAndOffersEachPortsStableName) {
    Rig rig;
    std::vector<platform::SerialPortEntry> present;
    logic::SettingsWindow w(
        rig.store, rig.colours, 79, [] {}, rig.report(), [&present] { return present; });
    w.open();
    EXPECT_TRUE(w.portChoices().empty());
    EXPECT_FALSE(w.refreshPorts());
    present = {{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00", "FT232R USB UART (ftdi_sio)"},
               {"/dev/ttyS0", "", ""}};
    EXPECT_TRUE(w.refreshPorts());  // plugged in
    EXPECT_FALSE(w.refreshPorts());
    const auto choices = w.portChoices();
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0].path, "/dev/serial/by-id/usb-FTDI-if00");
    EXPECT_EQ(choices[0].what, "FT232R USB UART (ftdi_sio)");
    EXPECT_EQ(choices[1].path, "/dev/ttyS0");
    present.pop_back();
    EXPECT_TRUE(w.refreshPorts());  // unplugged
    EXPECT_EQ(w.portChoices().size(), 1u);
}

// The port tab as a face drives it: by the controls' identifiers, and what
// each control shows afterwards.
TEST(SettingsWindow, ThePortTabsControlsStoreWhatTheyShow) {
    namespace ui = logic::ui;
    Rig rig;
    std::vector<platform::SerialPortEntry> present = {
        {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00", "FT232R USB UART (ftdi_sio)"}};
    logic::SettingsWindow w(
        rig.store, rig.colours, 79, [] {}, rig.report(), [&present] { return present; });
    w.open();
    EXPECT_EQ(w.shown(ui::kPortList).entries,
              std::vector<std::string>{"/dev/serial/by-id/usb-FTDI-if00  —  FT232R USB UART (ftdi_sio)"});
    EXPECT_EQ(w.shown(ui::kParamList1).entries.size(), 79u);
    EXPECT_EQ(w.shown(ui::kSetButton1).value, 1);
    w.takeChanged();
    w.chosen(ui::kPortList, 0);  // the entry says what the port is; its path is chosen
    EXPECT_EQ(w.shown(ui::kPortList).text, "/dev/serial/by-id/usb-FTDI-if00");
    EXPECT_EQ(stored::loadPortChoice(rig.store).device, "/dev/serial/by-id/usb-FTDI-if00");
    w.pressed(ui::kWakeBreak, true);
    w.pressed(ui::kReconnect, false);
    w.chosen(ui::kAdapterList, 1);
    w.typed(ui::kPortList, "  tcp:192.168.0.10:35000 ");
    const stored::PortChoice c = stored::loadPortChoice(rig.store);
    EXPECT_EQ(c.device, "tcp:192.168.0.10:35000");
    EXPECT_EQ(c.wake, platform::WakeMethod::Break);
    EXPECT_FALSE(c.reconnect);
    EXPECT_EQ(c.adapter, platform::AdapterKind::Elm327);
    EXPECT_EQ(w.shown(ui::kWakeByte).value, 0);
    EXPECT_EQ(w.takeChanged(),
              (std::vector<int>{ui::kPortList, ui::kWakeByte, ui::kWakeBreak, ui::kReconnect, ui::kAdapterList}));
    // A preset's button shows its lists, each with its whole entry as the tip.
    rig.store.writeInt(stored::setKey(4), "diagram_3", 78);
    w.pressed(ui::kSetButton1 + 3, true);
    EXPECT_EQ(w.shown(ui::kSetButton1).value, 0);
    EXPECT_EQ(w.shown(ui::kSetButton1 + 3).value, 1);
    EXPECT_EQ(w.shown(ui::kParamList1 + 2).value, 78);
    EXPECT_EQ(w.shown(ui::kParamList1 + 2).tip, w.shown(ui::kParamList1 + 2).entries[78]);
    // The face hears which parts changed since it last asked: the tip of
    // the list whose entry changed, not its entries (nor, typed, a text).
    bool told = false;
    for (const auto& c : w.takeChanges())
        if (c.id == ui::kParamList1 + 2) {
            told = true;
            EXPECT_TRUE(c.tip);
            EXPECT_FALSE(c.entries || c.text);
        }
    EXPECT_TRUE(told);
    w.typed(ui::kPortList, "/dev/ttyUSB0");
    const auto typed = w.takeChanges();
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_TRUE(typed[0].text);
    EXPECT_FALSE(typed[0].entries || typed[0].tip);
}

// The cursors' colour: its default written where a user can find it, a
// stored one read, a value out of range left at the default.
TEST(StoredSettings, TheCursorColourIsStoredWithAVisibleDefaultAndReadBack) {
    Rig rig;
    EXPECT_EQ(stored::loadCursorColour(rig.store), display::kCursorColour);
    EXPECT_EQ(rig.store.readInt(stored::kReviewKey, "cursor_green").value, 30);
    rig.store.writeInts(stored::kReviewKey, {{"cursor_red", 0}, {"cursor_green", 100}, {"cursor_blue", 250}});
    const display::Colour c = stored::loadCursorColour(rig.store);
    EXPECT_FLOAT_EQ(c.r, 0.0f);
    EXPECT_FLOAT_EQ(c.g, 1.0f);
    EXPECT_FLOAT_EQ(c.b, display::kCursorColour.b);  // 250 % is no colour
}

// A key means one thing in a control of each kind, whichever face shows it:
// the settings window has one of every kind.
TEST(SettingsWindow, AKeyMeansWhatItsControlsKindSaysOnBothFaces) {
    namespace ui = logic::ui;
    using ui::Key;
    Rig rig;
    auto w = rig.window();
    w.open();
    const auto kept = [&w](Key k, int id) { return w.key(ui::key(k), id); };
    for (Key k : {Key::Left, Key::Right, Key::PageUp, Key::PageDown, Key::Space}) EXPECT_TRUE(kept(k, ui::kParamList1));
    for (Key k : {Key::Up, Key::Down, Key::Home, Key::End}) EXPECT_FALSE(kept(k, ui::kParamList1));
    for (Key k : {Key::Left, Key::Right, Key::Space}) EXPECT_FALSE(kept(k, ui::kPortList));  // typed in
    for (Key k : {Key::Up, Key::Down}) EXPECT_TRUE(kept(k, ui::kSetButton1));
    EXPECT_FALSE(kept(Key::Right, ui::kSetButton1));
    for (Key k : {Key::Left, Key::Right}) EXPECT_TRUE(kept(k, ui::kWakeByte));
    EXPECT_FALSE(kept(Key::Down, ui::kWakeByte));
    for (Key k : {Key::Left, Key::Right, Key::Up, Key::Down}) {
        EXPECT_TRUE(kept(k, ui::kReconnect));
        EXPECT_TRUE(kept(k, ui::kColourReset));
    }
    EXPECT_FALSE(kept(Key::Space, ui::kColourReset));
    EXPECT_FALSE(w.key(ui::key(Key::Right, ui::kShift), ui::kParamList1));
    // A slider: Up and Page Up raise it, Down and Page Down lower it, within 0..100.
    const int at = w.shown(ui::kSlider1).value;
    ASSERT_GE(at, 10);
    EXPECT_TRUE(kept(Key::Up, ui::kSlider1));
    EXPECT_EQ(w.shown(ui::kSlider1).value, std::min(100, at + 1));
    EXPECT_TRUE(kept(Key::PageDown, ui::kSlider1));
    EXPECT_EQ(w.shown(ui::kSlider1).value, std::min(100, at + 1) - 10);
    for (int i = 0; i < 12; ++i) kept(Key::PageUp, ui::kSlider1);
    EXPECT_EQ(w.shown(ui::kSlider1).value, 100);
    EXPECT_FALSE(kept(Key::Left, ui::kSlider1));
}
