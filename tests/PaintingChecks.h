// SPDX-License-Identifier: GPL-3.0-or-later
// What the charts, the flag strip and the passport must show, checked the
// same way on every face's panels: each face's test gives a picture of
// panel k as painted now, and the data the panels paint.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ecu/SessionHistory.h"
#include "logic/SharedData.h"
#include "painting/ChartReview.h"

namespace paintchecks {

struct Rgb {
    int r = 0, g = 0, b = 0;
};
struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;  // the top row first
    Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};
struct Box {
    int x, y, w, h;
};

class Face {
public:
    virtual ~Face() = default;
    virtual logic::SharedData& data() = 0;
    // The drive's history the face's charts draw.
    virtual ecu::SessionHistory& kept() = 0;
    // The user pauses the charts (P).
    virtual void pauseCharts() = 0;
    // Panel k (1..7) painted now.
    virtual Picture shot(int k) = 0;
};

// Pure colours per role, so each role can be told apart in the pixels.
inline display::ColourScheme testColours() {
    display::ColourScheme s;
    s.gridColour = {1, 0, 0, 0.5f};
    s.nameTextColour = {0, 1, 0, 1};
    s.graphColour = {0, 0, 1, 1};
    s.valueTextColour = {1, 1, 0, 1};
    return s;
}

inline bool green(Rgb c) { return c.g > 150 && c.r < 100 && c.b < 150; }
inline bool blue(Rgb c) { return c.b > 80 && c.g < 100; }
inline bool yellow(Rgb c) { return c.r > 150 && c.g > 150 && c.b < 100; }
inline bool red(Rgb c) { return c.r > 60 && c.g < 40 && c.b < 40; }

inline int count(const Picture& p, Box r, const std::function<bool(Rgb)>& pred) {
    int n = 0;
    for (int y = std::max(0, r.y); y < std::min(p.height, r.y + r.h); ++y)
        for (int x = std::max(0, r.x); x < std::min(p.width, r.x + r.w); ++x) n += pred(p.at(x, y));
    return n;
}
inline Box whole(const Picture& p) { return {0, 0, p.width, p.height}; }
inline int maxGreen(const Picture& p, Box r) {
    int m = 0;
    for (int y = std::max(0, r.y); y < std::min(p.height, r.y + r.h); ++y)
        for (int x = std::max(0, r.x); x < std::min(p.width, r.x + r.w); ++x) m = std::max(m, p.at(x, y).g);
    return m;
}
// The rows where the trace lies in one column band.
inline std::pair<int, int> traceRows(const Picture& p, int x0, int x1) {
    int top = p.height, bottom = -1;
    for (int y = 0; y < p.height; ++y)
        for (int x = x0; x <= x1; ++x)
            if (blue(p.at(x, y))) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return {top, bottom};
}

// A measured pass of one parameter's sample each tick, taken as the
// sampler takes it; afterGap: the first pass after the link reconnected.
inline void feed(Face& f, int number, const std::function<int(int)>& value, int ticks, bool afterGap = false) {
    for (int i = 0; i < ticks; ++i) {
        ecu::PassRecord r;
        r.afterGap = afterGap && i == 0;
        r.samples[static_cast<std::size_t>(ecu::chartedSlot(number))] = static_cast<std::int16_t>(value(i));
        f.kept().add(r);
        f.kept().ageAll();
        f.kept().takeNewest();
    }
}

// A gap in the data (the link reconnected): ticks without samples, then a
// sample marked as the first after the gap. Nothing joins it to the older one.
inline void aGapInTheDataIsLeftAGap(Face& f) {
    f.data().chartParameter[0] = 56;
    feed(
        f, 56, [](int) { return 80; }, 100);
    for (int i = 0; i < 180; ++i) f.kept().ageAll();  // the link away
    feed(
        f, 56, [](int) { return 80; }, 101, true);
    const Picture img = f.shot(1);
    EXPECT_GT(count(img, {0, 0, 100, 115}, blue), 50);   // the trace after the gap
    EXPECT_GT(count(img, {330, 0, 60, 115}, blue), 30);  // and before it
    EXPECT_EQ(count(img, {150, 0, 130, 115}, blue), 0);  // nothing across the gap
}

