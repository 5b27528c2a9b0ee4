// SPDX-License-Identifier: GPL-3.0-or-later
// Looking back at an eight-hour drive: the five chart panels, painted by the
// program's own chart painting, after each step of a scroll through a paused
// history, against the same panels painting the ordinary live picture in the
// same run. Prints the median frame (five paints, finished) of each.
//   review_bench [steps]
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "ecu/SessionHistory.h"
#include "painting/ChartReview.h"
#include "painting/PanelLayout.h"
#include "platform/OpenGl.h"
#include "qt/glpanel/TOpenGLPanel.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;

    // Eight hours of passes every 253 ms (the simulated car's pace), every
    // charted parameter moving.
    constexpr std::int64_t kPassMs = 253;
    auto kept = std::make_unique<ecu::SessionHistory>();
    ecu::PassRecord r;
    const std::size_t passes = 8 * 3600 * 1000 / kPassMs;
    for (std::size_t i = 0; i < passes; ++i) {
        r.pass = i + 1;
        r.timeMs = static_cast<std::int64_t>(i) * kPassMs;
        for (std::size_t s = 0; s < r.samples.size(); ++s)
            r.samples[s] = static_cast<std::int16_t>(50 + 40 * std::sin(static_cast<double>(i + s * 7) / 40.0));
        kept->add(r);
        // The live charts took the newest passes, one a tick.
        if (i + ecu::kHistorySlots >= passes) {
            kept->ageAll();
            kept->takeNewest();
        }
    }
    ecu::LiveDataStore live;
    klink::LinkData link;
    display::ChartParameters charts{56, 3, 4, 5, 60};
    display::ColourScheme colours = display::ColourScheme::builtIn();
    display::ChartReview review;
    display::DisplaySources src;
    src.live = &live;
    src.link = &link;
    src.chartParameter = &charts;
    src.colours = &colours;
    src.session = kept.get();
    src.review = &review;

    QWidget window;
    window.setGeometry(0, 0, 1024, 740);
    glpanel::TOpenGLPanel::setOneContextForAll(true);
    std::vector<glpanel::TOpenGLPanel*> panels;
    for (int k = 1; k <= 5; ++k) {
        auto* p = new glpanel::TOpenGLPanel(&window);
        const auto& place = display::panelPlace(k);
        p->setGeometry(place.x, place.y, place.width, place.height);
        display::setUpPanel(*p, k, src);
        panels.push_back(p);
    }
    window.show();
    for (int i = 0; i < 20; ++i) app.processEvents();

    const auto frame = [&] {
        QElapsedTimer t;
        t.start();
        for (auto* p : panels) p->repaintNow();
        glFinish();
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    };
    std::vector<double> liveMs, scrollMs, wideMs;
    for (int i = 0; i < steps; ++i) liveMs.push_back(frame());
    const std::int64_t oldest = 0, newest = static_cast<std::int64_t>(passes - 1) * kPassMs;
    review.pause(newest);
    for (int i = 0; i < steps; ++i) {
        review.scroll(-1, oldest, newest);
        scrollMs.push_back(frame());
    }
    review.zoom(-10);  // the longest span, 20 minutes: the most passes in a picture
    for (int i = 0; i < steps; ++i) {
        review.scroll(-1, oldest, newest);
        wideMs.push_back(frame());
    }
    std::printf("history: %zu passes (8 h), %.1f MB\n", passes, static_cast<double>(kept->bytes()) / 1e6);
    std::printf("live frame (5 charts):               %.2f ms median\n", median(liveMs));
    std::printf("scroll step, 20.7 s span (5 charts): %.2f ms median (%.2f of live)\n", median(scrollMs),
                median(scrollMs) / median(liveMs));
    std::printf("scroll step, 20 min span (5 charts): %.2f ms median (%.2f of live)\n", median(wideMs),
                median(wideMs) / median(liveMs));
    return 0;
}
