// The flag strip of panel 6: the ECU's flags, the status line, checksum,
// error count and port, grouped by thin frames.
#include <GL/gl.h>

#include "display/ChartView.h"
#include "display/Panel.h"
#include "display/PanelDrawing.h"

namespace display {
using namespace drawing;
namespace {

struct Frame {
    int x1, x2, y1, y2;
};
constexpr Frame kStripFrames[12] = {{-300, -205, 8, 52}, {-195, -70, 8, 52}, {-60, -15, 8, 52},  {-5, 160, 32, 52},
                                    {-5, 160, 8, 28},    {170, 243, 8, 52},  {253, 315, 8, 52},  {325, 375, 32, 52},
                                    {325, 502, 8, 28},   {455, 502, 32, 52}, {380, 425, 32, 52}, {430, 450, 32, 52}};

struct Lamp {
    const char* text;
    int number;
    int x, y;
};
constexpr Lamp kLamps[17] = {{"S_AS", 64, 10, 18},      {"B_KOE", 16, 10, 40},    {"B_LF1", 19, 55, 18},
                             {"B_LF2", 20, 55, 40},     {"B_SBBVK", 29, 110, 18}, {"B_SBBHK", 28, 110, 40},
                             {"B_LR", 22, 178, 18},     {"B_LRHK", 24, 170, 40},  {"B_LL", 21, 235, 18},
                             {"B_VL", 33, 235, 40},     {"B_SWE", 30, 285, 18},   {"B_KR", 17, 330, 18},
                             {"B_LUSTOP", 25, 370, 18}, {"B_MIL", 26, 285, 40},   {"B_EKP", 15, 325, 40},
                             {"B_SA", 27, 365, 40},     {"B_TE", 31, 400, 40}};

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
        text2D(panel, l.text, l.x, l.y);
    }
    setColour(full);
    text2D(panel, "B_KSTUMS", 445, 18);
    setColour(on(18) ? full : dim);
    text2D(panel, "RUS", 480, 40);
    setColour(on(18) ? dim : full);
    text2D(panel, "EURO", 445, 40);
    setColour(full);
    text2D(panel, "B_VAR", 525, 18);
    setColour(on(32) ? dim : full);
    text2D(panel, text1251("Осн"), 520, 40);
    setColour(on(32) ? full : dim);
    text2D(panel, text1251("Альт"), 545, 40);
    setColour(on(23) ? full : dim);
    text2D(panel, "B_LRA", 590, 18);
    setColour(full);
    text2D(panel, status, 590, 40);
    text2D(panel, d.checksum, 644, 18);
    text2D(panel, std::to_string(d.errorCount), 685, 18);
    text2D(panel, src.portName, 710, 18);
    endOverlay();
}

}  // namespace display