// A pause keeps the live picture: every pixel of the trace stays where it
// was, though the passes came at the K-line's uneven times and the timer's
// ticks do not match them.
inline void aPauseLeavesTheTraceWhereItStood(Face& f) {
    f.data().chartParameter[0] = 56;
    for (int i = 0; i < 150; ++i) {
        ecu::PassRecord r;
        r.pass = static_cast<std::uint64_t>(i) + 1;
        r.timeMs = i * 190 + (i * 37) % 23;
        r.samples[static_cast<std::size_t>(ecu::chartedSlot(56))] = static_cast<std::int16_t>(10 + (i * 7) % 80);
        f.kept().add(r);
        for (int t = 0; t < 6 + i % 2; ++t) {
            f.kept().ageAll();
            f.kept().takeNewest();
        }
    }
    const Picture live = f.shot(1);
    f.pauseCharts();
    const Picture paused = f.shot(1);
    ASSERT_EQ(live.width, paused.width);
    int traced = 0, moved = 0;
    for (int y = 0; y < live.height; ++y)
        for (int x = 0; x < live.width; ++x) {
            if (x >= display::kPauseMark.x - 2 && y <= display::kPauseMark.y + display::kPauseMark.height + 2)
                continue;  // the pause's own frame
            // Only the trace draws blue: texts and grid add none to it.
            traced += blue(live.at(x, y));
            moved += live.at(x, y).b != paused.at(x, y).b;
        }
    EXPECT_GT(traced, 300);
    EXPECT_EQ(moved, 0);
}

inline void numberZeroDrawsTheGridOnlyAndAReservedNumberItsCaptionOnly(Face& f) {
    f.data().chartParameter[0] = 0;
    Picture img = f.shot(1);
    EXPECT_GT(count(img, whole(img), red), 2000);  // grid lines across the panel
    EXPECT_EQ(count(img, whole(img), green), 0);
    EXPECT_EQ(count(img, whole(img), blue), 0);
    EXPECT_EQ(count(img, whole(img), yellow), 0);

    f.data().chartParameter[0] = 6;  // "Резерв Е3."
    img = f.shot(1);
    EXPECT_GT(count(img, {180, 0, 80, 13}, green), 20);
    EXPECT_EQ(count(img, {0, 13, 750, 102}, green), 0);  // no labels
    EXPECT_EQ(count(img, {0, 0, 170, 115}, green), 0);
    EXPECT_EQ(count(img, whole(img), blue), 0);    // no trace
    EXPECT_EQ(count(img, whole(img), yellow), 0);  // no readout
}

inline void theTraceLiesWhereTheProjectionPutsItsValuesAndAges(Face& f) {
    f.data().chartParameter[0] = 56;  // NMOT
    feed(
        f, 56, [](int) { return 50; }, 345);
    Picture img = f.shot(1);
    // Value 50 sits about halfway up: 115 - (50 + 1.8) / 105.8 x 115 = 58.7.
    const auto rows = traceRows(img, 100, 300);
    EXPECT_NEAR(rows.first, 58, 2);
    EXPECT_NEAR(rows.second, 59, 2);
    // 345 ticks of samples reach the middle; beyond, the initial zeros.
    EXPECT_GT(count(img, {360, 55, 10, 8}, blue), 0);
    EXPECT_EQ(count(img, {385, 50, 20, 15}, blue), 0);
    // Age 690 lies on the right edge.
    feed(
        f, 56, [](int) { return 50; }, 400);
    img = f.shot(1);
    EXPECT_GT(count(img, {735, 55, 14, 8}, blue), 0);

    // A flag's trace jumps between 0 and 80.
    f.data().chartParameter[0] = 21;
    feed(
        f, 21, [](int i) { return (i / 20) % 2 ? 80 : 0; }, 400);
    img = f.shot(1);
    EXPECT_GT(count(img, {0, 23, 750, 7}, blue), 150);   // 80: 115 - 81.8 / 105.8 x 115 = 26
    EXPECT_GT(count(img, {0, 109, 750, 6}, blue), 150);  // 0: about 2 pixels above the bottom
    EXPECT_LT(count(img, {0, 60, 750, 1}, blue), 90);    // in between only the jumps cross
    // Extreme samples are clipped by the projection, never a hang or a crash.
    feed(
        f, 21, [](int i) { return i % 2 ? 1000000000 : -1000000000; }, 50);
    img = f.shot(1);
    EXPECT_GT(count(img, whole(img), blue), 0);
}

inline void captionLabelsAndReadoutOfAnAnalogueParameter(Face& f) {
    f.data().chartParameter[0] = 65;  // TANS: middle label lower, a companion readout
    f.data().liveData.write([](ecu::LiveData& d) {
        d.analogue[65].valueText = "24.8";
        d.analogue[8].valueText = "2.539";
        return 0;
    });
    const Picture img = f.shot(1);
    EXPECT_GT(count(img, {180, 0, 200, 13}, green), 20);  // caption
    EXPECT_GT(count(img, {600, 0, 140, 13}, green), 20);  // companion readout
    EXPECT_GT(count(img, {18, 0, 20, 13}, green), 5);     // "140"
    EXPECT_GT(count(img, {18, 80, 10, 12}, green), 3);    // "0" at 90, not 60
    EXPECT_EQ(count(img, {18, 50, 10, 12}, green), 0);
    EXPECT_GT(count(img, {18, 104, 25, 12}, green), 5);    // "-40"
    EXPECT_GT(count(img, {0, 20, 400, 95}, yellow), 200);  // the large readout
}

