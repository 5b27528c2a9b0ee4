#include "display/ChartView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QFont>
#include <QFontMetrics>

#include <cstdlib>
#include <map>

#include "display/glpanel/TOpenGLPanel.h"
#include "ecu/Identification.h"
#include "ecu/ParameterCatalogue.h"
#include "platform/Cp1251.h"

namespace display {
namespace {

void setColour(const Colour& c) { glColor4f(c.r, c.g, c.b, c.t); }
Colour withBrightness(const Colour& c, float t) { return {c.r, c.g, c.b, t}; }

void text2D(const glpanel::TOpenGLPanel* panel, const std::string& text, int x, int y) {
    glRasterPos2i(x, y);
    panel->Draw2DText(text);
}

// Steps shared by every paint: clear, line polygons, smooth lines, additive
// blending, no depth test.
void beginPaint() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glLoadIdentity();
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_LINE_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

// A pixel overlay: raster positions in pixels from the top-left corner.
void beginOverlay(const glpanel::TOpenGLPanel* panel) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, panel->width(), panel->height(), 0, 1000, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void endOverlay() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void drawGrid(const Colour& colour) {
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

// Texts of one chart, copied under the live data's lock.
struct ChartTexts {
    std::string readout;
    std::string companionValue;
};

}  // namespace

std::string portLabel(const std::string& device) {
    // A by-id link names the device it points at.
    std::string name = device;
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        name = real;
        std::free(real);
    }
    const auto slash = name.find_last_of('/');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    auto numbered = [&base](const std::string& prefix) {
        return base.size() > prefix.size() && base.size() <= prefix.size() + 3 && base.rfind(prefix, 0) == 0 &&
               base.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
    };
    if (numbered("ttyS")) return "Com" + std::to_string(std::stoi(base.substr(4)) + 1);
    if (numbered("ttyUSB") || numbered("ttyACM")) base = base.substr(3);
    // Whatever is left must stay inside the frame: cut it with an ellipsis.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const QString text = metrics.elidedText(QString::fromStdString(base), Qt::ElideRight, kPortNameRoom);
    return cp1251::fromUtf8(text.toStdString());
}

void initChartView(glpanel::TOpenGLPanel* panel) {
    const int w = panel->deviceWidth();
    const int h = panel->deviceHeight();
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (h == 0) {
        gluPerspective(45, w, 1, 2000);
    } else {
        gluPerspective(20, static_cast<double>(w) / h, 1, 2000);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void paintTrendChart(glpanel::TOpenGLPanel* panel, int slot, const DisplaySources& src) {
    const int number = (*src.chartParameter)[static_cast<std::size_t>(slot - 1)];
    const ColourScheme& c = *src.colours;
    const ecu::Parameter* p = ecu::ParameterCatalogue::instance().byNumber(number);

    beginPaint();
    glTranslatef(-400, -50, -150);
    drawGrid(c.gridColour);
    glTranslatef(55, -1.1f, -150);
    setColour(c.graphColour);
    glBegin(GL_LINE_STRIP);
    static HistoryBuffer history;  // user-interface thread only; 8 KB not reallocated per paint
    if (p && src.histories->copy(number, history)) {
        for (std::size_t i = 1; i < kHistorySlots; ++i) glVertex3i(history.historyAge[i], history.historyValue[i], 0);
    }
    glEnd();
    glPopMatrix();

    if (!p) return;  // a number outside 1..79: the grid only
    ChartTexts t = src.live->read([&](const ecu::LiveData& d) {
        return ChartTexts{d.chartReadout(number),
                          p->companionSource ? d.analogue[static_cast<std::size_t>(p->companionSource)].valueText
                                             : std::string()};
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

namespace {

struct Frame {
    int x1, x2, y1, y2;
};
constexpr Frame kStripFrames[12] = {
    {-300, -205, 8, 52}, {-195, -70, 8, 52}, {-60, -15, 8, 52}, {-5, 160, 32, 52}, {-5, 160, 8, 28},
    {170, 243, 8, 52},   {253, 315, 8, 52},  {325, 375, 32, 52}, {325, 502, 8, 28}, {455, 502, 32, 52},
    {380, 425, 32, 52},  {430, 450, 32, 52}};

struct Lamp {
    const char* text;
    int number;
    int x, y;
};
constexpr Lamp kLamps[17] = {
    {"S_AS", 64, 10, 18},     {"B_KOE", 16, 10, 40},     {"B_LF1", 19, 55, 18},    {"B_LF2", 20, 55, 40},
    {"B_SBBVK", 29, 110, 18}, {"B_SBBHK", 28, 110, 40},  {"B_LR", 22, 178, 18},    {"B_LRHK", 24, 170, 40},
    {"B_LL", 21, 235, 18},    {"B_VL", 33, 235, 40},     {"B_SWE", 30, 285, 18},   {"B_KR", 17, 330, 18},
    {"B_LUSTOP", 25, 370, 18}, {"B_MIL", 26, 285, 40},   {"B_EKP", 15, 325, 40},   {"B_SA", 27, 365, 40},
    {"B_TE", 31, 400, 40}};

struct StripData {
    std::array<std::uint8_t, ecu::kChannelSlots> state{};
    std::string checksum;
    int errorCount = 0;
};

const std::string& text1251(const char* utf8) {
    // The strip's fixed Cyrillic texts, converted once.
    static std::map<const char*, std::string> cache;
    auto it = cache.find(utf8);
    if (it == cache.end()) it = cache.emplace(utf8, cp1251::fromUtf8(utf8)).first;
    return it->second;
}

}  // namespace

void paintFlagStrip(glpanel::TOpenGLPanel* panel, const DisplaySources& src) {
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

void paintPassportPanel(glpanel::TOpenGLPanel* panel, const DisplaySources& src) {
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
        text2D(panel, ecu::shownIdent(ident[static_cast<std::size_t>(k)]), 35, 50 + 30 * k);
    }
    setColour(full);
    text2D(panel, text1251("Паспорт автомобиля"), 20, 295);
    for (int k = 8; k < 11; ++k) {
        setColour(caption);
        text2D(panel, text1251(ecu::kIdentCaptions[static_cast<std::size_t>(k)]), 10, 315 + 30 * (k - 8));
        setColour(full);
        text2D(panel, ecu::shownIdent(ident[static_cast<std::size_t>(k)]), 35, 330 + 30 * (k - 8));
    }
    endOverlay();
}

}  // namespace display
