// SPDX-License-Identifier: GPL-3.0-or-later
// A trend chart drawn from the kept drive: the same grid, texts and readout
// as live, the trace placed by the passes' times, the cursors and their
// values, and the mark that says the view is not the live one.
#include "platform/OpenGl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

#include "ecu/CsvTable.h"
#include "ecu/ParameterCatalogue.h"
#include "ecu/SessionHistory.h"
#include "ecu/ValueText.h"
#include "painting/ChartReview.h"
#include "painting/ChartView.h"
#include "painting/Panel.h"
#include "painting/PanelDrawing.h"
#include "platform/Cp1251.h"

namespace display {
using namespace drawing;
namespace {

// The units the window shows (the table's are ASCII for spreadsheets).
std::string unitText(int number) {
    static const std::map<std::string_view, const char*> kRussian = {
        {"V", "В"},        {"%", "%"},     {"1/s2", "1/с2"}, {"kg/h", "кг/ч"}, {"step", "шаг"},
        {"rpm", "об/мин"}, {"ms", "мс"},   {"min", "мин"},   {"C", "°C"},      {"mV", "мВ"},
        {"km/h", "км/ч"},  {"l/h", "л/ч"}, {"deg", "°"}};
    const auto it = kRussian.find(ecu::parameterUnit(number));
    return it == kRussian.end() ? std::string() : " " + text1251(it->second);
}

// What a chart shows of a parameter at one pass: its readout in the chart's
// terms (a flag's state by its labels) and the number the range works with.
std::string valueText(const ecu::Parameter& p, const ecu::LiveData& d) {
    const auto n = static_cast<std::size_t>(p.number);
    if (p.kind == ecu::ParameterKind::Flag && p.scaleLabels.size() >= 2)
        return d.flag[n].state ? p.scaleLabels.front().text : p.scaleLabels.back().text;
    return d.chartReadout(p.number) + unitText(p.number);
}

double measure(const ecu::Parameter& p, const ecu::LiveData& d) {
    const auto n = static_cast<std::size_t>(p.number);
    switch (p.kind) {
        case ecu::ParameterKind::Flag:
            return d.flag[n].state ? 1 : 0;
        case ecu::ParameterKind::Counter:
            return d.counter[n].count;
        default:
            return static_cast<double>(d.analogue[n].value);
    }
}

// The previous drive's trace: the graph's colour at 45 % of its light.
Colour previousColour(const Colour& graph) { return {graph.r * 0.45f, graph.g * 0.45f, graph.b * 0.45f, graph.t}; }

std::string clockAt(const DisplaySources& src, std::int64_t ms) { return platform::clockTime(src.started.later(ms)); }

std::string seconds(std::int64_t ms, char separator) { return ecu::formatFixed(ms / 1000.0, 1, separator); }

// Min, max and mean of a parameter over the passes between two cursors,
// worked out once for each chart and range.
std::string rangeText(int slot, const ecu::Parameter& p, std::size_t from, std::size_t to, const DisplaySources& src) {
    struct Cached {
        int number = 0;
        std::size_t from = 0, to = 0;
        std::string text;
    };
    static std::array<Cached, 5> cache;
    Cached& c = cache[static_cast<std::size_t>(slot - 1)];
    if (c.number == p.number && c.from == from && c.to == to && !c.text.empty()) return c.text;
    double lo = std::numeric_limits<double>::max(), hi = std::numeric_limits<double>::lowest(), sum = 0;
    std::size_t count = 0;
    static ecu::LiveData d;
    for (std::size_t i = from; i <= to; ++i) {
        if (!src.session->decode(i, src.decimalSeparator, d)) continue;
        const double v = measure(p, d);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
        ++count;
    }
    std::string text;
    if (count > 0) {
        const int decimals = p.kind == ecu::ParameterKind::Analogue ? std::max(p.decimals, 0) : 0;
        const char sep = src.decimalSeparator;
        text = text1251("мин ") + ecu::formatFixed(lo, decimals, sep) + text1251(", макс ") +
               ecu::formatFixed(hi, decimals, sep) + text1251(", среднее ") +
               ecu::formatFixed(sum / static_cast<double>(count), decimals + 1, sep) +
               (p.kind == ecu::ParameterKind::Analogue ? unitText(p.number) : std::string());
    }
    c = {p.number, from, to, text};
    return text;
}

}  // namespace

void paintReviewChart(Panel* panel, int slot, const DisplaySources& src) {
    const int number = (*src.chartParameter)[static_cast<std::size_t>(slot - 1)];
    const ColourScheme& c = *src.colours;
    const ecu::Parameter* p = ecu::ParameterCatalogue::instance().byNumber(number);
    const ChartReview& view = *src.review;
    const ecu::SessionHistory& kept = *src.session;
    const std::size_t first = kept.first(), end = kept.end();
    const std::int64_t newest = end > first ? kept.timeAt(end - 1) : 0;
    const std::int64_t left = view.leftMs(newest), span = view.spanMs();

    beginPaint();
    glTranslatef(-400, -50, -150);
    drawChartGrid(c.gridColour);
    glTranslatef(55, -1.1f, -150);
    // The passes across the panel and one beyond each edge, newest first.
    std::size_t from = kept.lowerBound(left - span);
    if (from > first) --from;
    const std::size_t to = std::min(end, kept.lowerBound(left + 1) + 1);
    // A trace of kept passes, placed by their times (shifted by shift ms).
    // Where several passes fall on one pixel column (long spans), the
    // column's lowest and highest values stand for them: the same picture
    // from at most two vertices a column.
    const auto drawPoints = [&view, newest](const std::vector<ecu::TracePoint>& points, std::int64_t shift) {
        glBegin(GL_LINE_STRIP);
        const double unitsPerColumn = static_cast<double>(ChartReview::kUnitsAcross) / ChartReview::kPixelsAcross;
        const bool thin = points.size() > 2 * static_cast<std::size_t>(ChartReview::kPixelsAcross);
        long column = LONG_MIN;
        std::int32_t lo = 0, hi = 0;
        double x = 0;
        const auto flush = [&] {
            if (column == LONG_MIN) return;
            glVertex3d(x, lo, 0);
            if (hi != lo) glVertex3d(x, hi, 0);
        };
        for (auto it = points.rbegin(); it != points.rend(); ++it) {
            const double u = view.unitsAt(it->timeMs + shift, newest);
            if (!thin) {
                glVertex3d(u, it->value, 0);
            } else {
                const long col = std::lround(u / unitsPerColumn);
                if (col != column) {
                    flush();
                    column = col;
                    x = static_cast<double>(col) * unitsPerColumn;
                    lo = hi = it->value;
                } else {
                    lo = std::min(lo, it->value);
                    hi = std::max(hi, it->value);
                }
            }
            if (it->afterGap) {
                flush();
                column = LONG_MIN;
                glEnd();
                glBegin(GL_LINE_STRIP);
            }
        }
        flush();
        glEnd();
    };
    static std::vector<ecu::TracePoint> points;  // user-interface thread only
    // The previous drive first, under this one's trace, dimmer: its passes
    // at the same time since their drive's first pass.
    if (src.previous && p && !src.previous->empty() && end > first) {
        const ecu::SessionHistory& before = *src.previous;
        const std::int64_t shift = kept.timeAt(first) - before.timeAt(before.first());
        std::size_t bFrom = before.lowerBound(left - span - shift);
        if (bFrom > before.first()) --bFrom;
        const std::size_t bTo = std::min(before.end(), before.lowerBound(left + 1 - shift) + 1);
        before.trace(number, bFrom, bTo, points);
        setColour(previousColour(c.graphColour));
        drawPoints(points, shift);
    }
    const std::optional<std::uint64_t>& frozen = view.frozenTick();
    if (frozen && kept.liveHistoryKept(*frozen)) {
        // Paused from the live picture: that picture, unmoved.
        setColour(c.graphColour);
        if (p) drawLiveTrace(kept, number, *frozen);
    } else {
        kept.trace(p ? number : 0, from, to, points);
        setColour(c.graphColour);
        drawPoints(points, 0);
    }
    setColour(src.cursorColour);
    glLineWidth(2);
    for (const auto& cursor : {view.cursorA(), view.cursorB()}) {
        if (!cursor) continue;
        const double x = view.unitsAt(*cursor, newest);
        glBegin(GL_LINES);
        glVertex3d(x, -2, 0);
        glVertex3d(x, 105, 0);
        glEnd();
    }
    glLineWidth(1);
    glPopMatrix();

    // The pass whose readouts show: at the cursor while the charts stand
    // still, else the newest shown (a cursor kept while they follow the
    // drive again leaves the readouts live).
    const std::optional<std::int64_t>& cursor = view.cursorA() ? view.cursorA() : view.cursorB();
    const bool atCursor = cursor && !view.following();
    const std::size_t shown =
        atCursor ? kept.nearest(*cursor) : (to > first ? std::min(to, kept.lowerBound(left + 1)) - 1 : end);
    static ecu::LiveData d, cursorData;
    const bool decoded = shown < end && kept.decode(shown, src.decimalSeparator, d);
    const bool cursorDecoded =
        cursor && (atCursor ? decoded
                            : kept.nearest(*cursor) < end &&
                                  kept.decode(kept.nearest(*cursor), src.decimalSeparator, cursorData));

    beginOverlay(panel);
    setColour(c.nameTextColour);
    if (p) {
        text2D(panel, p->chartCaption, ecu::ParameterCatalogue::kCaptionX, ecu::ParameterCatalogue::kCaptionY);
        if (p->companionSource && decoded)
            text2D(panel,
                   p->companionPrefix + d.analogue[static_cast<std::size_t>(p->companionSource)].valueText +
                       p->companionUnit,
                   ecu::ParameterCatalogue::kCompanionX, ecu::ParameterCatalogue::kCompanionY);
        for (const ecu::PlacedText& label : p->scaleLabels) text2D(panel, label.text, label.x, label.y);
    }
    setColour(src.cursorColour);
    if (p && cursor && cursorDecoded && p->kind != ecu::ParameterKind::Reserved)
        text2D(panel, text1251("Курсор ") + clockAt(src, *cursor) + ": " + valueText(*p, atCursor ? d : cursorData),
               180, 25);
    if (!view.following()) {
        // Paused: a framed mark at the top right of every chart.
        glBegin(GL_LINE_LOOP);
        glVertex2i(kPauseMark.x, kPauseMark.y);
        glVertex2i(kPauseMark.x + kPauseMark.width, kPauseMark.y);
        glVertex2i(kPauseMark.x + kPauseMark.width, kPauseMark.y + kPauseMark.height);
        glVertex2i(kPauseMark.x, kPauseMark.y + kPauseMark.height);
        glEnd();
        text2D(panel, text1251("ПАУЗА"), kPauseMark.x + 10, kPauseMark.y + kPauseMark.height - 4);
    }
    setColour(c.nameTextColour);
    if (p && p->hasHistory() && view.cursorA() && view.cursorB()) {
        const std::size_t a = kept.nearest(*view.cursorA()), b = kept.nearest(*view.cursorB());
        const std::int64_t ta = std::min(*view.cursorA(), *view.cursorB());
        const std::int64_t tb = std::max(*view.cursorA(), *view.cursorB());
        text2D(panel,
               clockAt(src, ta) + "\x85" + clockAt(src, tb) + " (" + seconds(tb - ta, src.decimalSeparator) +
                   text1251(" с): ") + rangeText(slot, *p, std::min(a, b), std::max(a, b), src),
               180, 39);
    }
    if (p && src.previous && p->kind != ecu::ParameterKind::Reserved) {
        setColour(previousColour(c.graphColour));
        text2D(panel, src.previousLabel, 180, 111);
    }
    setColour(c.nameTextColour);
    // Not the live picture: said on every chart, with the time at its left edge.
    const std::string window = text1251("окно ") + seconds(span, src.decimalSeparator) + text1251(" с");
    text2D(panel, view.following() ? window : text1251("ПАУЗА ") + clockAt(src, left) + ", " + window, 520, 111);
    endOverlay();

    if (!p || p->kind == ecu::ParameterKind::Reserved || !decoded) return;
    setColour(c.valueTextColour);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLoadIdentity();
    glTranslatef(-3, -0.35f, -3);
    glScalef(0.7f, 0.8f, 0);
    panel->Draw3DText(d.chartReadout(number));
}

}  // namespace display
