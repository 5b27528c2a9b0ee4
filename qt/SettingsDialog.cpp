// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/SettingsDialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

#include "ecu/ParameterCatalogue.h"
#include "logic/StoredSettings.h"
#include "platform/Cp1251.h"
#include "platform/SerialPorts.h"
#include "qt/Described.h"

namespace qtface {

SettingsDialog::SettingsDialog(platform::SettingsStore& store, display::ColourScheme& colours,
                               std::function<void()> redraw, std::function<void(const std::string&)> report,
                               logic::SettingsWindow::PortLister listPorts, std::string inUse, QWidget* parent)
    : ClosingDialog(parent), logic_(store, colours, static_cast<int>(ecu::ParameterCatalogue::instance().all().size()),
                                    std::move(redraw), std::move(report), std::move(listPorts), std::move(inUse)) {
    namespace ui = logic::ui;
    logic_.open();
    const ui::WindowDescription& d = ui::settingsWindow();
    setWindowTitle(fromUtf8(d.title));
    setFixedSize(d.width, d.height);
    setAttribute(Qt::WA_DeleteOnClose);
    Described controls;
    controls.build(this, d);
    tabs_ = controls.get<QTabWidget>(ui::kSettingsTabs);
    tabs_->tabBar()->setFocus();  // the harmless control: Enter there stores nothing
    // Group captions sit on the frame line, as the layout's positions
    // (buttons and captions 16 pixels down) were drawn for; the toolkit's own
    // style puts the frame below the caption, across those controls.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"));

    // The presets and their lists.
    setGroup_ = new QButtonGroup(this);
    setGroup_->setExclusive(true);
    for (int n = 1; n <= 12; ++n) {
        auto* b = controls.get<QToolButton>(ui::kSetButton1 + n - 1);
        setGroup_->addButton(b, n);
        connect(b, &QToolButton::clicked, this, [this, n] { SetButtonClick(n); });
    }
    QStringList items;
    for (const auto& p : ecu::ParameterCatalogue::instance().all())
        items << QString::fromStdString(cp1251::toUtf8(p.listText));
    for (int k = 1; k <= 5; ++k) {
        auto* list = controls.get<QComboBox>(ui::kParamList1 + k - 1);
        list->addItems(items);
        list->setCurrentIndex(-1);
        // The longest texts whole in the closed list too: the dialogs'
        // small font, as the lists were laid out for.
        QFont small(QStringLiteral("Arial"));
        small.setPixelSize(11);
        list->setFont(small);
        // The closed list shows what fits its 473 pixels, and the whole
        // entry when the pointer rests on it; the open one every entry whole.
        list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 24);
        connect(list, &QComboBox::currentIndexChanged, list,
                [list](int index) { list->setToolTip(index < 0 ? QString() : list->itemText(index)); });
        // activated: the user's choices only; the program's selections write nothing.
        connect(list, &QComboBox::activated, this, [this, k](int index) { ListChange(k, index); });
        lists_[static_cast<std::size_t>(k - 1)] = list;
    }

    // The colours.
    for (int i = 0; i < logic::SettingsWindow::kSliders; ++i) {
        auto* s = controls.get<QSlider>(ui::kSlider1 + i);
        sliders_[static_cast<std::size_t>(i)] = s;
        connect(s, &QSlider::valueChanged, this, [this, i](int v) { SliderChange(i, v); });
    }
    connect(controls.get<QPushButton>(ui::kColourReset), &QPushButton::clicked, this, &SettingsDialog::ResetClick);

    // The serial ports present (by their stable by-id names where udev made
    // them) and any path typed in; the choice is used from the next "Старт".
    const stored::PortChoice& stored = logic_.portShown();
    portList_ = controls.get<QComboBox>(ui::kPortList);
    showPorts();
    portList_->setCurrentText(QString::fromStdString(stored.device));
    // An adapter plugged in while the dialog is open shows within a second.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        if (logic_.refreshPorts()) showPorts();
    });
    watch->start(1000);
    connect(portList_, &QComboBox::activated, this, [this](int index) {
        // The list shows what each port is; the choice is its path.
        portList_->setEditText(portList_->itemData(index).toString());
        PortChange();
    });
    connect(portList_->lineEdit(), &QLineEdit::editingFinished, this, &SettingsDialog::PortChange);
    wakeByte_ = controls.get<QRadioButton>(ui::kWakeByte);
    (stored.wake == platform::WakeMethod::Break ? controls.get<QRadioButton>(ui::kWakeBreak) : wakeByte_)
        ->setChecked(true);
    connect(wakeByte_, &QRadioButton::toggled, this, [this](bool) { PortChange(); });
    reconnect_ = controls.get<QCheckBox>(ui::kReconnect);
    reconnect_->setChecked(stored.reconnect);
    connect(reconnect_, &QCheckBox::toggled, this, [this](bool) { PortChange(); });
    adapter_ = controls.get<QComboBox>(ui::kAdapterList);
    rate_ = controls.get<QComboBox>(ui::kElmRateList);
    for (const std::string& e : logic::SettingsWindow::adapterEntries()) adapter_->addItem(QString::fromStdString(e));
    for (const std::string& e : logic::SettingsWindow::rateEntries()) rate_->addItem(QString::fromStdString(e));
    adapter_->setCurrentIndex(logic_.adapterShown());
    rate_->setCurrentIndex(logic_.rateShown());
    connect(adapter_, &QComboBox::activated, this, [this](int) { PortChange(); });
    connect(rate_, &QComboBox::activated, this, [this](int) { PortChange(); });

    showSet();
    showSliders();
    update();
}

void SettingsDialog::showPorts() {
    const QSignalBlocker quiet(portList_);
    const QString typed = portList_->currentText();
    portList_->clear();
    for (const logic::SettingsWindow::PortChoiceEntry& p : logic_.portChoices()) {
        const QString path = QString::fromStdString(p.path);
        portList_->addItem(p.what.empty() ? path : path + QStringLiteral("  —  ") + QString::fromStdString(p.what),
                           path);
    }
    portList_->setEditText(typed);
}

void SettingsDialog::PortChange() {
    logic_.choosePort(portList_->currentText().toStdString(),
                      wakeByte_->isChecked() ? platform::WakeMethod::SlowByte : platform::WakeMethod::Break,
                      reconnect_->isChecked(), adapter_->currentIndex(), rate_->currentIndex());
}

void SettingsDialog::SliderChange(int slider, int position) { logic_.moveSlider(slider, position); }

void SettingsDialog::showSliders() {
    for (int i = 0; i < logic::SettingsWindow::kSliders; ++i) {
        QSlider* s = sliders_[static_cast<std::size_t>(i)];
        const QSignalBlocker quiet(s);  // the logic has already applied the position
        s->setValue(logic_.sliderPosition(i));
    }
}

void SettingsDialog::showSet() {
    setGroup_->button(logic_.downSet())->setChecked(true);
    for (int k = 1; k <= 5; ++k) list(k)->setCurrentIndex(logic_.listEntry(k));
}

void SettingsDialog::SetButtonClick(int n) {
    logic_.selectSet(n);
    showSet();
    update();
}

void SettingsDialog::ListChange(int k, int index) { logic_.chooseListEntry(k, index); }

void SettingsDialog::ResetClick() {
    logic_.resetColours();
    showSliders();
}

void SettingsDialog::finish() {
    if (onClosed) onClosed();
}

}  // namespace qtface
