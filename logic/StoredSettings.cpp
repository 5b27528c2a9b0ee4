// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/StoredSettings.h"

#include <algorithm>
#include <iterator>

#include <cmath>

namespace stored {

const char* const kMarkerKey = "\\VELKOR\\DIAGRAM\\F";
const char* const kColourKey = "\\VELKOR\\MANAGEMENT\\COLOUR_CIRCUIT";
const std::array<const char*, 16> kColourNames = {
    "GRID_R",  "GRID_G",  "GRID_B",  "GRID_T",  "Text_R",    "Text_G",    "Text_B",    "Text_T",
    "Text3_R", "Text3_G", "Text3_B", "Text3_T", "GRAPHIC_R", "GRAPHIC_G", "GRAPHIC_B", "GRAPHIC_T"};

const char* const kPortKey = "\\VELKOR\\MANAGEMENT\\COM_PORT";
const char* const kJournalKey = "\\VELKOR\\MANAGEMENT\\JOURNAL";

std::string setKey(int n) { return std::string(kMarkerKey) + std::to_string(n); }
std::string diagramName(int k) { return "diagram_" + std::to_string(k); }

std::int32_t toPercent(float component) { return static_cast<std::int32_t>(std::lround(component * 100.0)); }
float fromPercent(std::int32_t percent) { return static_cast<float>(percent) * 0.01f; }

std::array<float*, 16> colourComponents(display::ColourScheme& s) {
    return {&s.gridColour.r,      &s.gridColour.g,      &s.gridColour.b,      &s.gridColour.t,
            &s.nameTextColour.r,  &s.nameTextColour.g,  &s.nameTextColour.b,  &s.nameTextColour.t,
            &s.valueTextColour.r, &s.valueTextColour.g, &s.valueTextColour.b, &s.valueTextColour.t,
            &s.graphColour.r,     &s.graphColour.g,     &s.graphColour.b,     &s.graphColour.t};
}

int readParameterSet(const platform::SettingsStore& store, int n, ChartParameters& indexes, const ErrorReport& report) {
    const std::string key = setKey(n);
    if (!store.keyExists(key)) return -1;
    for (int k = 1; k <= 5; ++k) {
        const auto r = store.readInt(key, diagramName(k));
        if (!r.ok()) {
            report(platform::SettingsStore::describe(r.status, key, diagramName(k)));
            return k - 1;
        }
        indexes[static_cast<std::size_t>(k - 1)] = r.value;
    }
    return 5;
}

namespace {

void writeDefaults(platform::SettingsStore& store) {
    // Each key is created together with its values, in one replacement of
    // the file: a crash never leaves a set without its values. A set the
    // file holds already (one copied or written by hand without the marker)
    // is the user's and stays.
    std::vector<std::pair<std::string, std::int32_t>> values;
    for (int k = 1; k <= 5; ++k) values.emplace_back(diagramName(k), k);
    for (int n = 1; n <= 12; ++n)
        if (!store.keyExists(setKey(n))) store.writeInts(setKey(n), values);
    store.writeInt(kMarkerKey, "diagram_ok", 1);
}

void readColours(const platform::SettingsStore& store, display::ColourScheme& colours, const ErrorReport& report) {
    auto slots = colourComponents(colours);
    for (std::size_t i = 0; i < kColourNames.size(); ++i) {
        const auto r = store.readInt(kColourKey, kColourNames[i]);
        if (!r.ok()) {
            report(platform::SettingsStore::describe(r.status, kColourKey, kColourNames[i]));
            return;
        }
        // A value beyond 0..100 (a file written by hand) reads as its end,
        // as drawn and as the dialog's sliders hold it; the file keeps it
        // until the colour is changed.
        *slots[i] = fromPercent(std::clamp<std::int32_t>(r.value, 0, 100));
    }
}

}  // namespace

void selectParameterSet(const platform::SettingsStore& store, int n, ChartParameters& chart,
                        const ErrorReport& report) {
    ChartParameters indexes{};
    const int read = readParameterSet(store, n, indexes, report);
    for (int k = 0; k < read; ++k) {
        // An index outside 0..78 gives a number that selects nothing; keep
        // it from overflowing all the same.
        const std::int32_t index = indexes[static_cast<std::size_t>(k)];
        chart[static_cast<std::size_t>(k)] = index == INT32_MAX ? 0 : index + 1;
    }
}

void loadStoredSettings(platform::SettingsStore& store, ChartParameters& chart, display::ColourScheme& colours,
                        const ErrorReport& report) {
    // The marker's presence says the sets were initialised; nothing is repaired.
    if (!store.keyExists(kMarkerKey)) writeDefaults(store);
    if (store.keyExists(kColourKey)) {
        readColours(store, colours, report);
    } else {
        colours = display::ColourScheme::builtIn();
    }
    selectParameterSet(store, 1, chart, report);
}

void saveColourScheme(platform::SettingsStore& store, const display::ColourScheme& colours,
                      const display::ColourScheme* since) {
    display::ColourScheme copy = colours, before = since ? *since : display::ColourScheme{};
    auto slots = colourComponents(copy), old = colourComponents(before);
    std::vector<std::pair<std::string, std::int32_t>> values;
    for (std::size_t i = 0; i < kColourNames.size(); ++i)
        if (!since || toPercent(*slots[i]) != toPercent(*old[i]) || !store.readInt(kColourKey, kColourNames[i]).ok())
            values.emplace_back(kColourNames[i], toPercent(*slots[i]));
    if (!values.empty()) store.writeInts(kColourKey, values);
}

const char* const kReviewKey = "\\VELKOR\\MANAGEMENT\\REVIEW";

display::Colour loadCursorColour(platform::SettingsStore& store) {
    display::Colour c = display::kCursorColour;
    const std::pair<const char*, float*> parts[3] = {
        {"cursor_red", &c.r}, {"cursor_green", &c.g}, {"cursor_blue", &c.b}};
    bool whole = true;
    for (const auto& [name, part] : parts) {
        const auto r = store.readInt(kReviewKey, name);
        if (r.ok() && r.value >= 0 && r.value <= 100)
            *part = static_cast<float>(r.value) / 100.0f;
        else
            whole = false;
    }
    if (!whole) {
        std::vector<std::pair<std::string, std::int32_t>> values;
        for (const auto& [name, part] : parts)
            values.emplace_back(name, static_cast<std::int32_t>(*part * 100.0f + 0.5f));
        store.writeInts(kReviewKey, values);
    }
    return c;
}

const char* const kExportKey = "\\VELKOR\\MANAGEMENT\\EXPORT";

ecu::CsvStyle loadTableStyle(platform::SettingsStore& store) {
    const auto named = ecu::csvStyleNamed(store.readText(kExportKey, "csv_style").value_or(""));
    if (named) return *named;
    store.writeText(kExportKey, "csv_style", ecu::csvStyleName(ecu::CsvStyle::ExcelRu));
    return ecu::CsvStyle::ExcelRu;
}

bool isElmRate(std::int64_t rate) {
    for (unsigned r : kElmRates)
        if (rate == r) return true;
    return false;
}

PortChoice loadPortChoice(const platform::SettingsStore& store) {
    PortChoice c;
    c.device = store.readText(kPortKey, "device").value_or("");
    const auto wake = store.readInt(kPortKey, "wake");
    if (wake.ok() && wake.value == 1) c.wake = platform::WakeMethod::Break;
    const auto reconnect = store.readInt(kPortKey, "reconnect");
    c.reconnect = reconnect.ok() && reconnect.value == 1;
    // 0: a K-line adapter (also when absent, as before adapters could be
    // chosen), 1: an ELM327; its rate kept only when it is one a port takes.
    const auto adapter = store.readInt(kPortKey, "adapter");
    if (adapter.ok() && adapter.value == 1) c.adapter = platform::AdapterKind::Elm327;
    const auto rate = store.readInt(kPortKey, "baud");
    if (rate.ok() && isElmRate(rate.value)) c.elmRate = static_cast<unsigned>(rate.value);
    return c;
}

void savePortChoice(platform::SettingsStore& store, const PortChoice& choice) {
    store.writeText(kPortKey, "device", choice.device);
    store.writeInts(kPortKey, {{"wake", choice.wake == platform::WakeMethod::Break ? 1 : 0},
                               {"reconnect", choice.reconnect ? 1 : 0},
                               {"adapter", choice.adapter == platform::AdapterKind::Elm327 ? 1 : 0},
                               {"baud", static_cast<std::int32_t>(choice.elmRate)}});
}

JournalChoice loadJournalChoice(const platform::SettingsStore& store) {
    JournalChoice c;
    const auto record = store.readInt(kJournalKey, "record");
    c.record = !(record.ok() && record.value == 0);
    // A limit no list offers reads as the default.
    const auto keep = store.readInt(kJournalKey, "keep_mb");
    if (keep.ok() &&
        std::find(std::begin(kKeepMegabytes), std::end(kKeepMegabytes), keep.value) != std::end(kKeepMegabytes))
        c.keepMegabytes = keep.value;
    return c;
}

void saveJournalChoice(platform::SettingsStore& store, const JournalChoice& choice) {
    store.writeInts(kJournalKey,
                    {{"record", choice.record ? 1 : 0}, {"keep_mb", static_cast<std::int32_t>(choice.keepMegabytes)}});
}

}  // namespace stored
