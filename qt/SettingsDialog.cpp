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

namespace qtface {

SettingsDialog::SettingsDialog(platform::SettingsStore& store, display::ColourScheme& colours,
                               std::function<void()> redraw, std::function<void(const std::string&)> report,
                               logic::SettingsWindow::PortLister listPorts, QWidget* parent)
    : ClosingDialog(parent), logic_(store, colours, static_cast<int>(ecu::ParameterCatalogue::instance().all().size()),
                                    std::move(redraw), std::move(report), std::move(listPorts)) {
    logic_.open();
    setWindowTitle(QStringLiteral("Настройка программы"));
    setFixedSize(513, 309);
    setAttribute(Qt::WA_DeleteOnClose);
    tabs_ = new QTabWidget(this);
    tabs_->setGeometry(0, 0, 513, 309);
    tabs_->addTab(buildSetsTab(), QStringLiteral("Ноборы параметров"));
    tabs_->addTab(buildColourTab(), QStringLiteral("Цветовая схема"));
    tabs_->addTab(buildEcuTab(), QStringLiteral("Выбор ЭБУ"));
    tabs_->addTab(buildPortTab(), QStringLiteral("Com Port"));
    tabs_->tabBar()->setFocus();  // the harmless control: Enter there stores nothing
    // Group captions sit on the frame line, as the layout's positions
    // (buttons and captions 16 pixels down) were drawn for; the toolkit's own
    // style puts the frame below the caption, across those controls.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"));

    showSet();
    showSliders();
    update();
}

QWidget* SettingsDialog::buildSetsTab() {
    auto* page = new QWidget;
    auto* sets = new QGroupBox(QStringLiteral("Наборы"), page);
    sets->setGeometry(8, 8, 489, 41);
    setGroup_ = new QButtonGroup(this);
    setGroup_->setExclusive(true);
    for (int n = 1; n <= 12; ++n) {
        auto* b = new QToolButton(sets);
        b->setText(QStringLiteral("F%1").arg(n));
        b->setCheckable(true);
        b->setGeometry(8 + 40 * (n - 1), 16, 33, 17);
        setGroup_->addButton(b, n);
        connect(b, &QToolButton::clicked, this, [this, n] { SetButtonClick(n); });
    }
    auto* params = new QGroupBox(QStringLiteral("Параметры"), page);
    params->setGeometry(8, 56, 489, 217);
    QStringList items;
    for (const auto& p : ecu::ParameterCatalogue::instance().all())
        items << QString::fromStdString(cp1251::toUtf8(p.listText));
    for (int k = 1; k <= 5; ++k) {
        auto* list = new QComboBox(params);
        list->setGeometry(8, 24 + 40 * (k - 1), 473, 22);
        list->addItems(items);
        list->setCurrentIndex(-1);
        // The closed list shows what fits; the open one every entry whole.
        list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 24);
        // activated: the user's choices only; the program's selections write nothing.
        connect(list, &QComboBox::activated, this, [this, k](int index) { ListChange(k, index); });
        lists_[static_cast<std::size_t>(k - 1)] = list;
    }
    return page;
}

QWidget* SettingsDialog::buildColourTab() {
    auto* page = new QWidget;
    // Group boxes left to right; sliders are numbered grid, name, value, graph.
    const struct {
        const char* caption;
        int left;
        int group;
    } boxes[4] = {{"Имя параметра", 8, 1}, {"Параметр", 131, 2}, {"График", 254, 3}, {"Сетка", 377, 0}};
    const char* labels[4] = {"Красный", "Зеленый", "Синий", "Яркость"};
    for (const auto& b : boxes) {
        auto* box = new QGroupBox(QString::fromUtf8(b.caption), page);
        box->setGeometry(b.left, 24, 122, 193);
        for (int c = 0; c < 4; ++c) {
            auto* label = new QLabel(QString::fromUtf8(labels[c]), box);
            label->setGeometry(8, 16 + 44 * c, 100, 14);
            auto* s = new QSlider(Qt::Horizontal, box);
            s->setGeometry(8, 30 + 44 * c, 106, 24);
            s->setRange(0, 100);
            s->setTickInterval(10);
            s->setTickPosition(QSlider::TicksBelow);
            const int index = b.group * 4 + c;
            sliders_[static_cast<std::size_t>(index)] = s;
            connect(s, &QSlider::valueChanged, this, [this, index](int v) { SliderChange(index, v); });
        }
    }
    auto* reset = new QPushButton(QStringLiteral("Сброс"), page);
    reset->setGeometry(432, 240, 65, 22);
    connect(reset, &QPushButton::clicked, this, &SettingsDialog::ResetClick);
    return page;
}

