// SPDX-License-Identifier: GPL-3.0-or-later
// The painting on the Windows face's panels (WGL, fonts from
// wglUseFontBitmaps/wglUseFontOutlines), checked as on the Qt face. Run under
// Wine on a virtual screen; the pictures are read back from each panel's
// buffer as it is painted, which works even where the window system does not
// show OpenGL drawn in a window.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "painting/PanelLayout.h"
#include "tests/PaintingChecks.h"
#include "win32/glpanel/TOpenGLPanel.h"

namespace {

struct Rig : paintchecks::Face {
    Rig() {
        shared.colourScheme = paintchecks::testColours();
        shared.chartParameter = {2, 3, 4, 5, 6};
        shared.liveData.write([](ecu::LiveData& d) {
            d.setFlagNames();
            return 0;
        });
        sources.live = &shared.liveData;
        sources.session = &history;
        sources.review = &review;
        sources.link = &shared.linkData;
        sources.chartParameter = &shared.chartParameter;
        sources.colours = &shared.colourScheme;
        sources.portName = "Com1";
        wglpanel::TOpenGLPanel::setReportHandler([this](const std::string& text) { reports.push_back(text); });
        for (int k = 1; k <= 7; ++k) {
            auto& p = panels[static_cast<std::size_t>(k - 1)];
            p = std::make_unique<wglpanel::TOpenGLPanel>();
            display::setUpPanel(*p, k, sources);
            p->keepPicture = true;
            const display::PanelPlace& place = display::panelPlace(k);
            EXPECT_TRUE(p->create(nullptr, place.x, place.y, place.width, place.height, true));
        }
        EXPECT_TRUE(reports.empty()) << reports.front();
    }
    ~Rig() override { wglpanel::TOpenGLPanel::setReportHandler({}); }
    logic::SharedData& data() override { return shared; }
    ecu::SessionHistory& kept() override { return history; }
    void pauseCharts() override { review.pauseAsShown(0, history.ticks()); }
    paintchecks::Picture shot(int k) override {
        wglpanel::TOpenGLPanel& p = *panels[static_cast<std::size_t>(k - 1)];
        p.repaintNow();
        paintchecks::Picture picture{p.panelWidth(), p.panelHeight(), {}};
        const std::string& rgba = p.lastPicture();
        if (rgba.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4)
            return {};
        for (int y = picture.height - 1; y >= 0; --y)  // OpenGL's rows run upwards
            for (int x = 0; x < picture.width; ++x) {
                const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                                       static_cast<std::size_t>(x)) *
                                      4;
                picture.pixels.push_back({static_cast<unsigned char>(rgba[i]), static_cast<unsigned char>(rgba[i + 1]),
                                          static_cast<unsigned char>(rgba[i + 2])});
            }
        return picture;
    }
    logic::SharedData shared;
    ecu::SessionHistory history;
    display::ChartReview review;
    display::DisplaySources sources;
    std::vector<std::string> reports;
    std::array<std::unique_ptr<wglpanel::TOpenGLPanel>, 7> panels;
};

}  // namespace

M797_PAINTING_CHECKS(WglPaint, Rig)

TEST(WglPanel, AnIndexedDisplaysPaletteSpreadsEachColoursBitsOverTheWholeRange) {
    PIXELFORMATDESCRIPTOR f{};
    f.cColorBits = 8;  // 3-3-2: red in bits 0..2, green 3..5, blue 6..7
    f.cRedBits = 3;
    f.cRedShift = 0;
    f.cGreenBits = 3;
    f.cGreenShift = 3;
    f.cBlueBits = 2;
    f.cBlueShift = 6;
    const std::vector<PALETTEENTRY> p = wglpanel::TOpenGLPanel::paletteEntries(f);
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(p[0].peRed + p[0].peGreen + p[0].peBlue, 0);
    EXPECT_EQ(p[255].peRed, 255);
    EXPECT_EQ(p[255].peGreen, 255);
    EXPECT_EQ(p[255].peBlue, 255);
    EXPECT_EQ(p[0x05].peRed, 5 * 255 / 7);  // red 5 of 7
    EXPECT_EQ(p[0x05].peGreen, 0);
    EXPECT_EQ(p[0x80].peBlue, 2 * 255 / 3);  // blue 2 of 3
    EXPECT_EQ(p[0x18].peGreen, 3 * 255 / 7);
}