inline void theStripLightsTheAlternativeThatAppliesAndTheSchemeSetsBrightness(Face& f) {
    Picture img = f.shot(6);
    // All flags clear: "EURO" and "Осн" bright, "RUS" and "Альт" dim.
    EXPECT_GT(maxGreen(img, {445, 30, 28, 12}), 200);
    EXPECT_LT(maxGreen(img, {480, 30, 24, 12}), 120);
    EXPECT_GT(maxGreen(img, {480, 30, 24, 12}), 40);
    EXPECT_GT(maxGreen(img, {520, 30, 22, 12}), 200);
    EXPECT_LT(maxGreen(img, {545, 30, 24, 12}), 120);
    f.data().liveData.write([](ecu::LiveData& d) {
        d.flag[18].state = 1;
        d.flag[32].state = 1;
        return 0;
    });
    img = f.shot(6);
    EXPECT_GT(maxGreen(img, {480, 30, 24, 12}), 200);
    EXPECT_LT(maxGreen(img, {445, 30, 28, 12}), 120);
    EXPECT_GT(maxGreen(img, {545, 30, 24, 12}), 200);

    // The name colour's brightness shows at the next paint.
    f.data().colourScheme.nameTextColour.t = 0.3f;
    img = f.shot(6);
    EXPECT_LT(maxGreen(img, {480, 30, 24, 12}), 110);
}

inline void thePassportShowsCaptionsAndTextsUpToTheirFirstZero(Face& f) {
    const Picture empty = f.shot(7);
    EXPECT_GT(count(empty, whole(empty), [](Rgb c) { return c.g > 60; }), 100);  // the captions
    EXPECT_EQ(count(empty, {35, 40, 150, 12}, green), 0);                        // no text yet
    std::array<std::string, 11> ident{};
    ident[0] = "XTA21700080123456";
    ident[1] = std::string("SERIAL\0HIDDENTXT", 16);
    f.data().linkData.identText.setAll(ident);
    const Picture img = f.shot(7);
    EXPECT_GT(count(img, {35, 40, 150, 12}, green), 20);
    // Only "SERIAL" shows: nothing right of its six letters.
    EXPECT_GT(count(img, {35, 70, 50, 12}, green), 10);
    EXPECT_EQ(count(img, {95, 70, 90, 12}, green), 0);
}

}  // namespace paintchecks

// The checks above as tests of one suite, over a face's Rig (a
// paintchecks::Face made by its default constructor).
#define M797_PAINTING_CHECKS(Suite, Rig)                                                     \
    TEST(Suite, NumberZeroDrawsTheGridOnlyAndAReservedNumberItsCaptionOnly) {                \
        Rig rig;                                                                             \
        paintchecks::numberZeroDrawsTheGridOnlyAndAReservedNumberItsCaptionOnly(rig);        \
    }                                                                                        \
    TEST(Suite, TheTraceLiesWhereTheProjectionPutsItsValuesAndAges) {                        \
        Rig rig;                                                                             \
        paintchecks::theTraceLiesWhereTheProjectionPutsItsValuesAndAges(rig);                \
    }                                                                                        \
    TEST(Suite, CaptionLabelsAndReadoutOfAnAnalogueParameter) {                              \
        Rig rig;                                                                             \
        paintchecks::captionLabelsAndReadoutOfAnAnalogueParameter(rig);                      \
    }                                                                                        \
    TEST(Suite, TheStripLightsTheAlternativeThatAppliesAndTheSchemeSetsBrightness) {         \
        Rig rig;                                                                             \
        paintchecks::theStripLightsTheAlternativeThatAppliesAndTheSchemeSetsBrightness(rig); \
    }                                                                                        \
    TEST(Suite, ThePassportShowsCaptionsAndTextsUpToTheirFirstZero) {                        \
        Rig rig;                                                                             \
        paintchecks::thePassportShowsCaptionsAndTextsUpToTheirFirstZero(rig);                \
    }                                                                                        \
    TEST(Suite, AGapInTheDataIsLeftAGap) {                                                   \
        Rig rig;                                                                             \
        paintchecks::aGapInTheDataIsLeftAGap(rig);                                           \
    }                                                                                        \
    TEST(Suite, APauseLeavesTheTraceWhereItStood) {                                          \
        Rig rig;                                                                             \
        paintchecks::aPauseLeavesTheTraceWhereItStood(rig);                                  \
    }
