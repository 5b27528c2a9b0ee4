// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart of panels 1 to 5.
#include "platform/OpenGl.h"

#include "ecu/ParameterCatalogue.h"
#include "painting/ChartReview.h"
#include "painting/ChartView.h"
#include "painting/Panel.h"
#include "painting/PanelDrawing.h"
#include "platform/Cp1251.h"

namespace display {
using namespace drawing;
void drawing::drawChartGrid(const Colour& colour) {
    setColour(colour);
    for (int x = 0; x <= 750; x += 5) {
        glBegin(GL_LINE_STRIP);
        glVertex3i(x, 0, 0);
        glVertex3i(x, 115, 0);
        glEnd();
    }
    for (int y = 0; y <= 115; y += 5) {
        glBegin(GL_LINE_STRIP);
        glVertex3i(0, y, 0);
        glVertex3i(750, y, 0);
        glEnd();
    }
}

void drawing::drawLiveTrace(const ecu::SessionHistory& kept, int number, std::uint64_t tick) {
    static ecu::HistoryBuffer history;  // user-interface thread only; 9 KB not reallocated per paint
    glBegin(GL_LINE_STRIP);
    if (kept.liveHistory(number, tick, history)) {
        for (std::size_t i = 1; i < ecu::kHistorySlots; ++i) {
            glVertex3i(history.historyAge[i], history.historyValue[i], 0);
            // A gap in the data (the link reconnected) is left a gap.
            if (history.afterGap[i]) {
                glEnd();
                glBegin(GL_LINE_STRIP);
            }
        }
    }
    glEnd();
}

namespace {

// Texts of one chart, copied under the live data's lock.
struct ChartTexts {
    std::string readout;
    std::string companionValue;
};

}  // namespace

void paintTrendChart(Panel* panel, int slot, const DisplaySources& src) {
    // Beside a previous drive, the chart is drawn by the passes' times.
    if (src.review && (!src.review->ordinary() || src.previous)) {
        paintReviewChart(panel, slot, src);
        return;
    }
    const int number = (*src.chartParameter)[static_cast<std::size_t>(slot - 1)];
    const ColourScheme& c = *src.colours;
    const ecu::Parameter* p = ecu::ParameterCatalogue::instance().byNumber(number);

    beginPaint();
    glTranslatef(-400, -50, -150);
    drawChartGrid(c.gridColour);
    glTranslatef(55, -1.1f, -150);
    setColour(c.graphColour);
    if (p) drawLiveTrace(*src.session, number, src.session->ticks());
    glPopMatrix();

    if (!p) return;  // a number outside 1..79: the grid only
    ChartTexts t = src.live->read([&](const ecu::LiveData& d) {
        return ChartTexts{
            d.chartReadout(number),
            p->companionSource ? d.analogue[static_cast<std::size_t>(p->companionSource)].valueText : std::string()};
    });
    beginOverlay(panel);
    setColour(c.nameTextColour);
    text2D(panel, p->chartCaption, ecu::ParameterCatalogue::kCaptionX, ecu::ParameterCatalogue::kCaptionY);
    if (p->companionSource)
        text2D(panel, p->companionPrefix + t.companionValue + p->companionUnit, ecu::ParameterCatalogue::kCompanionX,
               ecu::ParameterCatalogue::kCompanionY);
    for (const ecu::PlacedText& label : p->scaleLabels) text2D(panel, label.text, label.x, label.y);
    endOverlay();

    if (p->kind == ecu::ParameterKind::Reserved) return;
    setColour(c.valueTextColour);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLoadIdentity();
    glTranslatef(-3, -0.35f, -3);
    glScalef(0.7f, 0.8f, 0);
    panel->Draw3DText(t.readout);
}

}  // namespace display
