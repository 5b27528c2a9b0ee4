// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnosis/ReportHtml.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "diagnosis/Limits.h"
#include "ecu/SessionHistory.h"

namespace diagnosis {

namespace {

std::string esc(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// As a Russian technician writes a number: a decimal comma.
std::string ru(double v, int decimals) {
    if (!std::isfinite(v)) return "—";
    char b[40];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    std::string s = b;
    std::replace(s.begin(), s.end(), '.', ',');
    if (s == "-0" || s.rfind("-0,", 0) == 0) {
        if (s.find_first_not_of("-0,") == std::string::npos) s.erase(0, 1);
    }
    return s;
}

// For the SVG: a point, whatever the locale.
std::string px(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    return b;
}

std::string duration(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    char b[48];
    if (s >= 3600)
        std::snprintf(b, sizeof b, "%ld ч %02ld мин %02ld с", s / 3600, s / 60 % 60, s % 60);
    else if (s >= 60)
        std::snprintf(b, sizeof b, "%ld мин %02ld с", s / 60, s % 60);
    else
        std::snprintf(b, sizeof b, "%ld с", s);
    return b;
}

// "2026-12-09T10:15:02" as "09.12.2026 10:15:02"; anything else as it is.
std::string shownDate(const std::string& iso) {
    int y, mo, d, h, mi, s;
    if (std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6) return iso;
    char b[32];
    std::snprintf(b, sizeof b, "%02d.%02d.%04d %02d:%02d:%02d", d, mo, y, h, mi, s);
    return b;
}

struct VerdictLook {
    const char* word;
    const char* cls;
};
VerdictLook look(Verdict v) {
    switch (v) {
        case Verdict::Ok:
            return {"норма", "ok"};
        case Verdict::Suspect:
            return {"подозрение", "suspect"};
        case Verdict::Fault:
            return {"неисправность", "fault"};
        case Verdict::NoData:
            break;
    }
    return {"нет данных", "nodata"};
}

// What a figure is called in the report, and how many decimals it shows.
struct FigureName {
    const char* key;
    const char* name;
    int decimals;
};
constexpr FigureName kFigures[] = {
    {"mean_v", "среднее, В", 2},
    {"lowest_v", "наименьшее, В", 2},
    {"highest_v", "наибольшее, В", 2},
    {"spread_v", "разброс (СКО), В", 2},
    {"coolant_start_c", "ОЖ в начале, °C", 0},
    {"coolant_highest_c", "ОЖ наибольшая, °C", 0},
    {"start_s", "начало прогрева, с", 0},
    {"minutes_to_operating", "до рабочей температуры, мин", 1},
    {"rise_last_5_min_c", "рост за последние 5 мин, °C", 1},
    {"fan_on_c", "вентилятор включился при, °C", 0},
    {"coolant_c", "ОЖ при пуске, °C", 0},
    {"intake_air_c", "воздух на впуске, °C", 0},
    {"apart_c", "расхождение, °C", 1},
    {"rpm_mean", "обороты, об/мин", 0},
    {"rpm_wanted", "заданные, об/мин", 0},
    {"offset_rpm", "отклонение, об/мин", 0},
    {"spread_rpm", "разброс (СКО), об/мин", 0},
    {"iac_steps", "регулятор ХХ, шаг", 0},
    {"seconds", "время в условиях, с", 0},
    {"cylinder_1", "цилиндр 1, пропусков", 0},
    {"cylinder_2", "цилиндр 2, пропусков", 0},
    {"cylinder_3", "цилиндр 3, пропусков", 0},
    {"cylinder_4", "цилиндр 4, пропусков", 0},
    {"catalyst_damaging", "опасных для нейтрализатора", 0},
    {"worst_at_idle", "из них на холостом ходу", 0},
    {"closed_v", "закрыт, В", 2},
    {"closed_lowest_v", "закрыт, наименьшее, В", 2},
    {"closed_highest_v", "закрыт, наибольшее, В", 2},
    {"dips", "провалов при открытии", 0},
    {"dips_at_v", "провалы около, В", 1},
    {"multiplicative", "мультипликативная", 3},
    {"additive_percent", "аддитивная, %", 1},
    {"lowest_mv", "наименьшее, мВ", 0},
    {"highest_mv", "наибольшее, мВ", 0},
    {"switches_per_minute", "переключений в минуту", 0},
    {"longest_one_side_s", "дольше всего на одной стороне, с", 0},
    {"front_swing_mv", "размах до нейтрализатора, мВ", 0},
    {"rear_swing_mv", "размах после нейтрализатора, мВ", 0},
    {"rear_mean_mv", "после нейтрализатора в среднем, мВ", 0},
    {"swing_ratio", "доля размаха", 2},
    {"air_kg_h", "расход воздуха, кг/ч", 1},
    {"air_lowest_kg_h", "наименьший, кг/ч", 1},
    {"air_highest_kg_h", "наибольший, кг/ч", 1},
    {"deepest_deg", "наибольший отвод угла, °", 1},
    {"longest_s", "дольше всего подряд, с", 1},
    {"retarded_share_percent", "доля времени с отводом, %", 1},
};

// A check as the report shows it: its title, the values its chart draws and
// its limits on the chart: a band of normal values and lines of faults.
using Value = double (*)(const Row&);
struct Series {
    const char* name;
    Value value;
    const char* colour;
    bool sinceStart = false;  // drawn as its growth since the drive's first pass
};
struct Marks {
    double low = std::numeric_limits<double>::quiet_NaN(), high = low;  // the normal band
    std::vector<double> lines;                                          // limits drawn as lines
};
struct Presentation {
    const char* id;
    const char* title;
    const char* unit;
    std::vector<Series> series;
    Marks (*marks)();
};

const std::vector<Presentation>& presentations() {
    static const std::vector<Presentation> all = {
        {"charging",
         "Зарядка",
         "В",
         {{"напряжение бортсети", [](const Row& r) { return double(r.ub); }, "#1f5fa8"}},
         [] {
             return Marks{limit("ub-running-low").value,
                          limit("ub-running-high").value,
                          {limit("ub-running-fault-low").value, limit("ub-running-fault-high").value}};
         }},
        {"warm-up",
         "Прогрев",
         "°C",
         {{"температура ОЖ", [](const Row& r) { return double(r.tmot); }, "#c0392b"}},
         [] {
             return Marks{
                 limit("coolant-operating").value, limit("coolant-overheat").value, {limit("coolant-overheat").value}};
         }},
        {"temperature-sensors",
         "Датчики температуры",
         "°C",
         {{"ОЖ", [](const Row& r) { return double(r.tmot); }, "#c0392b"},
          {"воздух на впуске", [](const Row& r) { return double(r.tans); }, "#1f5fa8"}},
         [] { return Marks{}; }},
        {"idle",
         "Холостой ход",
         "об/мин",
         {{"обороты", [](const Row& r) { return double(r.nmot); }, "#1f5fa8"},
          {"заданные", [](const Row& r) { return double(r.nsol); }, "#2e7d32"}},
         [] { return Marks{}; }},
        {"air-mass",
         "Расход воздуха на холостом ходу",
         "кг/ч",
         {{"расход воздуха", [](const Row& r) { return r.idle ? double(r.ml) : std::nan(""); }, "#1f5fa8"}},
         [] {
             const double margin = limit("idle-air-fault").value;
             return Marks{limit("idle-air-low").value,
                          limit("idle-air-high").value,
                          {limit("idle-air-low").value - margin, limit("idle-air-high").value + margin}};
         }},
        {"knock",
         "Детонация",
         "°",
         {{"отвод угла по детонации", [](const Row& r) { return double(r.wkr); }, "#c0392b"}},
         [] {
             return Marks{std::nan(""), std::nan(""), {limit("knock-fault").value}};
         }},
        {"misfire",
         "Пропуски зажигания",
         "шт.",
         {{"цилиндр 1", [](const Row& r) { return double(r.misfires[0]); }, "#1f5fa8", true},
          {"цилиндр 2", [](const Row& r) { return double(r.misfires[1]); }, "#2e7d32", true},
          {"цилиндр 3", [](const Row& r) { return double(r.misfires[2]); }, "#8e44ad", true},
          {"цилиндр 4", [](const Row& r) { return double(r.misfires[3]); }, "#d35400", true},
          {"опасные для нейтрализатора", [](const Row& r) { return double(r.catalystMisfires); }, "#222222", true}},
         [] { return Marks{}; }},
        {"throttle-sensor",
         "Датчик положения дросселя",
         "В",
         {{"напряжение датчика", [](const Row& r) { return double(r.adcThr); }, "#1f5fa8"}},
         [] {
             return Marks{limit("throttle-closed-low").value, limit("throttle-closed-high").value, {}};
         }},
        {"mixture",
         "Состав смеси (адаптация)",
         "",
         {{"мультипликативная", [](const Row& r) { return double(r.fra); }, "#1f5fa8"}},
         [] {
             const double band = limit("fra-band").value, fault = limit("fra-fault").value;
             return Marks{1 - band, 1 + band, {1 - fault, 1 + fault}};
         }},
        {"lambda-front",
         "Датчик кислорода до нейтрализатора",
         "мВ",
         {{"напряжение датчика", [](const Row& r) { return double(r.usvk); }, "#1f5fa8"}},
         [] {
             // Not a band: the sensor must swing beyond both.
             const double none = std::numeric_limits<double>::quiet_NaN();
             return Marks{none, none, {limit("lambda-lean").value, limit("lambda-rich").value}};
         }},
        {"catalyst",
         "Нейтрализатор",
         "мВ",
         {{"до нейтрализатора", [](const Row& r) { return double(r.usvk); }, "#9db8d9"},
          {"после нейтрализатора", [](const Row& r) { return double(r.rear); }, "#c0392b"}},
         [] { return Marks{}; }},
    };
    return all;
}

const Presentation* presentation(const std::string& id) {
    for (const Presentation& p : presentations())
        if (id == p.id) return &p;
    return nullptr;
}

// A series' values pass by pass, in order: as they are, or (a counter) as
// its growth since the first pass, a counter that fell having been cleared.
class Reader {
public:
    explicit Reader(const Series& s) : s_(s) {}
    double operator()(const Row& r) {
        const double v = s_.value(r);
        if (!s_.sinceStart || !std::isfinite(v)) return v;
        if (started_) grown_ += v >= last_ ? v - last_ : v;
        started_ = true;
        last_ = v;
        return grown_;
    }

private:
    const Series& s_;
    bool started_ = false;
    double last_ = 0, grown_ = 0;
};

// A step of 1, 2 or 5 times a power of ten that cuts span into about n parts.
double niceStep(double span, int n) {
    const double raw = span / n;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power) return m * power;
    return 10 * power;
}

int decimalsFor(double step) { return step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9)); }

