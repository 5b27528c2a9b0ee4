#include "control/TForm5.h"

#include <QCloseEvent>
#include <QGroupBox>

#include "control/Confirmation.h"
#include "platform/Cp1251.h"

namespace {

enum class Kind {
    Switch,  // an on/off output: its ActuatorCommand
    Step,    // an adjustable output: its AdjustCommand
    Reset,   // ECU reset behind its confirmation
    Init,    // ECU initialisation behind its confirmation
};

struct Entry {
    const char* text;
    const char* left;
    const char* right;
    Kind kind;
    std::size_t record;  // index into the command area's actuator or adjust records
};

const Entry kEntryTable[TForm5::kEntries] = {
    {"Форсунка 1", "Вкл", "Выкл", Kind::Switch, 0},           {"Форсунка 2", "Вкл", "Выкл", Kind::Switch, 1},
    {"Форсунка 3", "Вкл", "Выкл", Kind::Switch, 2},           {"Форсунка 4", "Вкл", "Выкл", Kind::Switch, 3},
    {"Зажигание 1-4", "Вкл", "Выкл", Kind::Switch, 4},        {"Зажигание 2-3", "Вкл", "Выкл", Kind::Switch, 5},
    {"Реле бензонасоса", "Вкл", "Выкл", Kind::Switch, 6},     {"Реле вентилятора 1", "Вкл", "Выкл", Kind::Switch, 7},
    {"Реле вентилятора 2", "Вкл", "Выкл", Kind::Switch, 8},   {"Реле кондиционера", "Вкл", "Выкл", Kind::Switch, 9},
    {"Реле стартера", "Вкл", "Выкл", Kind::Switch, 10},       {"Лампа неисправности", "Вкл", "Выкл", Kind::Switch, 11},
    {"Регулятор ХХ", "+1 шаг", "-1 шаг", Kind::Step, 0},      {"Обороты ХХ", "+10 об", "-10 об", Kind::Step, 1},
    {"Клапан продувки адсорбера", "+1", "-1", Kind::Step, 2}, {"Сброс ЭБУ", nullptr, nullptr, Kind::Reset, 0},
    {"Инициализация ЭБУ", nullptr, nullptr, Kind::Init, 0},
};

// What each adjustable output starts from, how far it goes, and how its
// value is shown: LID 41 in actuator steps, LID 42 in units of 10 rpm,
// LID 43 in percent.
struct StepRule {
    int startFrom;  // live-data number whose raw byte is the ECU's value; 0: start at 0
    int upperLimit;
    int shownFactor;
    const char* unit;
};
constexpr int kMomposNumber = 54;
constexpr int kNsolNumber = 58;
constexpr StepRule kStepRules[klink::kAdjustCount] = {
    {kMomposNumber, 255, 1, "  Шаг"},
    {kNsolNumber, 255, 10, "   Об."},
    {0, 100, 1, " %"},
};

const Entry* entry(int k) { return k >= 0 && k < TForm5::kEntries ? &kEntryTable[k] : nullptr; }
bool isOutput(int k) {
    const Entry* e = entry(k);
    return e && (e->kind == Kind::Switch || e->kind == Kind::Step);
}

}  // namespace

bool TForm5::isOutput(int k) { return ::isOutput(k); }

TForm5::TForm5(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live, QWidget* parent)
    : ClosingDialog(parent), command_(command), live_(live) {
    setWindowTitle(QStringLiteral("Управление"));
    setFixedSize(201, 113);
    display::useSmallDialogFont(this);
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
    list_->setFocus();  // the harmless control: Enter there switches nothing
}

TForm5::~TForm5() { timer_.stop(); }

klink::Flag& TForm5::flagOf(int k, Request which) {
    const Entry& e = kEntryTable[k];
    if (e.kind == Kind::Step) {
        klink::AdjustCommand& a = command_.adjust[e.record];
        return which == Request::Report ? a.reportRequest : a.releaseRequest;
    }
    klink::ActuatorCommand& a = command_.actuator[e.record];
    return which == Request::Report ? a.reportRequest : a.releaseRequest;
}

void TForm5::setReport(int k, std::uint8_t value) {
    flagOf(k, Request::Report).store(value, std::memory_order_release);
}

