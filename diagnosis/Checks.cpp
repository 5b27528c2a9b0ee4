// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnosis/Checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "diagnosis/Limits.h"

namespace diagnosis {

namespace {

using Pick = std::function<bool(const Row&)>;

double stepAfter(const Drive& d, std::size_t i) {
    if (i + 1 >= d.rows.size() || d.rows[i + 1].afterGap) return 0;
    return std::min(d.rows[i + 1].t - d.rows[i].t, kLongestStep);
}

// Seconds the drive spent where pick holds.
double secondsWhere(const Drive& d, const Pick& pick) {
    double s = 0;
    for (std::size_t i = 0; i < d.rows.size(); ++i)
        if (pick(d.rows[i])) s += stepAfter(d, i);
    return s;
}

// The time ranges where pick holds, joined across short steps.
std::vector<Evidence> rangesWhere(const Drive& d, const Pick& pick, const std::string& what) {
    std::vector<Evidence> out;
    bool open = false;
    for (std::size_t i = 0; i < d.rows.size(); ++i) {
        const bool in = pick(d.rows[i]);
        // A gap in the data ends a range: nothing was seen across it.
        if (in && (!open || gapBefore(d, i))) out.push_back({d.rows[i].t, d.rows[i].t, what});
        if (in) out.back().to = d.rows[i].t + stepAfter(d, i);
        open = in;
    }
    return out;
}

struct Stats {
    std::size_t n = 0;
    double mean = 0, low = 0, high = 0, spread = 0;  // spread: the standard deviation
};

Stats statsOf(const Drive& d, const Pick& pick, float Row::*field) {
    Stats s;
    double sum = 0, squares = 0;
    for (const Row& r : d.rows) {
        if (!pick(r)) continue;
        const double v = r.*field;
        if (s.n == 0) s.low = s.high = v;
        s.low = std::min(s.low, v);
        s.high = std::max(s.high, v);
        sum += v;
        squares += v * v;
        ++s.n;
    }
    if (s.n == 0) return s;
    s.mean = sum / static_cast<double>(s.n);
    s.spread = std::sqrt(std::max(0.0, squares / static_cast<double>(s.n) - s.mean * s.mean));
    return s;
}

// The band a sensor keeps to: its values from the share-th percentile to
// the (100 - share)-th, so that a stray pass or two decide nothing.
struct Band {
    double low = 0, high = 0;
    double width() const { return high - low; }
};

Band bandOf(const Drive& d, const Pick& pick, float Row::*field) {
    std::vector<float> v;
    for (const Row& r : d.rows)
        if (pick(r)) v.push_back(r.*field);
    if (v.empty()) return {};
    const double share = limit("lambda-band").value / 100;
    const auto at = [&v](double q) {
        const auto k = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
        return static_cast<double>(v[k]);
    };
    const double low = at(share);
    return {low, at(1 - share)};
}

std::string fixed(double v, int decimals) {
    char b[32];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    std::string s = b;
    std::replace(s.begin(), s.end(), '.', ',');  // as a Russian technician writes it
    return s;
}

// A whole count with its noun in the form the number asks: 1 шаг, 3 шага,
// 11 шагов, 21 шаг.
std::string counted(double v, const char* one, const char* few, const char* many) {
    const long n = std::lround(std::fabs(v));
    const long tens = n % 100, units = n % 10;
    const char* noun = tens >= 11 && tens <= 14 ? many : units == 1 ? one : units >= 2 && units <= 4 ? few : many;
    return fixed(v, 0) + " " + noun;
}

// Minutes: to a tenth below ten, so that a short drive is not "0 мин".
std::string minutes(double m) { return fixed(m, m < 10 ? 1 : 0) + " мин"; }

Finding noData(const char* id, std::string why, std::vector<std::string> limits = {}) {
    Finding f;
    f.id = id;
    f.verdict = Verdict::NoData;
    f.why = std::move(why);
    f.limits = std::move(limits);
    return f;
}

// A check whose condition held too short a time: for how long, and how long it needs.
Finding tooShort(const char* id, const std::string& condition, double seen, double need,
                 std::vector<std::string> limits) {
    return noData(id, condition + " " + fixed(seen, 0) + " с, нужно не меньше " + fixed(need, 0) + " с",
                  std::move(limits));
}

}  // namespace

const char* verdictName(Verdict v) {
    switch (v) {
        case Verdict::Ok:
            return "ok";
        case Verdict::Suspect:
            return "suspect";
        case Verdict::Fault:
            return "fault";
        case Verdict::NoData:
            break;
    }
    return "no-data";
}

Finding checkCharging(const Drive& d) {
    const Pick on = [](const Row& r) { return running(r); };
    const double need = limit("charging-seconds").value;
    const double seen = secondsWhere(d, on);
    if (seen < need) return tooShort("charging", "двигатель работал", seen, need, {"charging-seconds"});
    const Stats ub = statsOf(d, on, &Row::ub);
    Finding f;
    f.id = "charging";
    f.figures = {{"mean_v", ub.mean}, {"lowest_v", ub.low}, {"highest_v", ub.high}, {"spread_v", ub.spread}};
    const double low = limit("ub-running-low").value, high = limit("ub-running-high").value;
    const double faultLow = limit("ub-running-fault-low").value, faultHigh = limit("ub-running-fault-high").value;
    f.limits = {"ub-running-low", "ub-running-high", "ub-running-fault-low", "ub-running-fault-high"};
    const std::string mean = "среднее напряжение бортсети " + fixed(ub.mean, 2) + " В";
    if (ub.mean < faultLow || ub.mean > faultHigh) {
        f.verdict = Verdict::Fault;
    } else if (ub.mean < low || ub.mean > high) {
        f.verdict = Verdict::Suspect;
    } else {
        f.verdict = Verdict::Ok;
    }
    // The limit that decided is the one named.
    const bool fault = f.verdict == Verdict::Fault;
    if (ub.mean < low) {
        f.why = mean + " ниже " + fixed(fault ? faultLow : low, 1) + " В: генератор не заряжает батарею";
        f.next =
            "Проверить натяжение и проскальзывание ремня генератора, щётки и регулятор напряжения, "
            "диодный мост, провод «+» генератора и массу.";
        f.evidence = rangesWhere(
            d, [&](const Row& r) { return running(r) && r.ub < low; }, "напряжение ниже нормы");
    } else if (ub.mean > high) {
        f.why = mean + " выше " + fixed(fault ? faultHigh : high, 1) + " В: перезаряд";
        f.next =
            "Проверить регулятор напряжения генератора и его провод измерения; осмотреть батарею "
            "(выкипание электролита).";
        f.evidence = rangesWhere(
            d, [&](const Row& r) { return running(r) && r.ub > high; }, "напряжение выше нормы");
    } else {
        f.why = mean + " в норме (" + fixed(low, 1) + "–" + fixed(high, 1) + " В)";
        f.evidence = rangesWhere(d, on, "двигатель работает");
    }
    return f;
}

namespace {

// Where the fan first came on, as the warm-up's reason says it.
std::string fanSaid(const Finding& f) {
    for (const auto& [name, value] : f.figures)
        if (name == "fan_on_c") return "; вентилятор включился при " + fixed(value, 0) + " °C";
    return {};
}

}  // namespace

Finding checkWarmUp(const Drive& d) {
    const double overheat = limit("coolant-overheat").value, operating = limit("coolant-operating").value;
    const double coldStart = limit("cold-start").value, plateauAfter = limit("warm-up-plateau-minutes").value;
    const Pick on = [](const Row& r) { return running(r); };
    if (secondsWhere(d, on) < limit("running-seconds").value)
        return noData("warm-up", "двигатель почти не работал", {"running-seconds"});
    Finding f;
    f.id = "warm-up";
    const Stats tmot = statsOf(d, on, &Row::tmot);
    f.figures = {{"coolant_start_c", d.rows.front().tmot}, {"coolant_highest_c", tmot.high}};
    // The fan against the temperature: where it first came on. No switching
    // point of this engine's fan was found, so it is told, not judged.
    for (const Row& r : d.rows)
        if (running(r) && r.fan1) {
            f.figures.push_back({"fan_on_c", r.tmot});
            break;
        }
    // Overheating is judged on any drive.
    if (tmot.high > overheat) {
        f.verdict = Verdict::Fault;
        f.limits = {"coolant-overheat"};
        f.why =
            "перегрев: охлаждающая жидкость до " + fixed(tmot.high, 0) + " °C (предел " + fixed(overheat, 0) + " °C)";
        f.next =
            "Проверить уровень охлаждающей жидкости, работу вентилятора и его реле, термостат, насос, "
            "пробку расширительного бачка, нет ли газов в системе охлаждения.";
        f.evidence = rangesWhere(
            d, [&](const Row& r) { return r.tmot > overheat; }, "перегрев");
        f.why += fanSaid(f);
        return f;
    }
    // The warm-up proper needs a cold start.
    std::size_t start = 0;
    while (start < d.rows.size() && !running(d.rows[start])) ++start;
    // A warm start tells nothing of the warm-up's time, but an engine that
    // stays below its working temperature tells of the thermostat however
    // warm it started.
    if (start == d.rows.size() || (d.rows[start].tmot >= coldStart && tmot.high >= operating))
        return noData("warm-up",
                      "запуск был не холодным (жидкость " + fixed(d.rows[std::min(start, d.rows.size() - 1)].tmot, 0) +
                          " °C, нужно ниже " + fixed(coldStart, 0) + " °C): прогрев не оценить",
                      {"cold-start", "coolant-overheat"});
    f.limits = {"coolant-operating", "coolant-overheat", "cold-start", "warm-up-plateau-minutes", "warm-up-rise"};
    const Row& from = d.rows[start];
    f.figures.push_back({"start_s", from.t});
    std::size_t warm = start;
    while (warm < d.rows.size() && d.rows[warm].tmot < operating) ++warm;
    if (warm < d.rows.size()) {
        const double minutes = (d.rows[warm].t - from.t) / 60;
        f.figures.push_back({"minutes_to_operating", minutes});
        f.evidence.push_back({from.t, d.rows[warm].t, "прогрев до рабочей температуры"});
        f.verdict = Verdict::Ok;
        f.why =
            "прогрев от " + fixed(from.tmot, 0) + " до " + fixed(operating, 0) + " °C за " + fixed(minutes, 1) + " мин";
        f.why += fanSaid(f);
        return f;
    }
    // Still below working temperature: has it stopped rising?
    const Row& last = d.rows.back();
    const double ran = (last.t - from.t) / 60;
    std::size_t before = d.rows.size() - 1;
    while (before > start && last.t - d.rows[before - 1].t <= 5 * 60) --before;
    const double rise = last.tmot - d.rows[before].tmot, window = (last.t - d.rows[before].t) / 60;
    f.figures.push_back({"rise_last_5_min_c", rise});
    if (ran < plateauAfter || rise >= limit("warm-up-rise").value)
        return noData("warm-up",
                      "двигатель работал " + minutes(ran) + " и ещё греется (" + fixed(last.tmot, 0) +
                          " °C, за последние " + minutes(window) + " +" + fixed(rise, 1) +
                          " °C): прогрев не закончен; о термостате можно судить не раньше " + fixed(plateauAfter, 0) +
                          " мин работы, когда температура перестанет расти",
                      {"coolant-operating", "warm-up-plateau-minutes", "warm-up-rise"});
    f.verdict = Verdict::Suspect;
    f.why = "за " + minutes(ran) + " двигатель не прогрелся до " + fixed(operating, 0) + " °C и остановился на " +
            fixed(last.tmot, 0) + " °C (за последние " + minutes(window) + " +" + fixed(rise, 1) +
            " °C): похоже, термостат открыт";
    f.next =
        "Проверить термостат (на прогреве нижний шланг радиатора должен оставаться холодным до его "
        "открытия), затем датчик температуры охлаждающей жидкости.";
    f.evidence.push_back({d.rows[before].t, last.t, "температура не растёт"});
    f.why += fanSaid(f);
    return f;
}

Finding checkTemperatureSensors(const Drive& d) {
    const double coldStart = limit("cold-start").value;
    // The engine stood long enough that everything is at the air's
    // temperature: the coolant at the first pass is below a cold start's.
    if (d.rows.empty()) return noData("temperature-sensors", "ни одного цикла опроса", {"cold-start"});
    if (d.rows.front().tmot >= coldStart)
        return noData("temperature-sensors",
                      "нет холодного двигателя в начале записи (нужно ниже " + fixed(coldStart, 0) + " °C)",
                      {"cold-start"});
    const Row& first = d.rows.front();
    // Only right after the start: a running engine has warmed its coolant
    // past the start's (TMST), and the intake air at the start is not kept.
    const double fresh = limit("sensors-fresh").value;
    if (first.tmot - first.tmst > fresh)
        return noData("temperature-sensors",
                      "запись началась на работающем двигателе: жидкость уже " + fixed(first.tmot, 0) + " °C при " +
                          fixed(first.tmst, 0) + " °C на пуске; воздух на пуске не известен",
                      {"cold-start", "sensors-fresh"});
    Finding f;
    f.id = "temperature-sensors";
    f.limits = {"cold-start", "sensors-fresh", "sensors-agree", "sensors-disagree"};
    const double apart = std::fabs(first.tmot - first.tans);
    f.figures = {{"coolant_c", first.tmot}, {"intake_air_c", first.tans}, {"apart_c", apart}};
    f.evidence.push_back({first.t, first.t, "первый цикл опроса"});
    const double agree = limit("sensors-agree").value, disagree = limit("sensors-disagree").value;
    f.verdict = apart <= agree ? Verdict::Ok : apart <= disagree ? Verdict::Suspect : Verdict::Fault;
    f.why = "на холодном двигателе жидкость " + fixed(first.tmot, 0) + " °C, воздух " + fixed(first.tans, 0) +
            " °C: разница " + fixed(apart, 1) + " °C";
    if (f.verdict != Verdict::Ok)
        f.next =
            "Сравнить оба датчика с термометром; проверить разъёмы и проводку датчиков температуры "
            "охлаждающей жидкости и впускного воздуха (сопротивление по таблице датчика).";
    return f;
}

namespace {

// Warm, at idle, standing still.
Pick warmIdlePick() {
    const double operating = limit("coolant-operating").value;
    return [operating](const Row& r) { return running(r) && r.idle && r.vfzg == 0 && r.tmot >= operating; };
}

// Closed-loop control: a warm engine, the front sensor ready, no overrun fuel cut.
Pick closedLoopPick() {
    const double operating = limit("coolant-operating").value;
    return [operating](const Row& r) { return running(r) && r.tmot >= operating && r.lambdaReady && !r.fuelCut; };
}

}  // namespace

Finding checkIdle(const Drive& d) {
    const Pick warmIdle = warmIdlePick();
    const double need = limit("idle-seconds").value;
    const double seen = secondsWhere(d, warmIdle);
    if (seen < need)
        return tooShort("idle", "прогретый холостой ход", seen, need, {"idle-seconds", "coolant-operating"});
    Finding f;
    f.id = "idle";
    f.limits = {"idle-seconds", "coolant-operating", "idle-offset", "idle-offset-fault", "idle-spread"};
    const Stats n = statsOf(d, warmIdle, &Row::nmot), wanted = statsOf(d, warmIdle, &Row::nsol);
    const Stats iac = statsOf(d, warmIdle, &Row::mompos);
    const double offset = n.mean - wanted.mean;
    f.figures = {{"rpm_mean", n.mean},     {"rpm_wanted", wanted.mean}, {"offset_rpm", offset},
                 {"spread_rpm", n.spread}, {"iac_steps", iac.mean},     {"seconds", seen}};
    f.evidence = rangesWhere(d, warmIdle, "прогретый холостой ход");
    const double offsetLimit = limit("idle-offset").value, offsetFault = limit("idle-offset-fault").value;
    const double spreadLimit = limit("idle-spread").value;
    f.why = "обороты " + fixed(n.mean, 0) + " при заданных " + fixed(wanted.mean, 0) + " (" +
            (std::lround(offset) > 0 ? "+" : "") + fixed(std::lround(offset), 0) + "), разброс " + fixed(n.spread, 0) +
            " об/мин, РХХ " + counted(iac.mean, "шаг", "шага", "шагов");
    if (std::fabs(offset) > offsetFault) {
        f.verdict = Verdict::Fault;
    } else if (std::fabs(offset) > offsetLimit || n.spread > spreadLimit) {
        f.verdict = Verdict::Suspect;
    } else {
        f.verdict = Verdict::Ok;
    }
    // No limit for this engine's idle air valve was found: its position is
    // given, and read only beside a speed that is off.
    if (f.verdict != Verdict::Ok && n.spread > spreadLimit && std::fabs(offset) <= offsetLimit)
        f.next = "Обороты неровные: проверить пропуски воспламенения (свечи, катушки, форсунки) и подсос воздуха.";
    else if (f.verdict != Verdict::Ok)
        f.next = "Положение РХХ " + counted(iac.mean, "шаг", "шага", "шагов") +
                 ": почти закрытый РХХ при высоких оборотах — подсос воздуха помимо регулятора (шланги, "
                 "прокладка впускного коллектора, упор дроссельной заслонки); сильно открытый при низких — "
                 "грязный дроссельный узел или канал РХХ, лишняя нагрузка.";
    return f;
}

namespace {

// How much a counter grew over the drive: a counter that fell was cleared
// (by the ECU or a reconnection), and counts on from there.
// atIdle, if given, counts the growth seen at idle.
int growth(const Drive& d, const std::function<int(const Row&)>& counter, std::vector<Evidence>* where,
           const std::string& what, int* atIdle = nullptr) {
    int grown = 0;
    for (std::size_t i = 1; i < d.rows.size(); ++i) {
        const int before = counter(d.rows[i - 1]), now = counter(d.rows[i]);
        const int step = now >= before ? now - before : now;
        if (step <= 0) continue;
        grown += step;
        if (atIdle && d.rows[i].idle && d.rows[i - 1].idle) *atIdle += step;
        if (!where) continue;
        // Growth within a minute of the last joins its range.
        if (!where->empty() && where->back().what == what && d.rows[i - 1].t - where->back().to <= 60)
            where->back().to = d.rows[i].t;
        else
            where->push_back({d.rows[i - 1].t, d.rows[i].t, what});
    }
    return grown;
}

}  // namespace

Finding checkMisfire(const Drive& d) {
    const double need = limit("running-seconds").value;
    const double seen = secondsWhere(d, [](const Row& r) { return running(r); });
    if (seen < need) return tooShort("misfire", "двигатель работал", seen, need, {"running-seconds"});
    Finding f;
    f.id = "misfire";
    f.limits = {"running-seconds", "misfires"};
    std::string cylinders;
    int worst = 0, worstCount = 0, worstAtIdle = 0;
    for (int k = 0; k < 4; ++k) {
        const std::string name = "цилиндр " + std::to_string(k + 1);
        int atIdle = 0;
        const int n = growth(
            d, [k](const Row& r) { return r.misfires[static_cast<std::size_t>(k)]; }, &f.evidence, "пропуски: " + name,
            &atIdle);
        f.figures.push_back({"cylinder_" + std::to_string(k + 1), n});
        if (n > 0) cylinders += (cylinders.empty() ? "" : ", ") + name + ": " + std::to_string(n);
        if (n > worstCount) {
            worst = k + 1;
            worstCount = n;
            worstAtIdle = atIdle;
        }
    }
    const int catalyst = growth(
        d, [](const Row& r) { return r.catalystMisfires; }, &f.evidence, "пропуски, опасные для нейтрализатора");
    f.figures.push_back({"catalyst_damaging", catalyst});
    if (cylinders.empty() && catalyst == 0) {
        f.verdict = Verdict::Ok;
        f.why = "счётчики пропусков воспламенения за поездку не выросли";
        f.evidence = rangesWhere(
            d, [](const Row& r) { return running(r); }, "двигатель работает");
        return f;
    }
    f.verdict = catalyst > 0 ? Verdict::Fault : Verdict::Suspect;
    f.why = "пропуски воспламенения за поездку: " + (cylinders.empty() ? std::string("по цилиндрам нет") : cylinders);
    if (catalyst > 0) f.why += "; опасных для нейтрализатора: " + std::to_string(catalyst);
    // Under which load: the misfires seen between two passes at idle are the idle's.
    if (worst) {
        f.figures.push_back({"worst_at_idle", worstAtIdle});
        f.why += "; в цилиндре " + std::to_string(worst) + " на холостом ходу " + std::to_string(worstAtIdle) +
                 ", под нагрузкой " + std::to_string(worstCount - worstAtIdle);
    }
    f.next = worst ? "Больше всего пропусков в цилиндре " + std::to_string(worst) +
                         ": переставить свечу и катушку (или провод) с соседним цилиндром и посмотреть, уйдут ли "
                         "пропуски за ними; иначе проверить форсунку и компрессию этого цилиндра."
                   : "Проверить свечи, катушки, форсунки и подсос воздуха.";
    return f;
}

Finding checkThrottleSensor(const Drive& d) {
    // At idle the throttle is closed: its sensor gives its closed voltage.
    const Pick closed = [](const Row& r) { return running(r) && r.idle; };
    const double need = limit("idle-seconds").value, ran = limit("running-seconds").value;
    const double seen = secondsWhere(d, closed), running = secondsWhere(d, diagnosis::running);
    if (seen < need || running < ran)
        return noData("throttle-sensor",
                      "двигатель работал " + fixed(running, 0) + " с, из них на холостом ходу " + fixed(seen, 0) +
                          " с; нужно не меньше " + fixed(ran, 0) + " и " + fixed(need, 0) + " с",
                      {"running-seconds", "idle-seconds"});
    Finding f;
    f.id = "throttle-sensor";
    f.limits = {"running-seconds",      "idle-seconds", "throttle-closed-low",
                "throttle-closed-high", "throttle-dip", "throttle-dips"};
    const Stats v = statsOf(d, closed, &Row::adcThr);
    // Drops while the throttle is open: a pass lower than both its
    // neighbours by more than the dip, none of the three at idle.
    const double dip = limit("throttle-dip").value;
    int dips = 0;
    double dipsAt = 0;
    std::vector<Evidence> dropped;
    for (std::size_t i = 1; i + 1 < d.rows.size(); ++i) {
        const Row &a = d.rows[i - 1], &b = d.rows[i], &c = d.rows[i + 1];
        if (b.afterGap || c.afterGap || !diagnosis::running(b) || a.idle || b.idle || c.idle) continue;
        if (b.adcThr < a.adcThr - dip && b.adcThr < c.adcThr - dip) {
            ++dips;
            dipsAt += (a.adcThr + c.adcThr) / 2;
            dropped.push_back({a.t, c.t, "провал напряжения датчика"});
        }
    }
    // The mean only: the flags and the sensor's voltage come in the pass's
    // two answers, a tenth of a second apart, so a pass as the throttle
    // opens can read idle beside an opening voltage.
    f.figures = {{"closed_v", v.mean}, {"dips", dips}};
    if (dips) f.figures.push_back({"dips_at_v", dipsAt / dips});
    f.evidence = rangesWhere(d, closed, "дроссель закрыт (холостой ход)");
    const double low = limit("throttle-closed-low").value, high = limit("throttle-closed-high").value;
    const bool closedRight = v.mean >= low && v.mean <= high;
    const bool worn = dips >= limit("throttle-dips").value;
    f.verdict = closedRight && !worn ? Verdict::Ok : Verdict::Suspect;
    f.why = "напряжение датчика положения дроссельной заслонки при закрытой заслонке " + fixed(v.mean, 2) +
            " В (норма " + fixed(low, 1) + "–" + fixed(high, 1) + " В)";
    if (dips) f.why += "; провалов при открытии: " + std::to_string(dips) + ", около " + fixed(dipsAt / dips, 1) + " В";
    if (worn) f.evidence.insert(f.evidence.begin(), dropped.begin(), dropped.end());
    if (!closedRight)
        f.next =
            "Проверить питание датчика (5 В) и его массу, разъём, упор заслонки и саму заслонку (закрывается ли "
            "до конца); на снятом разъёме — сопротивление дорожки датчика.";
    if (worn)
        f.next += std::string(f.next.empty() ? "" : " ") +
                  "Дорожка датчика стёрта там, где напряжение проваливается: медленно открывая заслонку, проверить "
                  "напряжение датчика вольтметром или осциллографом; датчик заменить.";
    return f;
}

Finding checkMixture(const Drive& d) {
    // The learned corrections are judged on a warm engine, once it ran long enough.
    const double operating = limit("coolant-operating").value, need = limit("running-seconds").value;
    const Pick warm = [&](const Row& r) { return running(r) && r.tmot >= operating; };
    const double seen = secondsWhere(d, warm);
    if (seen < need)
        return tooShort("mixture", "прогретый двигатель работал", seen, need, {"running-seconds", "coolant-operating"});
    Finding f;
    f.id = "mixture";
    f.limits = {"running-seconds", "coolant-operating", "fra-band", "fra-fault"};
    const Stats fra = statsOf(d, warm, &Row::fra), rkat = statsOf(d, warm, &Row::rkat);
    f.figures = {{"multiplicative", fra.mean}, {"additive_percent", rkat.mean}};
    f.evidence = rangesWhere(d, warm, "прогретый двигатель");
    const double band = limit("fra-band").value, fault = limit("fra-fault").value;
    const double off = fra.mean - 1;
    f.verdict = std::fabs(off) <= band ? Verdict::Ok : std::fabs(off) <= fault ? Verdict::Suspect : Verdict::Fault;
    f.why = "мультипликативная коррекция самообучения " + fixed(fra.mean, 3) + " (норма 1 ± " + fixed(band, 2) +
            "), аддитивная " + fixed(rkat.mean, 1) + " % (её предел для этого ЭБУ не найден: не оценивается)";
    if (off > band && rkat.mean > limit("rkat-leak").value) {
        f.limits.push_back("rkat-leak");
        f.next =
            "ЭБУ добавляет топливо, и аддитивная часть (холостой ход) тоже выросла: похоже на подсос воздуха "
            "после датчика расхода — проверить шланги, прокладку впускного коллектора, вакуумный усилитель, "
            "клапан продувки адсорбера; затем давление топлива.";
    } else if (off > band) {
        f.next =
            "Смесь бедная под нагрузкой, ЭБУ добавляет топливо: проверить давление топлива (насос, фильтр, "
            "регулятор), форсунки на засорение, датчик массового расхода воздуха (занижает).";
    } else if (off < -band)
        f.next =
            "Смесь богатая, ЭБУ убавляет топливо: проверить давление топлива (регулятор), форсунки на "
            "подтекание, датчик массового расхода воздуха (завышает), продувку адсорбера.";
    return f;
}

Finding checkLambdaFront(const Drive& d) {
    const double need = limit("lambda-seconds").value;
    const Pick loop = closedLoopPick();
    const double seen = secondsWhere(d, loop);
    if (seen < need)
        return tooShort("lambda-front",
                        "регулирование по датчику кислорода (прогретый двигатель, датчик готов, без отсечки)", seen,
                        need, {"lambda-seconds", "coolant-operating"});
    Finding f;
    f.id = "lambda-front";
    f.limits = {"lambda-seconds", "coolant-operating", "lambda-lean",         "lambda-rich",
                "lambda-band",    "lambda-hysteresis", "lambda-stuck-seconds"};
    const double lean = limit("lambda-lean").value, rich = limit("lambda-rich").value;
    const double middle = (lean + rich) / 2, stuckLimit = limit("lambda-stuck-seconds").value;
    const double hysteresis = limit("lambda-hysteresis").value;
    const Band u = bandOf(d, loop, &Row::usvk);
    // Switches across the middle and the longest time on one side, as the
    // passes see them: a pass sees at most one switch, so faster switching
    // reads as fewer. A side is left only past the middle by the hysteresis.
    int switches = 0, passes = 0;
    double longest = 0, sideStart = 0, longestFrom = 0;
    int side = 0;
    for (std::size_t i = 0; i < d.rows.size(); ++i) {
        const Row& r = d.rows[i];
        if (!loop(r) || r.afterGap) {
            side = 0;
            continue;
        }
        ++passes;
        const int now = r.usvk >= middle + hysteresis ? 1 : r.usvk <= middle - hysteresis ? -1 : side;
        if (now == 0) continue;  // not yet on a side
        if (side != 0 && now != side) ++switches;
        if (now != side) sideStart = r.t;
        side = now;
        if (r.t - sideStart > longest) {
            longest = r.t - sideStart;
            longestFrom = sideStart;
        }
    }
    const double perMinute = switches / (seen / 60), cycle = seen / std::max(passes, 1);
    f.figures = {{"lowest_mv", u.low},
                 {"highest_mv", u.high},
                 {"switches_per_minute", perMinute},
                 {"longest_one_side_s", longest},
                 {"seconds", seen}};
    f.evidence = rangesWhere(d, loop, "регулирование по датчику кислорода");
    const std::string swing = "напряжение датчика " + fixed(u.low, 0) + "–" + fixed(u.high, 0) + " мВ, " +
                              counted(perMinute, "переключение", "переключения", "переключений") +
                              " в минуту (видно не больше " + fixed(60 / cycle, 0) + ": цикл опроса около " +
                              fixed(cycle, 2) + " с)";
    if (u.width() < rich - lean) {
        f.verdict = u.high < lean || u.low > rich || u.width() < 100 ? Verdict::Fault : Verdict::Suspect;
        f.why = swing + ": размах меньше, чем от " + fixed(lean, 0) + " до " + fixed(rich, 0) + " мВ";
        f.next = f.verdict == Verdict::Fault
                     ? "Датчик кислорода не работает: проверить его подогрев (цепь и предохранитель), проводку и "
                       "разъём, заменить датчик."
                     : "Датчик кислорода «ленивый»: проверить подогрев, нет ли подсоса воздуха в выпуске перед "
                       "датчиком; отравленный или старый датчик заменить.";
    } else if (longest > stuckLimit) {
        f.verdict = Verdict::Suspect;
        f.why = swing + "; " + fixed(longest, 0) + " с подряд на одной стороне";
        f.next =
            "Смесь долго не переходит через стехиометрию: проверить подсос воздуха, давление топлива, форсунки; "
            "затем сам датчик.";
        f.evidence.push_back({longestFrom, longestFrom + longest, "датчик на одной стороне"});
    } else {
        f.verdict = Verdict::Ok;
        f.why = swing;
    }
    return f;
}

Finding checkCatalyst(const Drive& d) {
    // The rear sensor against the front one, in closed-loop control, only
    // where the front one swings as it should: a dead front sensor says
    // nothing about the catalyst.
    const double need = limit("lambda-seconds").value;
    const Pick loop = closedLoopPick();
    const double seen = secondsWhere(d, loop);
    if (seen < need)
        return tooShort("catalyst", "регулирование по датчику кислорода", seen, need,
                        {"lambda-seconds", "coolant-operating"});
    // The seconds after an overrun fuel cut are the catalyst's own work: it
    // gives back the oxygen the cut filled it with.
    const double afterCut = limit("catalyst-after-cut-seconds").value;
    std::vector<char> settled(d.rows.size(), 1);
    double lastCut = -1e9;
    for (std::size_t i = 0; i < d.rows.size(); ++i) {
        if (d.rows[i].afterGap) lastCut = -1e9;
        if (d.rows[i].fuelCut) lastCut = d.rows[i].t;
        settled[i] = d.rows[i].t - lastCut > afterCut;
    }
    const Pick compared = [&](const Row& r) {
        return loop(r) && settled[static_cast<std::size_t>(&r - d.rows.data())];
    };
    const Band front = bandOf(d, loop, &Row::usvk), rear = bandOf(d, compared, &Row::rear);
    const Stats rearStats = statsOf(d, compared, &Row::rear);
    const double lean = limit("lambda-lean").value, rich = limit("lambda-rich").value;
    const double frontSwing = front.width(), rearSwing = rear.width();
    if (front.low > lean || front.high < rich)
        return noData("catalyst",
                      "датчик до нейтрализатора не переходит от " + fixed(lean, 0) + " до " + fixed(rich, 0) + " мВ (" +
                          fixed(front.low, 0) + "–" + fixed(front.high, 0) + " мВ): сравнивать с ним задний нельзя",
                      {"lambda-seconds", "coolant-operating", "lambda-lean", "lambda-rich"});
    Finding f;
    f.id = "catalyst";
    f.limits = {"lambda-seconds",
                "coolant-operating",
                "lambda-lean",
                "lambda-rich",
                "lambda-band",
                "catalyst-after-cut-seconds",
                "catalyst-ratio-suspect",
                "catalyst-ratio-fault",
                "catalyst-rear-low"};
    const double ratio = rearSwing / frontSwing;
    f.figures = {{"front_swing_mv", frontSwing},
                 {"rear_swing_mv", rearSwing},
                 {"rear_mean_mv", rearStats.mean},
                 {"swing_ratio", ratio},
                 {"seconds", seen}};
    f.evidence = rangesWhere(d, compared, "регулирование по датчику кислорода");
    const double suspect = limit("catalyst-ratio-suspect").value, fault = limit("catalyst-ratio-fault").value;
    f.verdict = ratio >= fault ? Verdict::Fault : ratio >= suspect ? Verdict::Suspect : Verdict::Ok;
    f.why = "размах датчика после нейтрализатора " + fixed(rearSwing, 0) + " мВ при " + fixed(frontSwing, 0) +
            " мВ до него (" + fixed(ratio * 100, 0) + " %), в среднем " + fixed(rearStats.mean, 0) + " мВ";
    // Level and still at the voltage of a sensor that does not work: the
    // small swing says nothing of the catalyst.
    if (f.verdict == Verdict::Ok && rearStats.mean < limit("catalyst-rear-low").value && rearSwing < 100) {
        f.verdict = Verdict::Suspect;
        f.why += ": задний датчик стоит ровно, как неработающий";
        f.next =
            "Задний датчик кислорода не отвечает: проверить его подогрев (цепь и предохранитель), проводку и "
            "разъём; о нейтрализаторе судить после ремонта датчика.";
        return f;
    }
    if (f.verdict != Verdict::Ok)
        f.next =
            "Нейтрализатор мало запасает кислород: проверить выпуск перед задним датчиком на подсос, затем сам "
            "нейтрализатор (прогар, оплавление после пропусков зажигания); задний датчик — на исправность.";
    return f;
}

Finding checkAirMass(const Drive& d) {
    const Pick warmIdle = warmIdlePick();
    const double need = limit("idle-seconds").value;
    const double seen = secondsWhere(d, warmIdle);
    if (seen < need)
        return tooShort("air-mass", "прогретый холостой ход", seen, need, {"idle-seconds", "coolant-operating"});
    Finding f;
    f.id = "air-mass";
    f.limits = {"idle-seconds", "coolant-operating", "idle-air-low", "idle-air-high", "idle-air-fault"};
    const Stats ml = statsOf(d, warmIdle, &Row::ml);
    f.figures = {{"air_kg_h", ml.mean}, {"air_lowest_kg_h", ml.low}, {"air_highest_kg_h", ml.high}, {"seconds", seen}};
    f.evidence = rangesWhere(d, warmIdle, "прогретый холостой ход");
    const double low = limit("idle-air-low").value, high = limit("idle-air-high").value;
    const double margin = limit("idle-air-fault").value;
    const double beyond = ml.mean < low ? low - ml.mean : ml.mean > high ? ml.mean - high : 0;
    f.verdict = beyond == 0 ? Verdict::Ok : beyond <= margin ? Verdict::Suspect : Verdict::Fault;
    f.why = "расход воздуха на прогретом холостом ходу " + fixed(ml.mean, 1) + " кг/ч (норма " + fixed(low, 1) + "–" +
            fixed(high, 1) + " кг/ч)";
    if (ml.mean < low)
        f.next =
            "Воздух идёт мимо датчика расхода или датчик занижает: проверить шланги и прокладки впуска после "
            "датчика, шланг вакуумного усилителя; сам датчик — по напряжению при включённом зажигании и "
            "неработающем двигателе (около 1,00 В у нового).";
    else if (ml.mean > high)
        f.next =
            "Двигатель нагружен на холостом ходу или датчик завышает: выключить потребители (кондиционер, "
            "обогревы), проверить генератор и навесное; сравнить датчик расхода воздуха с заведомо исправным.";
    return f;
}

Finding checkKnock(const Drive& d) {
    const double operating = limit("coolant-operating").value, need = limit("knock-seconds").value;
    const Pick warm = [&](const Row& r) { return running(r) && r.tmot >= operating; };
    const double seen = secondsWhere(d, warm);
    if (seen < need)
        return tooShort("knock", "прогретый двигатель работал", seen, need, {"knock-seconds", "coolant-operating"});
    Finding f;
    f.id = "knock";
    f.limits = {"knock-seconds", "coolant-operating", "knock-hold-seconds", "knock-fault"};
    // The longest stretch of passes with the ignition retarded, how far,
    // and the longest with it retarded by the fault's angle or more.
    const double hold = limit("knock-hold-seconds").value, faultDeg = limit("knock-fault").value;
    double longest = 0, longestFrom = 0, from = -1, deepest = 0, retarded = 0;
    double longestDeep = 0, longestDeepFrom = 0, deepFrom = -1;
    // At idle only where the retard began there: one from a load is given
    // back step by step through the first idle passes after it.
    bool atIdle = false;
    for (std::size_t i = 0; i < d.rows.size(); ++i) {
        const Row& r = d.rows[i];
        const bool on = warm(r) && r.wkr > 0 && !r.afterGap;
        if (on) {
            if (from < 0) from = r.t, atIdle = atIdle || r.idle;
            deepest = std::max(deepest, static_cast<double>(r.wkr));
            retarded += stepAfter(d, i);
            const double length = r.t + stepAfter(d, i) - from;
            if (length > longest) longest = length, longestFrom = from;
        } else {
            from = -1;
        }
        if (on && r.wkr >= faultDeg) {
            if (deepFrom < 0) deepFrom = r.t;
            const double length = r.t + stepAfter(d, i) - deepFrom;
            if (length > longestDeep) longestDeep = length, longestDeepFrom = deepFrom;
        } else {
            deepFrom = -1;
        }
    }
    f.figures = {{"deepest_deg", deepest},
                 {"longest_s", longest},
                 {"longest_at_fault_angle_s", longestDeep},
                 {"retarded_share_percent", 100 * retarded / seen},
                 {"seconds", seen}};
    const Pick retardedNow = [&](const Row& r) { return warm(r) && r.wkr > 0; };
    f.evidence = deepest == 0 ? rangesWhere(d, warm, "прогретый двигатель")
                              : rangesWhere(d, retardedNow, "угол отведён по детонации");
    if (longestDeep >= hold)
        f.verdict = Verdict::Fault;
    else if (longest >= hold || atIdle)
        f.verdict = Verdict::Suspect;
    else
        f.verdict = Verdict::Ok;
    f.why = deepest == 0
                ? "угол опережения по детонации не отводился"
                : "угол отводился по детонации до " + fixed(deepest, 1) + "°, дольше всего " + fixed(longest, 1) +
                      " с подряд" +
                      (longestDeep > 0
                           ? ", на " + fixed(faultDeg, 0) + "° и больше — " + fixed(longestDeep, 1) + " с подряд"
                           : "") +
                      (atIdle ? ", в том числе на холостом ходу" : "");
    if (f.verdict != Verdict::Ok)
        f.next =
            "Двигатель детонирует: проверить топливо (октановое число), перегрев, нагар в камерах сгорания, "
            "бедную смесь; затем затяжку и разъём датчика детонации — дребезг навесного он тоже принимает за "
            "детонацию.";
    if (f.verdict == Verdict::Fault)
        f.evidence.insert(f.evidence.begin(), {longestDeepFrom, longestDeepFrom + longestDeep,
                                               "дольше всего отведён на " + fixed(faultDeg, 0) + "° и больше"});
    else if (f.verdict != Verdict::Ok && longest > 0)
        f.evidence.insert(f.evidence.begin(), {longestFrom, longestFrom + longest, "дольше всего отведён"});
    return f;
}

std::vector<Finding> judge(const Drive& d) {
    return {checkCharging(d), checkWarmUp(d), checkTemperatureSensors(d), checkIdle(d),    checkAirMass(d),
            checkMisfire(d),  checkKnock(d),  checkThrottleSensor(d),     checkMixture(d), checkLambdaFront(d),
            checkCatalyst(d)};
}

}  // namespace diagnosis
