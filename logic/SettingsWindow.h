// SPDX-License-Identifier: GPL-3.0-or-later
// What the settings dialog does, apart from any toolkit: the preset down and
// the five lists it shows (a user's choice in a list is stored at once; the
// charts take it only when the preset's button in the main window is
// pressed), the sixteen colour sliders (the colours change in the main window
// at once and are stored when the program ends), and the port and wake-up
// choice (stored at once, used from the next "Старт").
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "logic/StoredSettings.h"
#include "logic/WindowLogic.h"
#include "painting/ColourScheme.h"
#include "platform/SerialPorts.h"
#include "platform/SettingsStore.h"

namespace logic {

class SettingsWindow : public ui::WindowLogic {
public:
    static constexpr int kSliders = 16;
    // listSize: entries in each list; a stored index outside them selects
    // nothing. redraw: the main window's panels 1, 2, 3, 4, 5, 7, 6.
    using PortLister = std::function<std::vector<platform::SerialPortEntry>()>;
    // inUse: the port the next "Старт" opens (the command line's, the stored
    // choice, or the default), which the port tab shows.
    SettingsWindow(
        platform::SettingsStore& store, display::ColourScheme& colours, int listSize, std::function<void()> redraw,
        stored::ErrorReport report, PortLister listPorts = [] { return platform::listSerialPorts(); },
        std::string inUse = {});

    // Opening: preset 1 down, the sliders from the scheme, the lists from
    // preset 1, the port tab from the stored choice.
    void open();
    // "F1".."F12" pressed: that preset goes down and its stored lists show
    // (up to a value that cannot be read, which is reported).
    void selectSet(int n);
    // The user chose entry index in list k (1..5): stored under the preset down.
    void chooseListEntry(int k, int index);
    // A slider (grid, name, value, graph; each red, green, blue, brightness)
    // moved to position 0..100.
    void moveSlider(int slider, int position);
    // "Сброс": the built-in colours, the sliders moved to them.
    void resetColours();
    // The port (trimmed), the wake-up or reconnecting chosen: stored when it
    // differs. The port shown as in use and left so stores no port choice.
    // adapter and rate: the entries chosen in the adapter and rate lists (-1:
    // as they were).
    void choosePort(const std::string& device, platform::WakeMethod wake, bool reconnect, int adapter = -1,
                    int rate = -1);
    // The adapter list's and the rate list's entries, and the ones shown.
    static std::vector<std::string> adapterEntries();
    static std::vector<std::string> rateEntries();
    int adapterShown() const;
    int rateShown() const;
    // Reads the ports present again (the face asks every second while the
    // dialog is open, so that an adapter plugged in shows): true when the
    // list changed.
    bool refreshPorts();
    // The ports to choose from: the path to use (the stable by-id name where
    // there is one; a file name, as the system spells it) and what the
    // system says the device is ("FT232R USB UART (ftdi_sio)"), if anything.
    struct PortChoiceEntry {
        std::string path;
        std::string what;
    };
    std::vector<PortChoiceEntry> portChoices() const;

    int downSet() const { return downSet_; }
    // What list k (1..5) shows: an index, or -1 for nothing.
    int listEntry(int k) const { return lists_[static_cast<std::size_t>(k - 1)]; }
    int sliderPosition(int slider) const { return sliders_[static_cast<std::size_t>(slider)]; }
    const stored::PortChoice& portShown() const { return port_; }

    // The window: the presets' buttons and lists, the sliders, the port tab;
    // the ports present read again every second while it is open.
    void pressed(int id, bool on) override;
    void chosen(int id, int index) override;
    void moved(int id, int position) override;
    void typed(int id, const std::string& text) override;
    int tickMs() const override { return 1000; }
    void tick() override;

private:
    void showSet();
    void showSliders();
    void showPorts();
    // The port tab's choice as its controls show it.
    void portChanged();
    void journalChanged();
    // Moves the sliders to the scheme's percentages; a slider that moves
    // sets its component as the user's move would.
    void slidersFromScheme();

    platform::SettingsStore& store_;
    display::ColourScheme& colours_;
    int listSize_;
    std::function<void()> redraw_;
    stored::ErrorReport report_;
    int downSet_ = 0;
    std::array<int, 5> lists_{-1, -1, -1, -1, -1};
    std::array<int, kSliders> sliders_{};
    stored::PortChoice port_;
    PortLister listPorts_;
    std::string inUse_;
    std::vector<platform::SerialPortEntry> ports_;
};

}  // namespace logic
