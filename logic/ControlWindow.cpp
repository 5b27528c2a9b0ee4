// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/ControlWindow.h"

#include "platform/Cp1251.h"

namespace logic {
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

const Entry kEntryTable[ControlWindow::kEntries] = {
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

const Entry* entry(int k) { return k >= 0 && k < ControlWindow::kEntries ? &kEntryTable[k] : nullptr; }

}  // namespace

const char* ControlWindow::entryText(int k) {
    const Entry* e = entry(k);
    return e ? e->text : "";
}

ControlWindow::Captions ControlWindow::captionsOf(int k) {
    const Entry* e = entry(k);
    if (!e || !e->left) return {"Вкл", "Выкл"};
    return {e->left, e->right};
}

bool ControlWindow::isOutput(int k) {
    const Entry* e = entry(k);
    return e && (e->kind == Kind::Switch || e->kind == Kind::Step);
}

ControlWindow::ControlWindow(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live)
    : WindowLogic(ui::controlWindow()), command_(command), live_(live) {
    ui::Shown& list = show(ui::kControlList);
    for (int k = 0; k < kEntries; ++k) list.entries.emplace_back(entryText(k));
    list.value = 0;
    list.tip = list.entries[0];
}

void ControlWindow::showCaptions(Captions c) {
    show(ui::kControlLeft).text = c.left;
    show(ui::kControlRight).text = c.right;
}

void ControlWindow::chosen(int id, int index) {
    if (id != ui::kControlList) return;
    show(ui::kControlList).value = index;
    const Choice c = choose(index);
    ui::Shown& list = show(ui::kControlList);
    list.value = c.shown;
    // The closed list shows what fits; the pointer's tip, the whole entry.
    list.tip = list.entries[static_cast<std::size_t>(c.shown)];
    if (c.confirm == Confirm::None) {
        showCaptions(c.captions);
        return;
    }
    auto confirmation = std::make_unique<Confirmation>(command_, c.confirm == Confirm::Init);
    confirmation->noteAction = noteAction;
    confirmation->noteOnAnswer = noteOnAnswer;
    confirmation->mayCommand = mayCommand;
    standIn(std::move(confirmation));
}

void ControlWindow::pressed(int id, bool) {
    if (id != ui::kControlLeft && id != ui::kControlRight) return;
    // After a confirmation the entry shown runs no report until it is
    // chosen again; a press acts on it, so its state is read from now on
    // (the status would show its state from before the press otherwise).
    const int shown = entryShown();
    if (isOutput(shown) && flagOf(shown, Request::Report).load(std::memory_order_acquire) == 0) reportOnly(shown);
    if (id == ui::kControlLeft) left(shown);
    if (id == ui::kControlRight) right(shown);
}

void ControlWindow::tick() {
    if (isOutput(entryShown())) show(ui::kControlStatus).text = cp1251::toUtf8(statusText(entryShown()));
}

void ControlWindow::standInClosed() {
    showCaptions(afterConfirmation());
    focusOn(ui::kControlList);
}

klink::Flag& ControlWindow::flagOf(int k, Request which) {
    const Entry& e = kEntryTable[k];
    if (e.kind == Kind::Step) {
        klink::AdjustCommand& a = command_.adjust[e.record];
        return which == Request::Report ? a.reportRequest : a.releaseRequest;
    }
    klink::ActuatorCommand& a = command_.actuator[e.record];
    return which == Request::Report ? a.reportRequest : a.releaseRequest;
}

void ControlWindow::reportOnly(int k) {
    for (int other = 0; other < kEntries; ++other)
        if (isOutput(other)) flagOf(other, Request::Report).store(other == k ? 1 : 0, std::memory_order_release);
}

ControlWindow::Choice ControlWindow::choose(int k) {
    Choice c;
    c.shown = k;
    c.captions = captionsOf(previousAction_);
    if (k < 0 || k >= kEntries) {
        c.shown = previousAction_;
        return c;
    }
    if (k == previousAction_) {
        // Not a change; but after a confirmation the entry shown runs no
        // report, and choosing it again starts its report.
        if (isOutput(k)) reportOnly(k);
        return c;
    }
    if (isOutput(previousAction_)) release(previousAction_);
    const Entry& e = kEntryTable[k];
    if (isOutput(k)) {
        c.captions = captionsOf(k);
        reportOnly(k);
        if (e.kind == Kind::Step) {
            // The adjustments start from the ECU's current value.
            const int number = kStepRules[e.record].startFrom;
            klink::AdjustCommand& a = command_.adjust[e.record];
            a.adjustValue = number == 0 ? 0 : live_.read([number](const ecu::LiveData& d) {
                return static_cast<std::int32_t>(d.analogue[static_cast<std::size_t>(number)].raw[0]);
            });
            a.inEffect = a.adjustValue.load();
        }
    }
    if (e.kind == Kind::Reset || e.kind == Kind::Init) {
        reportOnly(-1);  // none while the confirmation stands
        c.confirm = e.kind == Kind::Reset ? Confirm::Reset : Confirm::Init;
        c.shown = 0;  // the list stands on its first entry, without a choice
        previousAction_ = 0;
        return c;
    }
    previousAction_ = k;
    return c;
}

void ControlWindow::step(int k, bool up) {
    const std::size_t i = kEntryTable[k].record;
    const StepRule& rule = kStepRules[i];
    klink::AdjustCommand& a = command_.adjust[i];
    std::int32_t v = a.adjustValue;
    if (up && v < rule.upperLimit) ++v;
    if (!up && v > 0) --v;
    a.adjustValue = v;
    // Payload first, then the flag, so the link never sends a half-written frame.
    a.adjustFrame.setValue(static_cast<std::uint8_t>(v & 0xFF));
    klink::post(a.adjustRequest);
    driven_[static_cast<std::size_t>(k)] = true;
    std::string unit = rule.unit;
    unit.erase(0, unit.find_first_not_of(' '));
    const std::string value = std::to_string(v * rule.shownFactor) + " " + unit;
    // A step the ECU surely did not take shows the value in effect again,
    // unless another step was pressed since.
    noteWhenAnswered({0x30, klink::kAdjustLids[i], 0x07, static_cast<std::uint8_t>(v & 0xFF)}, "adjustment",
                     std::string(kEntryTable[k].text) + ": " + value,
                     std::string(kEntryTable[k].text) + ": установка " + value + " не выполнена",
                     [&a, v](bool notDone) {
                         if (!notDone)
                             a.inEffect = v;
                         else if (a.adjustValue == v)
                             a.adjustValue = a.inEffect.load();
                     });
}

void ControlWindow::left(int shown) {
    const Entry* e = entry(shown);
    if (!e || ((e->kind == Kind::Step || e->kind == Kind::Switch) && !commandMayGo())) return;
    if (e->kind == Kind::Step) {
        step(shown, true);
    } else if (e->kind == Kind::Switch) {
        klink::post(command_.actuator[e->record].onRequest);
        driven_[static_cast<std::size_t>(shown)] = true;
        noteWhenAnswered({0x30, klink::kActuatorLids[e->record], 0x06, 0xFF}, "output",
                         std::string(e->text) + ": включено", std::string(e->text) + ": включение не выполнено");
    }
}

void ControlWindow::right(int shown) {
    const Entry* e = entry(shown);
    if (!e) return;
    const bool switchesOff = e->kind == Kind::Switch && klink::actuatorHasOff(klink::kActuatorLids[e->record]);
    if ((e->kind == Kind::Step || switchesOff) && !commandMayGo()) return;
    if (e->kind == Kind::Step) {
        step(shown, false);
    } else if (switchesOff) {
        klink::post(command_.actuator[e->record].offRequest);
        driven_[static_cast<std::size_t>(shown)] = true;
        noteWhenAnswered({0x30, klink::kActuatorLids[e->record], 0x06, 0x00}, "output",
                         std::string(e->text) + ": выключено", std::string(e->text) + ": выключение не выполнено");
    }
}

std::string ControlWindow::statusText(int shown) const {
    const Entry* e = entry(shown);
    if (!e) return {};
    if (e->kind == Kind::Switch) return command_.actuator[e->record].stateText.get();
    if (e->kind == Kind::Step) {
        const StepRule& rule = kStepRules[e->record];
        return std::to_string(command_.adjust[e->record].adjustValue.load() * rule.shownFactor) +
               cp1251::fromUtf8(rule.unit);
    }
    return {};
}

void ControlWindow::closing(int shown) {
    if (isOutput(shown)) release(shown);
}

void ControlWindow::release(int k) {
    klink::post(flagOf(k, Request::Release));
    if (!driven_[static_cast<std::size_t>(k)]) return;
    driven_[static_cast<std::size_t>(k)] = false;
    const bool step = kEntryTable[k].kind == Kind::Step;
    const std::uint8_t lid =
        step ? klink::kAdjustLids[kEntryTable[k].record] : klink::kActuatorLids[kEntryTable[k].record];
    noteWhenAnswered({0x30, lid, 0x00}, step ? "adjustment" : "output",
                     std::string(kEntryTable[k].text) + ": управление возвращено ЭБУ",
                     std::string(kEntryTable[k].text) + ": возврат управления ЭБУ не выполнен");
}

Confirmation::Confirmation(klink::LinkCommandBlock& command, bool initialise)
    : WindowLogic(initialise ? ui::initialisationConfirmation() : ui::resetConfirmation()), command_(command),
      initialise_(initialise) {}

void Confirmation::pressed(int id, bool) {
    if (answered_ || (id != ui::kYes && id != ui::kNo)) return;
    if (id == ui::kYes) yes();
    no();
    askClose();
}

void Confirmation::yes() {
    if (answered_ || !commandMayGo()) return;
    answered_ = true;
    // A second "Да" before the next pass finds the flag already 1: one request.
    klink::post(initialise_ ? command_.ecuInitRequest : command_.ecuResetRequest);
    klink::post(command_.actuator[0].reportRequest);  // the list stands on "Форсунка 1"
    noteWhenAnswered({0x11, static_cast<std::uint8_t>(initialise_ ? 0x90 : 0x01), 0x00}, "reset",
                     initialise_ ? "инициализация ЭБУ" : "сброс ЭБУ",
                     initialise_ ? "инициализация ЭБУ не выполнена" : "сброс ЭБУ не выполнен");
}

}  // namespace logic
