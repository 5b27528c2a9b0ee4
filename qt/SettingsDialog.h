// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's Qt face: the tabs, the preset buttons and lists, the
// colour sliders and the port choice, over logic::SettingsWindow, which
// stores a preset's lists at once, changes the colours in the main window at
// once (stored when the program ends), and keeps the port choice.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

#include <array>
#include <functional>

#include "logic/SettingsWindow.h"
#include "painting/ColourScheme.h"
#include "platform/SettingsStore.h"
#include "qt/ClosingDialog.h"

namespace qtface {

class SettingsDialog : public qtface::ClosingDialog {
public:
    // redraw: main-window panels 1, 2, 3, 4, 5, 7, 6; report: a failed read.
    // listPorts: where the port tab's list comes from; inUse: the port the
    // next "Старт" opens.
    SettingsDialog(
        platform::SettingsStore& store, display::ColourScheme& colours, std::function<void()> redraw,
        std::function<void(const std::string&)> report,
        logic::SettingsWindow::PortLister listPorts = [] { return platform::listSerialPorts(); },
        std::string inUse = {}, QWidget* parent = nullptr);

    void SetButtonClick(int n);         // "F1" .. "F12"
    void ListChange(int k, int index);  // list k (1..5) chosen by the user
    void SliderChange(int slider, int position);
    void ResetClick();  // "Сброс"
    void PortChange();  // the port or the wake-up chosen

    QComboBox* list(int k) const { return lists_[static_cast<std::size_t>(k - 1)]; }
    // Sliders in the order grid, name, value, graph; each red, green, blue, brightness.
    QSlider* slider(int group, int component) const {
        return sliders_[static_cast<std::size_t>(group * 4 + component)];
    }
    int downSet() const { return logic_.downSet(); }
    QTabWidget* tabs() const { return tabs_; }
    QComboBox* portList() const { return portList_; }
    QRadioButton* wakeByteButton() const { return wakeByte_; }
    QCheckBox* reconnectBox() const { return reconnect_; }
    QComboBox* adapterList() const { return adapter_; }
    QComboBox* rateList() const { return rate_; }
    std::function<void()> onClosed;

protected:
    // Escape, the close button, Alt+F4 and the program's end all come here.
    void finish() override;

private:
    // Shows what the logic holds: the preset down and its lists, the sliders.
    void showSet();
    void showSliders();
    void showPorts();

    logic::SettingsWindow logic_;
    QTabWidget* tabs_;
    QButtonGroup* setGroup_ = nullptr;
    std::array<QComboBox*, 5> lists_{};
    std::array<QSlider*, 16> sliders_{};
    QComboBox* portList_ = nullptr;
    QRadioButton* wakeByte_ = nullptr;
    QCheckBox* reconnect_ = nullptr;
    QComboBox* adapter_ = nullptr;
    QComboBox* rate_ = nullptr;
};

}  // namespace qtface
