// SPDX-License-Identifier: GPL-3.0-or-later
// The passport panel (panel 7): the ECU's and the vehicle's identification.
#include "platform/OpenGl.h"

#include "ecu/Identification.h"
#include "painting/ChartView.h"
#include "painting/Panel.h"
#include "painting/PanelDrawing.h"

namespace display {
using namespace drawing;

void paintPassportPanel(Panel* panel, const DisplaySources& src) {
    const Colour full = src.colours->nameTextColour;
    const Colour caption = withBrightness(full, full.t * 5 / 9);
    const Colour frame = withBrightness(full, full.t / 2);
    beginPaint();
    glTranslatef(-400, -50, -150);
    glTranslatef(55, -1.1f, -150);
    setColour(frame);
    const int vehicle[6][2] = {{323, 27}, {320, 27}, {320, 0}, {368, 0}, {368, 27}, {358, 27}};
    const int ecuFrame[6][2] = {{323, 101}, {320, 101}, {320, 33}, {368, 33}, {368, 101}, {366, 101}};
    for (const auto* strip : {vehicle, ecuFrame}) {
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i < 6; ++i) glVertex3i(strip[i][0], strip[i][1], 0);
        glEnd();
    }
    glPopMatrix();

    const auto ident = src.link->identText.getAll();
    beginOverlay(panel);
    setColour(full);
    text2D(panel, text1251("Паспорт блока управления"), 20, 15);
    for (int k = 0; k < 8; ++k) {
        setColour(caption);
        text2D(panel, text1251(ecu::kIdentCaptions[static_cast<std::size_t>(k)]), 10, 35 + 30 * k);
        setColour(full);
        text2D(panel, klink::shownText(ident[static_cast<std::size_t>(k)]), 35, 50 + 30 * k);
    }
    setColour(full);
    text2D(panel, text1251("Паспорт автомобиля"), 20, 295);
    for (int k = 8; k < 11; ++k) {
        setColour(caption);
        text2D(panel, text1251(ecu::kIdentCaptions[static_cast<std::size_t>(k)]), 10, 315 + 30 * (k - 8));
        setColour(full);
        text2D(panel, klink::shownText(ident[static_cast<std::size_t>(k)]), 35, 330 + 30 * (k - 8));
    }
    endOverlay();
}

}  // namespace display