// The chart of a check over the whole drive. Each series is drawn at most
// twice per pixel column (its lowest and highest there), so an eight-hour
// drive draws as fast as a short one; a reconnection breaks the line.
std::string chart(const Presentation& p, const Finding& f, const Drive& d) {
    constexpr double kW = 680, kH = 138, kLeft = 52, kRight = 672, kTop = 6, kBottom = 112;
    const double seconds = d.seconds();
    if (d.rows.size() < 2 || seconds <= 0) return "<p class=\"nochart\">Слишком мало замеров для графика.</p>";
    const Marks m = p.marks();
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const Series& s : p.series) {
        Reader read(s);
        for (const Row& r : d.rows) {
            const double v = read(r);
            if (!std::isfinite(v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    for (const double v : {m.low, m.high})
        if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    if (!std::isfinite(lo)) return "<p class=\"nochart\">Нет значений для графика.</p>";
    if (hi - lo < 1e-6) hi = lo + 1, lo -= 1;
    const double pad = (hi - lo) * 0.06;
    lo -= pad;
    hi += pad;
    const auto X = [&](double t) { return kLeft + (kRight - kLeft) * (t / seconds); };
    const auto Y = [&](double v) { return kBottom - (kBottom - kTop) * ((std::clamp(v, lo, hi) - lo) / (hi - lo)); };

    std::string svg = "<svg class=\"chart\" viewBox=\"0 0 " + px(kW) + " " + px(kH) +
                      "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"" + esc(p.title) + "\">";
    svg += "<rect class=\"plot\" x=\"" + px(kLeft) + "\" y=\"" + px(kTop) + "\" width=\"" + px(kRight - kLeft) +
           "\" height=\"" + px(kBottom - kTop) + "\"/>";
    if (std::isfinite(m.low) && std::isfinite(m.high))
        svg += "<rect class=\"band\" x=\"" + px(kLeft) + "\" y=\"" + px(Y(m.high)) + "\" width=\"" +
               px(kRight - kLeft) + "\" height=\"" + px(Y(m.low) - Y(m.high)) + "\"/>";
    // The evidence's ranges in pixels, those less than a pixel apart as one:
    // a long drive's hundreds of idle spells draw as the bands they look like.
    std::vector<std::pair<double, double>> marked;
    for (const Evidence& e : f.evidence) {
        const double a = X(std::clamp(e.from, 0.0, seconds)), b = std::max(a + 1, X(std::clamp(e.to, 0.0, seconds)));
        marked.emplace_back(a, b);
    }
    std::sort(marked.begin(), marked.end());
    for (std::size_t i = 0; i < marked.size();) {
        double a = marked[i].first, b = marked[i].second;
        for (++i; i < marked.size() && marked[i].first <= b + 1; ++i) b = std::max(b, marked[i].second);
        // A bar along the time axis: the band and the traces stay clear.
        svg += "<rect class=\"evidence\" x=\"" + px(a) + "\" y=\"" + px(kBottom - 5) + "\" width=\"" + px(b - a) +
               "\" height=\"5\"/>";
    }
    // Value ticks.
    const double step = niceStep(hi - lo, 4);
    for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
        svg += "<line class=\"grid\" x1=\"" + px(kLeft) + "\" x2=\"" + px(kRight) + "\" y1=\"" + px(Y(v)) + "\" y2=\"" +
               px(Y(v)) + "\"/><text class=\"tick\" x=\"" + px(kLeft - 4) + "\" y=\"" + px(Y(v) + 3) +
               "\" text-anchor=\"end\">" + ru(v, decimalsFor(step)) + "</text>";
    }
    // Time ticks, in minutes for a drive of more than two.
    const bool minutes = seconds > 120;
    const double unit = minutes ? 60 : 1;
    const double tStep = niceStep(seconds / unit, 6) * unit;
    for (double t = 0; t <= seconds + 1e-9; t += tStep)
        svg += "<text class=\"tick\" x=\"" + px(X(t)) + "\" y=\"" + px(kBottom + 13) + "\" text-anchor=\"middle\">" +
               ru(t / unit, decimalsFor(tStep / unit)) + "</text>";
    svg += "<text class=\"tick\" x=\"" + px(kRight) + "\" y=\"" + px(kH - 2) + "\" text-anchor=\"end\">" +
           (minutes ? "мин" : "с") + "</text>";
    if (*p.unit) svg += "<text class=\"tick\" x=\"2\" y=\"" + px(kTop + 3) + "\">" + esc(p.unit) + "</text>";
    for (const double v : m.lines)
        if (v >= lo && v <= hi)
            svg += "<line class=\"limit\" x1=\"" + px(kLeft) + "\" x2=\"" + px(kRight) + "\" y1=\"" + px(Y(v)) +
                   "\" y2=\"" + px(Y(v)) + "\"/>";
    // The series, lowest and highest of each pixel column.
    const int columns = static_cast<int>(kRight - kLeft);
    for (const Series& s : p.series) {
        std::string points;
        const auto flushLine = [&] {
            if (!points.empty())
                svg += "<polyline class=\"trace\" stroke=\"" + std::string(s.colour) + "\" points=\"" + points + "\"/>";
            points.clear();
        };
        int column = -1;
        double cLo = 0, cHi = 0;
        const auto flushColumn = [&] {
            if (column < 0) return;
            const double x = kLeft + column + 0.5;
            points += px(x) + "," + px(Y(cHi)) + " ";
            if (cLo != cHi) points += px(x) + "," + px(Y(cLo)) + " ";
        };
        Reader read(s);
        for (std::size_t i = 0; i < d.rows.size(); ++i) {
            const Row& r = d.rows[i];
            const double v = read(r);
            // A gap in the data, or a pass the series does not cover, breaks the line.
            if (!std::isfinite(v) || gapBefore(d, i)) {
                flushColumn();
                flushLine();
                column = -1;
                if (!std::isfinite(v)) continue;
            }
            const int c = std::min(columns - 1, static_cast<int>((r.t / seconds) * columns));
            if (c != column) {
                flushColumn();
                column = c;
                cLo = cHi = v;
            } else {
                cLo = std::min(cLo, v);
                cHi = std::max(cHi, v);
            }
        }
        flushColumn();
        flushLine();
    }
    svg += "</svg>";
    // The legend, when there is more than one line.
    if (p.series.size() > 1) {
        svg += "<p class=\"legend\">";
        for (const Series& s : p.series)
            svg += "<span><i style=\"background:" + std::string(s.colour) + "\"></i>" + esc(s.name) + "</span>";
        svg += "</p>";
    }
    return svg;
}

std::string figures(const Finding& f) {
    std::string out;
    for (const auto& [key, value] : f.figures) {
        const FigureName* name = nullptr;
        for (const FigureName& n : kFigures)
            if (key == n.key) name = &n;
        out += "<div>" + esc(name ? name->name : key) + ": <b>" + ru(value, name ? name->decimals : 2) + "</b></div>";
    }
    return out;
}

std::string limitValue(const Limit& l) {
    const double v = l.value;
    const int decimals = v == std::floor(v) ? 0 : (v * 10 == std::floor(v * 10) ? 1 : 2);
    return ru(v, decimals) + (*l.unit ? std::string(" ") + l.unit : std::string());
}

const char* kStyle = R"(
@page { size: A4; margin: 14mm 14mm 16mm 14mm; }
* { box-sizing: border-box; }
body { font: 10.5pt/1.35 "DejaVu Sans", Arial, sans-serif; color: #111; margin: 0 auto; max-width: 182mm; }
h1 { font-size: 17pt; margin: 0 0 2mm; }
h2 { font-size: 12.5pt; margin: 5mm 0 2mm; break-after: avoid; page-break-after: avoid; }
.sub { color: #555; margin: 0 0 4mm; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; vertical-align: top; padding: 1.2mm 2mm; border-bottom: 0.3mm solid #ddd; }
th { font-weight: 600; }
.car th, .drive th, .actions th { width: 38%; }
.summary th { width: 30%; } .summary td.mark { width: 32mm; }
.codes td:first-child { white-space: nowrap; } .codes td:nth-child(2) { width: 50%; }
.verdict { display: inline-block; padding: 0.4mm 2mm; border-radius: 1.2mm; color: #fff; font-weight: 700;
  font-size: 9.5pt; white-space: nowrap; -webkit-print-color-adjust: exact; print-color-adjust: exact; }
.ok { background: #2e7d32; } .suspect { background: #b26a00; } .fault { background: #c62828; }
.nodata { background: #757575; }
.check { break-inside: avoid; page-break-inside: avoid; margin-bottom: 4mm; }
.check h2 { margin-top: 3mm; }
.check h2 { display: flex; justify-content: space-between; align-items: center; }
.why { margin: 0 0 2mm; }
.next { margin: 2mm 0 0; }
.limits { color: #444; font-size: 7.5pt; line-height: 1.25; margin: 1mm 0 0; padding-left: 4mm; }
.figures { display: grid; grid-template-columns: repeat(3, 1fr); gap: 0.5mm 4mm; font-size: 9pt; margin-top: 1.5mm; }
svg.chart { width: 100%; height: auto; display: block; -webkit-print-color-adjust: exact; print-color-adjust: exact; }
svg .plot { fill: #fff; stroke: #999; stroke-width: 0.6; }
svg .band { fill: #2e7d32; fill-opacity: 0.13; }
svg .evidence { fill: #e67e22; fill-opacity: 0.85; }
svg .grid { stroke: #ccc; stroke-width: 0.5; }
svg .limit { stroke: #c62828; stroke-width: 1; stroke-dasharray: 5 3; }
svg .trace { fill: none; stroke-width: 1.3; stroke-linejoin: round; stroke-linecap: round; }
svg .tick { font-size: 9px; fill: #444; font-family: "DejaVu Sans", Arial, sans-serif; }
.legend { font-size: 8.5pt; margin: 0.5mm 0 0; } .legend span { margin-right: 4mm; }
.legend i { display: inline-block; width: 4mm; height: 1.2mm; margin-right: 1mm; vertical-align: middle;
  -webkit-print-color-adjust: exact; print-color-adjust: exact; }
.key { font-size: 8.5pt; color: #444; }
.key i { display: inline-block; width: 4mm; height: 3mm; vertical-align: middle; margin: 0 1mm 0 3mm;
  -webkit-print-color-adjust: exact; print-color-adjust: exact; }
.nochart { color: #757575; font-style: italic; }
div.stored { border-left: 1mm solid #e67e22; padding: 0.5mm 2mm; margin: 1.5mm 0; }
div.stored ul { margin: 0.5mm 0; padding-left: 5mm; } div.stored p { margin: 0.5mm 0; }
span.stored { color: #b35900; white-space: nowrap; }
.closing { break-before: page; page-break-before: always; }
.notes { min-height: 45mm; border: 0.3mm solid #999; padding: 2mm; white-space: pre-wrap; }
.notes:empty::before { content: "Щёлкните здесь, чтобы написать заметки перед печатью или сохранением."; color: #999; }
@media print {
  .notes:empty::before { content: ""; }
  /* The car, the drive and the whole summary on the first sheet. */
  .car th, .car td, .drive th, .drive td { padding: 0.3mm 2mm; font-size: 9pt; }
  .summary th, .summary td { padding: 0.6mm 2mm; font-size: 9.5pt; line-height: 1.25; }
  h2 { margin: 3mm 0 1.5mm; }
}
footer { margin-top: 6mm; color: #777; font-size: 8.5pt; }
)";

// The stored codes that bear on a check, beside its verdict: a drive that
// showed nothing of a fault the ECU remembers is told what that means.
std::string storedCodes(const ReportInput& r, const Finding& f) {
    const std::vector<const ReportCode*> codes = codesFor(r, f.id);
    if (codes.empty()) return {};
    std::string out = "<div class=\"stored\"><b>В памяти ЭБУ по этой системе:</b><ul>";
    for (const ReportCode* c : codes)
        out += "<li>" + esc(c->code) + " " + esc(c->text) + (c->status.empty() ? "" : " (" + esc(c->status) + ")") +
               "</li>";
    out += "</ul>";
    const bool several = codes.size() > 1;
    // The ECU sees the fault now, or remembers one from before.
    bool present = false;
    for (const ReportCode* c : codes)
        present = present || c->status.find("присутствует при запросе") != std::string::npos;
    const std::string named = several ? "названные в кодах" : "названные в коде";
    if (f.verdict == Verdict::Ok && present)
        out +=
            "<p>ЭБУ отмечает неисправность как присутствующую, а в этой поездке проверка её признаков не нашла: "
            "она проявляется не при всех условиях или не видна в данных, которые оценивает проверка. Проверьте "
            "цепь и узел, " +
            named + ", сотрите коды и повторите поездку.</p>";
    else if (f.verdict == Verdict::Ok)
        out += std::string("<p>В этой поездке признаков не было, а ЭБУ хранит ") + (several ? "коды" : "код") +
               ": неисправность была раньше или бывает не всегда. Проверьте цепь и узел, " + named +
               ", сотрите коды и повторите поездку в тех же условиях.</p>";
    else if (f.verdict == Verdict::NoData)
        out += std::string("<p>Поездка не дала данных для проверки: об этой системе ") +
               (several ? "говорят только коды" : "говорит только код") + ".</p>";
    return out + "</div>\n";
}

}  // namespace

std::string checkTitle(const std::string& id) {
    const Presentation* p = presentation(id);
    return p ? p->title : id;
}

std::string reportHtml(const ReportInput& r, const Drive& d) {
    std::string car;
    for (const auto& [field, value] : r.car)
        if (!withoutPadding(value).empty())
            car += "<tr><th>" + esc(field) + "</th><td>" + esc(withoutPadding(value)) + "</td></tr>";
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>Отчёт о поездке, " +
        esc(shownDate(r.start)) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    out += "<h1>Отчёт о поездке</h1>\n<p class=\"sub\">" + esc(shownDate(r.start)) + ", " + esc(r.program) + "</p>\n";
    out += "<h2>Автомобиль и блок управления</h2>\n<table class=\"car\">" +
           (car.empty() ? std::string("<tr><td>Идентификация не прочитана.</td></tr>") : car) + "</table>\n";
    out += "<h2>Поездка</h2>\n<table class=\"drive\"><tr><th>Начало</th><td>" + esc(shownDate(r.start)) +
           "</td></tr><tr><th>Длительность</th><td>" + duration(r.seconds) + "</td></tr><tr><th>Замеров</th><td>" +
           std::to_string(r.passes) + "</td></tr>";
    // A drive longer than what is kept: its beginning is not judged, and said.
    if (r.droppedPasses > 0)
        out += "<tr><th>Не оценено</th><td>первые " + std::to_string(r.droppedPasses) + " замеров, " +
               duration(r.droppedSeconds) + " от начала сеанса: хранятся последние " +
               std::to_string(ecu::SessionHistory::kMaxPasses) + " замеров, отчёт оценивает их</td></tr>";
    out += "</table>\n";
    out += "<h2>Итог</h2>\n<table class=\"summary\">";
    // Beside the previous drive of the same car: its verdict next to each.
    if (r.previous)
        out += "<tr><th></th><td class=\"mark\">Эта поездка</td><td class=\"mark\">Прошлая, " +
               esc(shownDate(r.previous->start)) + "</td><td></td></tr>";
    for (const Finding& f : r.checks) {
        const VerdictLook v = look(f.verdict);
        out += "<tr><th><a href=\"#check-" + esc(f.id) + "\">" + esc(checkTitle(f.id)) +
               "</a></th><td class=\"mark\"><span class=\"verdict " + v.cls + "\">" + v.word + "</span></td>";
        if (r.previous) {
            const Finding* before = nullptr;
            for (const Finding& p : r.previous->checks)
                if (p.id == f.id) before = &p;
            if (before) {
                const VerdictLook b = look(before->verdict);
                out += "<td class=\"mark\" title=\"" + esc(before->why) + "\"><span class=\"verdict " + b.cls + "\">" +
                       b.word + "</span></td>";
            } else {
                out += "<td class=\"mark\"></td>";
            }
        }
        out += "<td>" + esc(f.why);
        const std::vector<const ReportCode*> codes = codesFor(r, f.id);
        for (std::size_t k = 0; k < codes.size(); ++k)
            out += std::string(k ? ", " : " <span class=\"stored\">В памяти ЭБУ: ") + esc(codes[k]->code) +
                   (k + 1 == codes.size() ? "</span>" : "");
        out += "</td></tr>";
    }
    out += "</table>\n";

    out +=
        "<div class=\"checks\">\n<p class=\"key\">На графиках:<i style=\"background:rgba(46,125,50,.25)\"></i>"
        "норма<i style=\"border-top:0.5mm dashed #c62828;height:0\"></i>предел"
        "<i style=\"background:#e67e22;height:1.2mm\"></i>время, по которому вынесено заключение</p>\n";
    for (const Finding& f : r.checks) {
        const VerdictLook v = look(f.verdict);
        out += "<section class=\"check\" id=\"check-" + esc(f.id) + "\">\n<h2><span>" + esc(checkTitle(f.id)) +
               "</span><span class=\"verdict " + v.cls + "\">" + v.word + "</span></h2>\n<p class=\"why\">" +
               esc(f.why) + "</p>\n";
        if (const Presentation* p = presentation(f.id)) out += chart(*p, f, d) + "\n";
        if (!f.figures.empty()) out += "<div class=\"figures\">" + figures(f) + "</div>\n";
        if (!f.next.empty()) out += "<p class=\"next\"><b>Что проверить:</b> " + esc(f.next) + "</p>\n";
        out += storedCodes(r, f);
        if (!f.limits.empty()) {
            out += "<ul class=\"limits\">";
            for (const std::string& id : f.limits) {
                const Limit& l = limit(id);
                out += "<li>" + limitValue(l) + ": " + esc(l.reason) + " <i>(" + esc(l.source) + ")</i></li>";
            }
            out += "</ul>\n";
        }
        out += "</section>\n";
    }
    out += "</div>\n<div class=\"closing\">\n<h2>Коды неисправностей</h2>\n";
    if (r.codes.empty()) {
        out += r.codesState == ReportInput::Codes::Read ? "<p>В памяти ЭБУ кодов нет.</p>\n"
               : r.codesState == ReportInput::Codes::Cleared ? "<p>Коды стёрты; после этого они не читались.</p>\n"
                                                             : "<p>Коды не прочитаны.</p>\n";
    } else {
        out += "<table class=\"codes\"><tr><th>Код</th><th>Описание</th><th>Состояние</th></tr>";
        for (const ReportCode& c : r.codes)
            out += "<tr><td>" + esc(c.code) + "</td><td>" + esc(c.text) + "</td><td>" + esc(c.status) + "</td></tr>";
        out += "</table>\n";
    }
    out += "<h2>Действия</h2>\n";
    if (r.actions.empty() && r.replayed) {
        out +=
            "<p>Отчёт сделан по записи поездки: что делалось с автомобилем во время неё, в нём не "
            "восстанавливается (смотрите журнал визитов).</p>\n";
    } else if (r.actions.empty()) {
        out += "<p>Коды не стирались, исполнительные механизмы не включались, ЭБУ не сбрасывался.</p>\n";
    } else {
        out += "<table class=\"actions\">";
        for (const ReportAction& a : r.actions)
            out += "<tr><th>" + duration(a.at) + " от начала</th><td>" + esc(a.what) + "</td></tr>";
        out += "</table>\n";
    }
    out += "<h2>Заметки мастера</h2>\n<div class=\"notes\" contenteditable=\"true\"></div>\n";
    out += "<footer>" + esc(r.program) +
           ". Заключения сделаны по данным ЭБУ за время поездки; пределы и их "
           "источники указаны у каждой проверки.</footer>\n</div>\n</body>\n</html>\n";
    return out;
}

}  // namespace diagnosis
