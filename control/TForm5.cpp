#include "control/TForm5.h"

#include <QCloseEvent>
#include <QGroupBox>

#include "control/Confirmation.h"
#include "platform/Cp1251.h"

namespace {

struct Entry {
    const char* text;
    const char* left;
    const char* right;
};

const Entry kEntryTable[TForm5::kEntries] = {
    {"Форсунка 1", "Вкл", "Выкл"},          {"Форсунка 2", "Вкл", "Выкл"},
    {"Форсунка 3", "Вкл", "Выкл"},          {"Форсунка 4", "Вкл", "Выкл"},
    {"Зажигание 1-4", "Вкл", "Выкл"},       {"Зажигание 2-3", "Вкл", "Выкл"},
    {"Реле бензонасоса", "Вкл", "Выкл"},    {"Реле вентилятора 1", "Вкл", "Выкл"},
    {"Реле вентилятора 2", "Вкл", "Выкл"},  {"Реле кондиционера", "Вкл", "Выкл"},
    {"Реле стартера", "Вкл", "Выкл"},       {"Лампа неисправности", "Вкл", "Выкл"},
    {"Регулятор ХХ", "+1 шаг", "-1 шаг"},   {"Обороты ХХ", "+10 об", "-10 об"},
    {"Клапан продувки адсорбера", "+1", "-1"}, {"Сброс ЭБУ", nullptr, nullptr},
    {"Инициализация ЭБУ", nullptr, nullptr},
};

// Entries 0..11 are the on/off outputs in the command area's order; 12..14
// the adjustable ones.
constexpr bool isAdjust(int k) { return k >= 12 && k <= 14; }
constexpr int kMomposNumber = 54;
constexpr int kNsolNumber = 58;
// Frame bytes 0..5 summed modulo 256, for LIDs 41, 42 and 43.
constexpr std::uint8_t kFrameConstant[3] = {0xFD, 0xFE, 0xFF};
constexpr int kUpperLimit[3] = {255, 255, 100};

}  // namespace

TForm5::TForm5(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live, QWidget* parent)
    : QDialog(parent), command_(command), live_(live) {
    setWindowTitle(QStringLiteral("Управление"));
    setFixedSize(201, 113);
    // The small dialog font its 201-pixel layout was drawn for.
    QFont small = font();
    small.setFamily(QStringLiteral("Arial"));
    small.setPixelSize(11);
    setFont(small);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* group = new QGroupBox(QStringLiteral("Управление"), this);
    group->setGeometry(10, 2, 185, 49);
    list_ = new QComboBox(group);
    list_->setGeometry(8, 18, 169, 22);
    for (const Entry& e : kEntryTable) list_->addItem(QString::fromUtf8(e.text));
    list_->setCurrentIndex(0);
    connect(list_, &QComboBox::activated, this, &TForm5::ComboBox1Change);

    status_ = new QLabel(QStringLiteral("Выл"), this);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setGeometry(10, 58, 185, 17);
    status_->setAlignment(Qt::AlignCenter);
    left_ = new QPushButton(QStringLiteral("Вкл"), this);
    left_->setGeometry(10, 82, 57, 22);
    right_ = new QPushButton(QStringLiteral("Выкл"), this);
    right_->setGeometry(138, 82, 57, 22);
    connect(left_, &QPushButton::clicked, this, &TForm5::LeftClick);
    connect(right_, &QPushButton::clicked, this, &TForm5::RightClick);
    connect(&timer_, &QTimer::timeout, this, &TForm5::Timer1Timer);
    timer_.start(100);
}

TForm5::~TForm5() { timer_.stop(); }

void TForm5::setReport(int k, std::uint8_t value) {
    klink::Flag& f = isAdjust(k) ? command_.adjust[static_cast<std::size_t>(k - 12)].reportRequest
                                 : command_.actuator[static_cast<std::size_t>(k)].reportRequest;
    f.store(value, std::memory_order_release);
}

void TForm5::postRelease(int k) {
    if (isAdjust(k)) {
        klink::post(command_.adjust[static_cast<std::size_t>(k - 12)].releaseRequest);
    } else {
        klink::post(command_.actuator[static_cast<std::size_t>(k)].releaseRequest);
    }
}

void TForm5::reportOnly(int k) {
    for (int other = 0; other <= 14; ++other) setReport(other, other == k ? 1 : 0);
}

