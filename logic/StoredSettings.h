// SPDX-License-Identifier: GPL-3.0-or-later
// The chart presets F1..F12 and the colour scheme in the settings store: the
// first-run defaults, reading at start, loading a preset, saving the colours.
// A failed read is reported through the callback and stops the operation at
// that value.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "ecu/CsvTable.h"
#include "painting/ChartView.h"
#include "painting/ColourScheme.h"
#include "platform/SerialLine.h"
#include "platform/SettingsStore.h"

namespace stored {

using ChartParameters = display::ChartParameters;
using ErrorReport = std::function<void(const std::string&)>;

std::string setKey(int n);            // "\VELKOR\DIAGRAM\F<n>"
std::string diagramName(int k);       // "diagram_<k>"
extern const char* const kMarkerKey;  // "\VELKOR\DIAGRAM\F"
extern const char* const kColourKey;  // "\VELKOR\MANAGEMENT\COLOUR_CIRCUIT"
// The sixteen colour values in their stored order.
extern const std::array<const char*, 16> kColourNames;

void loadStoredSettings(platform::SettingsStore& store, ChartParameters& chart, display::ColourScheme& colours,
                        const ErrorReport& report);
// The five stored indexes of set n (1..12): how many were read before one
// failed (reported), or -1 when the set's key does not exist.
int readParameterSet(const platform::SettingsStore& store, int n, ChartParameters& indexes, const ErrorReport& report);
// The sixteen colour components in their stored order: grid, name text,
// value text, graph; each red, green, blue, brightness.
std::array<float*, 16> colourComponents(display::ColourScheme& scheme);

// Loads set n (1..12) if its key exists; otherwise changes nothing.
void selectParameterSet(const platform::SettingsStore& store, int n, ChartParameters& chart, const ErrorReport& report);
// Every colour, or (since given) only those that differ from it or are not
// stored yet: another program's changes to the others stay.
void saveColourScheme(platform::SettingsStore& store, const display::ColourScheme& colours,
                      const display::ColourScheme* since = nullptr);

// The cursors' colour, "[\VELKOR\MANAGEMENT\REVIEW] cursor_red",
// "cursor_green", "cursor_blue" (0..100 per cent, as the colour sliders):
// written with its default when absent, so that it can be found and changed.
extern const char* const kReviewKey;  // "\VELKOR\MANAGEMENT\REVIEW"
display::Colour loadCursorColour(platform::SettingsStore& store);

// Where the window's pictures and tables were last saved ("folder") and the
// tables' style ("csv_style": excel-ru for a Russian spreadsheet, or rfc, the
// logger's own), under "\VELKOR\MANAGEMENT\EXPORT". The style is written
// with its default (excel-ru) when absent or not one of the two, so that it
// can be found and changed.
extern const char* const kExportKey;
ecu::CsvStyle loadTableStyle(platform::SettingsStore& store);

// The serial port, wake-up and reconnecting the user chose on the settings
// dialog's port tab, kept under "\VELKOR\MANAGEMENT\COM_PORT" ("device";
// "wake": 0 the slow byte, 1 a break; "reconnect": 0 or 1). Empty device:
// none chosen.
extern const char* const kPortKey;
struct PortChoice {
    std::string device;
    platform::WakeMethod wake = platform::WakeMethod::SlowByte;
    bool reconnect = false;
    platform::AdapterKind adapter = platform::AdapterKind::KLine;
    unsigned elmRate = 38400;  // an ELM327 adapter's serial rate
    bool operator==(const PortChoice&) const = default;
};
// The serial rates an ELM327 adapter is set to (the chip's two pin-chosen
// ones and what its clones and Bluetooth modules come with).
inline constexpr unsigned kElmRates[] = {9600, 38400, 57600, 115200, 230400, 500000};
bool isElmRate(std::int64_t rate);
PortChoice loadPortChoice(const platform::SettingsStore& store);
void savePortChoice(platform::SettingsStore& store, const PortChoice& choice);

// The journal of visits, under "\VELKOR\MANAGEMENT\JOURNAL": "record" (1:
// each session in the window is a visit in the journal, recorded into its
// folder; 0: neither) and "keep_mb" (the most the journal's recordings may
// hold, the oldest removed first; 0: no limit). Absent: 1 and 2000.
extern const char* const kJournalKey;
struct JournalChoice {
    bool record = true;
    std::int64_t keepMegabytes = 2000;
    bool operator==(const JournalChoice&) const = default;
};
// The limits offered for the recordings, in megabytes (0: no limit).
inline constexpr std::int64_t kKeepMegabytes[] = {200, 500, 1000, 2000, 5000, 0};
JournalChoice loadJournalChoice(const platform::SettingsStore& store);
void saveJournalChoice(platform::SettingsStore& store, const JournalChoice& choice);

// A component's stored percentage and back: rounded so that a stored value
// reads back unchanged.
std::int32_t toPercent(float component);
float fromPercent(std::int32_t percent);

}  // namespace stored