void TForm5::postRelease(int k) { klink::post(flagOf(k, Request::Release)); }

void TForm5::reportOnly(int k) {
    for (int other = 0; other < kEntries; ++other)
        if (isOutput(other)) setReport(other, other == k ? 1 : 0);
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
        if (kEntryTable[k].kind == Kind::Step) {
            // The adjustments start from the ECU's current value.
            const int number = kStepRules[kEntryTable[k].record].startFrom;
            command_.adjust[kEntryTable[k].record].adjustValue =
                number == 0 ? 0 : live_.read([number](const ecu::LiveData& d) {
                    return static_cast<std::int32_t>(d.analogue[static_cast<std::size_t>(number)].raw[0]);
                });
        }
    }
    if (kEntryTable[k].kind == Kind::Reset || kEntryTable[k].kind == Kind::Init) {
        confirm(k);
        return;
    }
    previousAction_ = list_->currentIndex();
}

void TForm5::confirm(int k) {
    reportOnly(-1);  // none
    QPointer<TForm5> self(this);
    auto restore = [self] {
        if (self) self->restoreAfterConfirmation();
    };
    display::ClosingDialog* dialog = kEntryTable[k].kind == Kind::Reset
                                         ? static_cast<display::ClosingDialog*>(new TForm6(command_, restore))
                                         : static_cast<display::ClosingDialog*>(new TForm7(command_, restore));
    confirmation_ = dialog;
    // It stands in for this window, which hides: it belongs to this one's owner.
    dialog->setOwner(owner());
    // Hidden first, so that the confirmation is the window that appears last
    // and the window manager gives it the keyboard.
    hide();
    dialog->show();
    dialog->activateWindow();
    list_->setCurrentIndex(0);  // made by the program: no selection change
    previousAction_ = 0;
}

void TForm5::step(int k, bool up) {
    const std::size_t i = kEntryTable[k].record;
    const StepRule& rule = kStepRules[i];
    klink::AdjustCommand& a = command_.adjust[i];
    std::int32_t v = a.adjustValue;
    if (up && v < rule.upperLimit) ++v;
    if (!up && v > 0) --v;
    a.adjustValue = v;
    const auto value = static_cast<std::uint8_t>(v & 0xFF);
    // Payload first, then the flag, so the link never sends a half-written frame.
    a.adjustFrame.setValue(value);
    klink::post(a.adjustRequest);
}

void TForm5::LeftClick() {
    const Entry* e = entry(list_->currentIndex());
    if (!e) return;
    if (e->kind == Kind::Step) {
        step(list_->currentIndex(), true);
    } else if (e->kind == Kind::Switch) {
        klink::post(command_.actuator[e->record].onRequest);
    }
}

void TForm5::RightClick() {
    const Entry* e = entry(list_->currentIndex());
    if (!e) return;
    if (e->kind == Kind::Step) {
        step(list_->currentIndex(), false);
    } else if (e->kind == Kind::Switch && klink::actuatorHasOff(klink::kActuatorLids[e->record])) {
        klink::post(command_.actuator[e->record].offRequest);
    }
}

void TForm5::Timer1Timer() {
    const Entry* e = entry(list_->currentIndex());
    if (!e) return;
    if (e->kind == Kind::Switch) {
        status_->setText(QString::fromStdString(cp1251::toUtf8(command_.actuator[e->record].stateText.get())));
    } else if (e->kind == Kind::Step) {
        const StepRule& rule = kStepRules[e->record];
        status_->setText(QString::number(command_.adjust[e->record].adjustValue.load() * rule.shownFactor) +
                         QString::fromUtf8(rule.unit));
    }
}

void TForm5::setCaptions(const QString& left, const QString& right) {
    left_->setText(left);
    right_->setText(right);
}

void TForm5::restoreAfterConfirmation() {
    if (finished()) return;  // the window is closing: stay closed
    setCaptions(QStringLiteral("Вкл"), QStringLiteral("Выкл"));
    show();
}

void TForm5::finish() {
    if (confirmation_) confirmation_->close();  // as "Нет"
    if (onClosed) onClosed();                   // re-enables the main window
    timer_.stop();
    const int k = list_->currentIndex();
    if (isOutput(k)) postRelease(k);
}