void TForm5::ComboBox1Change(int k) {
    if (k < 0 || k >= kEntries) return;
    if (k == previousAction_) {
        // Not a change; but after a confirmation the entry shown runs no
        // report, and choosing it again starts its report.
        if (isOutput(k)) reportOnly(k);
        return;
    }
    if (isOutput(previousAction_)) postRelease(previousAction_);
    if (isOutput(k)) {
        setCaptions(QString::fromUtf8(kEntryTable[k].left), QString::fromUtf8(kEntryTable[k].right));
        reportOnly(k);
        // The adjustments start from the ECU's current value.
        auto rawByte = [this](int number) {
            return live_.read([number](const ecu::LiveData& d) {
                return static_cast<std::int32_t>(d.analogue[static_cast<std::size_t>(number)].raw[0]);
            });
        };
        if (k == 12) command_.adjust[0].adjustValue = rawByte(kMomposNumber);
        if (k == 13) command_.adjust[1].adjustValue = rawByte(kNsolNumber);
        if (k == 14) command_.adjust[2].adjustValue = 0;
    }
    if (k == kResetEntry || k == kInitEntry) {
        confirm(k);
        return;
    }
    previousAction_ = list_->currentIndex();
}

void TForm5::confirm(int k) {
    for (int other = 0; other <= 14; ++other) setReport(other, 0);
    QPointer<TForm5> self(this);
    auto restore = [self] {
        if (self) self->restoreAfterConfirmation();
    };
    QDialog* dialog = k == kResetEntry ? static_cast<QDialog*>(new TForm6(command_, restore))
                                       : static_cast<QDialog*>(new TForm7(command_, restore));
    confirmation_ = dialog;
    dialog->show();
    hide();
    list_->setCurrentIndex(0);  // made by the program: no selection change
    previousAction_ = 0;
}

void TForm5::step(int k, bool up) {
    const std::size_t i = static_cast<std::size_t>(k - 12);
    klink::AdjustCommand& a = command_.adjust[i];
    std::int32_t v = a.adjustValue;
    if (up && v < kUpperLimit[i]) ++v;
    if (!up && v > 0) --v;
    a.adjustValue = v;
    const auto value = static_cast<std::uint8_t>(v & 0xFF);
    // Payload first, then the flag, so the link never sends a half-written frame.
    a.adjustFrame.setValue(value, static_cast<std::uint8_t>(value + kFrameConstant[i]));
    klink::post(a.adjustRequest);
}

void TForm5::LeftClick() {
    const int k = list_->currentIndex();
    if (isAdjust(k)) {
        step(k, true);
    } else if (k >= 0 && k <= 11) {
        klink::post(command_.actuator[static_cast<std::size_t>(k)].onRequest);
    }
}

void TForm5::RightClick() {
    const int k = list_->currentIndex();
    if (isAdjust(k)) {
        step(k, false);
    } else if (k >= 0 && k <= 11 && klink::actuatorHasOff(klink::kActuatorLids[static_cast<std::size_t>(k)])) {
        klink::post(command_.actuator[static_cast<std::size_t>(k)].offRequest);
    }
}

void TForm5::Timer1Timer() {
    const int k = list_->currentIndex();
    if (k >= 0 && k <= 11) {
        status_->setText(QString::fromStdString(
            cp1251::toUtf8(command_.actuator[static_cast<std::size_t>(k)].stateText.get())));
    } else if (k == 12) {
        status_->setText(QString::number(command_.adjust[0].adjustValue.load()) + QStringLiteral("  Шаг"));
    } else if (k == 13) {
        status_->setText(QString::number(command_.adjust[1].adjustValue.load() * 10) + QStringLiteral("   Об."));
    } else if (k == 14) {
        status_->setText(QString::number(command_.adjust[2].adjustValue.load()) + QStringLiteral(" %"));
    }
}

void TForm5::setCaptions(const QString& left, const QString& right) {
    left_->setText(left);
    right_->setText(right);
}

void TForm5::restoreAfterConfirmation() {
    if (closed_) return;  // the program is ending: stay closed
    setCaptions(QStringLiteral("Вкл"), QStringLiteral("Выкл"));
    show();
}

void TForm5::finish() {
    if (closed_) return;
    closed_ = true;
    if (confirmation_) confirmation_->close();  // as "Нет"
    if (onClosed) onClosed();  // re-enables the main window
    timer_.stop();
    const int k = list_->currentIndex();
    if (isOutput(k)) postRelease(k);
}

void TForm5::closeEvent(QCloseEvent* e) {
    e->accept();
    finish();
}

void TForm5::done(int result) {
    // Escape rejects the dialog, which closes it without a close event.
    finish();
    QDialog::done(result);
}
