// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's seven drawing panels as every face makes them: where
// each lies, its fonts, and what it paints. A face makes its own kind of
// panel and hands it to setUpPanel.
#pragma once

#include "painting/ChartView.h"
#include "painting/PanelTypes.h"

namespace display {

struct PanelPlace {
    int x, y, width, height;
};
// Panels 1..5 are the trend charts, 6 the flag strip, 7 the passport.
inline constexpr PanelPlace kPanelPlaces[7] = {{23, 15, 750, 115},  {23, 146, 750, 115}, {23, 277, 750, 115},
                                               {23, 408, 750, 115}, {23, 539, 750, 115}, {23, 674, 750, 49},
                                               {807, 324, 193, 401}};
inline constexpr int kRussianCharset = 204;

inline const PanelPlace& panelPlace(int k) { return kPanelPlaces[k - 1]; }
// The five charts together, as a picture of the charts keeps them.
inline constexpr PanelPlace kChartsArea{kPanelPlaces[0].x, kPanelPlaces[0].y, kPanelPlaces[0].width,
                                        kPanelPlaces[4].y + kPanelPlaces[4].height - kPanelPlaces[0].y};
// The chart (1..5) under a point of the window; 0 where there is none.
inline int chartAt(int x, int y) {
    for (int k = 1; k <= 5; ++k) {
        const PanelPlace& p = panelPlace(k);
        if (x >= p.x && x < p.x + p.width && y >= p.y && y < p.y + p.height) return k;
    }
    return 0;
}

// Sets panel k (1..7) up: fonts, buffers, and the handlers that paint what
// sources holds (which must outlive the panel).
template <typename Panel>
void setUpPanel(Panel& p, int k, const DisplaySources& sources) {
    // The paints draw without a depth test: no depth buffer to clear.
    p.cDepthBits = 0;
    p.Font2D_Enabled = true;
    p.Font2D_FirstGylph = 32;
    p.Font2D_NumGylph = 255;
    p.OnInit = [](Panel* self) { initChartView(self); };
    if (k <= 5) {
        p.Font2D_Type = {"Arial", -11, false, false, kRussianCharset};
        p.Font3D_Enabled = true;
        p.Font3D_Type = {"Arial", -11, true, true, kRussianCharset};
        p.Font3D_FirstGylph = 0;
        p.Font3D_NumGylph = 255;
        p.Font3D_Extrustion = 0.1f;
        p.Font3D_Format = glpanel::Font3DFormat::Polygons;
        p.OnPaint = [&sources, k](Panel* self) { paintTrendChart(self, k, sources); };
    } else if (k == 6) {
        p.Font2D_Type = {"Arial", -11, true, false, kRussianCharset};
        p.OnPaint = [&sources](Panel* self) { paintFlagStrip(self, sources); };
    } else {
        p.Font2D_Type = {"Arial", -12, false, false, kRussianCharset};
        p.OnPaint = [&sources](Panel* self) { paintPassportPanel(self, sources); };
    }
}

}  // namespace display