QWidget* SettingsDialog::buildEcuTab() {
    auto* page = new QWidget;
    const struct {
        const char* group;
        std::vector<const char*> choices;
    } groups[5] = {{"Bosch 1.5.4", {"Bosch 1.5.4 P83", "Bosch 1.5.4 N"}},
                   {"Bosch MP 7", {"Bosch MP 7 E2", "Bosch MP 7 E3"}},
                   {"Bosch M7.9.7", {"Bosch M7.9.7 E2", "Bosch M7.9.7 E3"}},
                   {"VS 5.1", {"VS 5.1 P83", "VS 5.1 E2"}},
                   {"Январь", {"Январь 5.1  Е2", "Январь 5.1.1 Р83", "Январь 5.1.2 Р83", "Январь 7.2"}}};
    const QRect places[5] = {
        {8, 8, 160, 70}, {176, 8, 160, 70}, {344, 8, 153, 70}, {8, 86, 160, 70}, {176, 86, 160, 122}};
    for (int g = 0; g < 5; ++g) {
        auto* box = new QGroupBox(QString::fromUtf8(groups[g].group), page);
        box->setGeometry(places[g]);
        int y = 20;
        for (const char* choice : groups[g].choices) {
            auto* r = new QRadioButton(QString::fromUtf8(choice), box);
            r->setGeometry(8, y, places[g].width() - 12, 20);
            const bool ours = QString::fromUtf8(choice) == QStringLiteral("Bosch M7.9.7 E2");
            r->setEnabled(ours);
            r->setChecked(ours);
            y += 24;
        }
    }
    return page;
}

QWidget* SettingsDialog::buildPortTab() {
    // The serial ports present (by their stable by-id names where udev made
    // them) and any path typed in; the choice is used from the next "Старт".
    auto* page = new QWidget;
    const stored::PortChoice& stored = logic_.portShown();
    auto* portBox = new QGroupBox(QStringLiteral("Порт адаптера"), page);
    portBox->setGeometry(8, 8, 489, 81);
    portList_ = new QComboBox(portBox);
    portList_->setGeometry(8, 22, 473, 22);
    portList_->setEditable(true);
    showPorts();
    portList_->setCurrentText(QString::fromStdString(stored.device));
    // An adapter plugged in while the dialog is open shows within a second.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        if (logic_.refreshPorts()) showPorts();
    });
    watch->start(1000);
    portList_->lineEdit()->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
    auto* hint = new QLabel(QStringLiteral("Выбор действует со следующего нажатия \"Старт\"."), portBox);
    hint->setGeometry(8, 52, 473, 18);
    connect(portList_, &QComboBox::activated, this, [this](int index) {
        // The list shows what each port is; the choice is its path.
        portList_->setEditText(portList_->itemData(index).toString());
        PortChange();
    });
    connect(portList_->lineEdit(), &QLineEdit::editingFinished, this, &SettingsDialog::PortChange);

    auto* wakeBox = new QGroupBox(QStringLiteral("Пробуждение ЭБУ"), page);
    wakeBox->setGeometry(8, 97, 489, 73);
    wakeByte_ = new QRadioButton(QStringLiteral("Байт 0x00 на 360 бод (подходит всем USB-адаптерам)"), wakeBox);
    wakeByte_->setGeometry(8, 20, 473, 20);
    auto* wakeBreak = new QRadioButton(QStringLiteral("Break 25 мс"), wakeBox);
    wakeBreak->setGeometry(8, 44, 473, 20);
    (stored.wake == platform::WakeMethod::Break ? wakeBreak : wakeByte_)->setChecked(true);
    connect(wakeByte_, &QRadioButton::toggled, this, [this](bool) { PortChange(); });

    reconnect_ = new QCheckBox(QStringLiteral("Переподключаться автоматически"), page);
    reconnect_->setGeometry(16, 178, 473, 20);
    reconnect_->setChecked(stored.reconnect);
    connect(reconnect_, &QCheckBox::toggled, this, [this](bool) { PortChange(); });
    return page;
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
                      reconnect_->isChecked());
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
