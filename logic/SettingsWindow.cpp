// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/SettingsWindow.h"

#include <algorithm>

#include "ecu/ParameterCatalogue.h"
#include "platform/Cp1251.h"
#include "platform/FileAccess.h"

namespace logic {

namespace {
// A slider's step: its positions 0..100 are the components 0.00..1.00.
constexpr float kSliderFactor = 0.01f;
}  // namespace

SettingsWindow::SettingsWindow(platform::SettingsStore& store, display::ColourScheme& colours, int listSize,
                               std::function<void()> redraw, stored::ErrorReport report, PortLister listPorts,
                               std::string inUse)
    : WindowLogic(ui::settingsWindow()), store_(store), colours_(colours), listSize_(listSize),
      redraw_(std::move(redraw)), report_(std::move(report)), listPorts_(std::move(listPorts)),
      inUse_(std::move(inUse)) {
    if (!report_) report_ = [](const std::string&) {};
}

void SettingsWindow::open() {
    downSet_ = 1;
    slidersFromScheme();
    selectSet(1);
    port_ = stored::loadPortChoice(store_);
    if (!inUse_.empty()) port_.device = inUse_;
    refreshPorts();
    // What the controls show.
    std::vector<std::string> parameters;
    for (const auto& p : ecu::ParameterCatalogue::instance().all())
        if (static_cast<int>(parameters.size()) < listSize_) parameters.push_back(cp1251::toUtf8(p.listText));
    for (int k = 1; k <= 5; ++k) show(ui::kParamList1 + k - 1).entries = parameters;
    showSet();
    showSliders();
    showPorts();
    show(ui::kPortList).text = port_.device;
    show(ui::kWakeByte).value = port_.wake == platform::WakeMethod::Break ? 0 : 1;
    show(ui::kWakeBreak).value = port_.wake == platform::WakeMethod::Break ? 1 : 0;
    show(ui::kReconnect).value = port_.reconnect ? 1 : 0;
    show(ui::kAdapterList).entries = adapterEntries();
    show(ui::kAdapterList).value = adapterShown();
    show(ui::kElmRateList).entries = rateEntries();
    show(ui::kElmRateList).value = rateShown();
    const stored::JournalChoice journal = stored::loadJournalChoice(store_);
    show(ui::kJournalRecord).value = journal.record ? 1 : 0;
    std::vector<std::string>& keep = show(ui::kJournalKeep).entries;
    keep.clear();
    for (std::size_t i = 0; i < std::size(stored::kKeepMegabytes); ++i) {
        const std::int64_t mb = stored::kKeepMegabytes[i];
        keep.push_back(mb == 0          ? std::string("без ограничения")
                       : mb % 1000 == 0 ? std::to_string(mb / 1000) + " ГБ"
                                        : std::to_string(mb) + " МБ");
        if (mb == journal.keepMegabytes) show(ui::kJournalKeep).value = static_cast<int>(i);
    }
    show(ui::kJournalFolder).text = "Журнал и записи: " + platform::programDataFolder();
}

void SettingsWindow::journalChanged() {
    stored::JournalChoice c = stored::loadJournalChoice(store_);
    c.record = shown(ui::kJournalRecord).value == 1;
    const int keep = shown(ui::kJournalKeep).value;
    if (keep >= 0 && static_cast<std::size_t>(keep) < std::size(stored::kKeepMegabytes))
        c.keepMegabytes = stored::kKeepMegabytes[static_cast<std::size_t>(keep)];
    stored::saveJournalChoice(store_, c);
}

void SettingsWindow::showSet() {
    for (int n = 1; n <= 12; ++n) show(ui::kSetButton1 + n - 1).value = n == downSet_ ? 1 : 0;
    for (int k = 1; k <= 5; ++k) {
        ui::Shown& list = show(ui::kParamList1 + k - 1);
        list.value = listEntry(k);
        // The closed list shows what fits; the pointer's tip, the whole entry.
        const auto i = static_cast<std::size_t>(list.value);
        list.tip = list.value >= 0 && i < list.entries.size() ? list.entries[i] : std::string();
    }
}

void SettingsWindow::showSliders() {
    for (int i = 0; i < kSliders; ++i) show(ui::kSlider1 + i).value = sliderPosition(i);
}

void SettingsWindow::showPorts() {
    // Each port with what the system says it is; choosing one gives its path.
    std::vector<std::string>& entries = show(ui::kPortList).entries;
    entries.clear();
    for (const PortChoiceEntry& p : portChoices())
        entries.push_back(p.what.empty() ? p.path : p.path + "  —  " + p.what);
}

void SettingsWindow::pressed(int id, bool on) {
    if (id >= ui::kSetButton1 && id < ui::kSetButton1 + 12) {
        selectSet(id - ui::kSetButton1 + 1);
        showSet();
    } else if (id == ui::kColourReset) {
        resetColours();
        showSliders();
    } else if ((id == ui::kWakeByte || id == ui::kWakeBreak) && on) {
        show(ui::kWakeByte).value = id == ui::kWakeByte ? 1 : 0;
        show(ui::kWakeBreak).value = id == ui::kWakeBreak ? 1 : 0;
        portChanged();
    } else if (id == ui::kReconnect) {
        show(ui::kReconnect).value = on ? 1 : 0;
        portChanged();
    } else if (id == ui::kJournalRecord) {
        show(ui::kJournalRecord).value = on ? 1 : 0;
        journalChanged();
    }
}

void SettingsWindow::chosen(int id, int index) {
    const int list = id - ui::kParamList1 + 1;
    if (list >= 1 && list <= 5) {
        chooseListEntry(list, index);
        showSet();
    } else if (id == ui::kPortList) {
        const std::vector<PortChoiceEntry> ports = portChoices();
        if (index >= 0 && static_cast<std::size_t>(index) < ports.size())
            show(ui::kPortList).text = ports[static_cast<std::size_t>(index)].path;
        portChanged();
    } else if (id == ui::kAdapterList || id == ui::kElmRateList) {
        show(id).value = index;
        portChanged();
    } else if (id == ui::kJournalKeep) {
        show(id).value = index;
        journalChanged();
    }
}

void SettingsWindow::moved(int id, int position) {
    const int slider = id - ui::kSlider1;
    if (slider < 0 || slider >= kSliders) return;
    moveSlider(slider, position);
    show(id).value = sliderPosition(slider);
}

void SettingsWindow::typed(int id, const std::string& text) {
    if (id != ui::kPortList) return;
    show(id).text = text;
    portChanged();
}

void SettingsWindow::tick() {
    if (refreshPorts()) showPorts();
}

void SettingsWindow::portChanged() {
    choosePort(shown(ui::kPortList).text,
               shown(ui::kWakeBreak).value == 1 ? platform::WakeMethod::Break : platform::WakeMethod::SlowByte,
               shown(ui::kReconnect).value == 1, shown(ui::kAdapterList).value, shown(ui::kElmRateList).value);
}

bool SettingsWindow::refreshPorts() {
    std::vector<platform::SerialPortEntry> now = listPorts_ ? listPorts_() : std::vector<platform::SerialPortEntry>{};
    if (now == ports_) return false;
    ports_ = std::move(now);
    return true;
}

std::vector<SettingsWindow::PortChoiceEntry> SettingsWindow::portChoices() const {
    std::vector<PortChoiceEntry> out;
    for (const platform::SerialPortEntry& p : ports_) {
        out.push_back({p.byId.empty() ? p.device : p.byId, p.what});
    }
    return out;
}

void SettingsWindow::selectSet(int n) {
    if (n < 1 || n > 12) return;
    downSet_ = n;
    stored::ChartParameters indexes{};
    const int read = stored::readParameterSet(store_, n, indexes, report_);
    for (int k = 0; k < read; ++k) {
        const std::int32_t index = indexes[static_cast<std::size_t>(k)];
        lists_[static_cast<std::size_t>(k)] = index >= 0 && index < listSize_ ? index : -1;
    }
}

void SettingsWindow::chooseListEntry(int k, int index) {
    if (downSet_ < 1 || k < 1 || k > 5 || index < 0 || index >= listSize_) return;
    lists_[static_cast<std::size_t>(k - 1)] = index;
    store_.writeInt(stored::setKey(downSet_), stored::diagramName(k), index);
}

void SettingsWindow::moveSlider(int slider, int position) {
    if (slider < 0 || slider >= kSliders) return;
    position = std::clamp(position, 0, 100);
    sliders_[static_cast<std::size_t>(slider)] = position;
    // The sliders run in the stored order of the components.
    *stored::colourComponents(colours_)[static_cast<std::size_t>(slider)] =
        static_cast<float>(position) * kSliderFactor;
    if (redraw_) redraw_();
}

void SettingsWindow::slidersFromScheme() {
    const auto components = stored::colourComponents(colours_);
    for (int i = 0; i < kSliders; ++i) {
        const int position = std::clamp<int>(stored::toPercent(*components[static_cast<std::size_t>(i)]), 0, 100);
        if (position != sliders_[static_cast<std::size_t>(i)]) moveSlider(i, position);
    }
}

void SettingsWindow::resetColours() {
    colours_ = display::ColourScheme::reset();
    slidersFromScheme();
    if (redraw_) redraw_();
}

std::vector<std::string> SettingsWindow::adapterEntries() { return {"K-line", "ELM327"}; }

std::vector<std::string> SettingsWindow::rateEntries() {
    std::vector<std::string> out;
    for (unsigned r : stored::kElmRates) out.push_back(std::to_string(r));
    return out;
}

int SettingsWindow::adapterShown() const { return port_.adapter == platform::AdapterKind::Elm327 ? 1 : 0; }

int SettingsWindow::rateShown() const {
    for (std::size_t i = 0; i < std::size(stored::kElmRates); ++i)
        if (stored::kElmRates[i] == port_.elmRate) return static_cast<int>(i);
    return -1;
}

void SettingsWindow::choosePort(const std::string& device, platform::WakeMethod wake, bool reconnect, int adapter,
                                int rate) {
    stored::PortChoice c = port_;
    const auto first = device.find_first_not_of(" \t\r\n");
    const auto last = device.find_last_not_of(" \t\r\n");
    c.device = first == std::string::npos ? std::string() : device.substr(first, last - first + 1);
    c.wake = wake;
    c.reconnect = reconnect;
    if (adapter == 0 || adapter == 1)
        c.adapter = adapter ? platform::AdapterKind::Elm327 : platform::AdapterKind::KLine;
    if (rate >= 0 && static_cast<std::size_t>(rate) < std::size(stored::kElmRates))
        c.elmRate = stored::kElmRates[static_cast<std::size_t>(rate)];
    port_ = c;
    const stored::PortChoice before = stored::loadPortChoice(store_);
    if (!inUse_.empty() && c.device == inUse_) c.device = before.device;  // not chosen: shown
    if (c == before) return;
    stored::savePortChoice(store_, c);
}

}  // namespace logic
