// SPDX-License-Identifier: GPL-3.0-or-later
// The flag strip of panel 6: the ECU's flags, the status line, checksum,
// error count and port, grouped by thin frames.
#include "platform/OpenGl.h"

#include "ecu/ParameterCatalogue.h"
#include "painting/ChartView.h"
#include "painting/Panel.h"
#include "painting/PanelDrawing.h"

namespace display {
using namespace drawing;
namespace {

struct Frame {
    int x1, x2, y1, y2;
};
constexpr Frame kStripFrames[12] = {{-300, -205, 8, 52}, {-195, -70, 8, 52}, {-60, -15, 8, 52},  {-5, 160, 32, 52},
                                    {-5, 160, 8, 28},    {170, 243, 8, 52},  {253, 315, 8, 52},  {325, 375, 32, 52},
                                    {325, 502, 8, 28},   {455, 502, 32, 52}, {380, 425, 32, 52}, {430, 450, 32, 52}};

// A flag's lamp: its mnemonic (from the catalogue), bright while it is set.
struct Lamp {
    int number;
    int x, y;
};
constexpr Lamp kLamps[17] = {{64, 10, 18},  {16, 10, 40},  {19, 55, 18},  {20, 55, 40},  {29, 110, 18}, {28, 110, 40},
                             {22, 178, 18}, {24, 170, 40}, {21, 235, 18}, {33, 235, 40}, {30, 285, 18}, {17, 330, 18},
                             {25, 370, 18}, {26, 285, 40}, {15, 325, 40}, {27, 365, 40}, {31, 400, 40}};
constexpr int kKstums = 18, kVar = 32, kLra = 23;

const std::string& mnemonic(int number) { return ecu::ParameterCatalogue::instance().byNumber(number)->mnemonic; }

struct StripData {
    std::array<std::uint8_t, ecu::kChannelSlots> state{};
    std::string checksum;
    int errorCount = 0;
};

}  // namespace
void paintFlagStrip(Panel* panel, const DisplaySources& src) {
    const Colour full = src.colours->nameTextColour;
    const Colour dim = withBrightness(full, full.t / 3);
    const Colour frame = withBrightness(full, full.t / 2);
    beginPaint();
    glTranslatef(-100, -30, -150);
    setColour(frame);
    for (const Frame& f : kStripFrames) {
        glBegin(GL_LINE_LOOP);
        glVertex3i(f.x1, f.y2, 0);
        glVertex3i(f.x1, f.y1, 0);
        glVertex3i(f.x2, f.y1, 0);
        glVertex3i(f.x2, f.y2, 0);
        glEnd();
    }
    glPopMatrix();

    const StripData d = src.live->read([](const ecu::LiveData& live) {
        StripData s;
        for (std::size_t n = 0; n < s.state.size(); ++n) s.state[n] = live.flag[n].state;
        s.checksum = live.checksumText[0] + live.checksumText[1];
        s.errorCount = live.errorCount;
        return s;
    });
    const std::string status = src.link->statusText.get();
    auto on = [&](int number) { return d.state[static_cast<std::size_t>(number)] == 1; };

    beginOverlay(panel);
    for (const Lamp& l : kLamps) {
        setColour(on(l.number) ? full : dim);
        text2D(panel, mnemonic(l.number), l.x, l.y);
    }
    setColour(full);
    text2D(panel, mnemonic(kKstums), 445, 18);
    setColour(on(kKstums) ? full : dim);
    text2D(panel, "RUS", 480, 40);
    setColour(on(kKstums) ? dim : full);
    text2D(panel, "EURO", 445, 40);
    setColour(full);
    text2D(panel, mnemonic(kVar), 525, 18);
    setColour(on(kVar) ? dim : full);
    text2D(panel, text1251("Осн"), 520, 40);
    setColour(on(kVar) ? full : dim);
    text2D(panel, text1251("Альт"), 545, 40);
    setColour(on(kLra) ? full : dim);
    text2D(panel, mnemonic(kLra), 590, 18);
    setColour(full);
    text2D(panel, status, 590, 40);
    text2D(panel, d.checksum, 644, 18);
    text2D(panel, std::to_string(d.errorCount), 685, 18);
    text2D(panel, src.portName, 710, 18);
    endOverlay();
}

}  // namespace display
