// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/StatusPictures.h"

#include <array>

namespace logic::ui {
namespace {

using K = ShapeKind;
constexpr Rgb kWhite{0xFF, 0xFF, 0xFF}, kBlack{0, 0, 0};
constexpr Rgb kLampEdge{0x70, 0x40, 0x00}, kAmber{0xFF, 0xA5, 0x00};
constexpr Rgb kAlarmRed{0xD0, 0x10, 0x10}, kOrange{0xE0, 0x70, 0x00};
constexpr Rgb kDark{0x40, 0x40, 0x40}, kDiskGrey{0x90, 0x90, 0x98};
constexpr Rgb kGlassEdge{0x20, 0x30, 0x80}, kGlass{0xB0, 0xC8, 0xFF}, kTickGreen{0x10, 0x90, 0x20};
constexpr Rgb kArrowUp{0xC0, 0x10, 0x10}, kArrowDown{0x10, 0x40, 0xC0}, kInk{0x20, 0x20, 0x20}, kGrey{0x90, 0x90, 0x90};

Shape box(std::optional<Rgb> pen, Rgb fill, float l, float t, float r, float b) {
    return {K::Box, pen, 1, Ends::Square, fill, {{l, t}, {r, b}}};
}
Shape line(Rgb pen, float width, Ends ends, std::vector<GridPoint> points) {
    return {K::Polyline, pen, width, ends, std::nullopt, std::move(points)};
}

std::vector<Shape> shapesOf(ecu::DtcPicture picture) {
    using P = ecu::DtcPicture;
    switch (picture) {
        case P::Lamp:  // an engine-check lamp: an amber engine block with its two pipes
            return {box(kLampEdge, kAmber, 4.5f, 7.5f, 16.5f, 15.5f), box(kLampEdge, kAmber, 7.5f, 4.5f, 13.5f, 7.5f),
                    box(kLampEdge, kAmber, 1.5f, 9.5f, 4.5f, 13.5f), box(kLampEdge, kAmber, 16.5f, 9.5f, 19.5f, 13.5f)};
        case P::Present:  // a red disc with a white exclamation mark: the fault is there now
            return {{K::Disc, std::nullopt, 1, Ends::Square, kAlarmRed, {{1.5f, 1.5f}, {19.5f, 19.5f}}},
                    box(std::nullopt, kWhite, 9.5f, 5, 11.5f, 13),
                    box(std::nullopt, kWhite, 9.5f, 14.5f, 11.5f, 16.5f)};
        case P::Intermittent:  // a broken orange zigzag: comes and goes
            return {line(kOrange, 2, Ends::Round, {{2, 14}, {6, 6}, {9, 14}}),
                    line(kOrange, 2, Ends::Round, {{12, 14}, {15, 6}, {19, 14}})};
        case P::StoredInactive:  // a grey storage disk: kept in memory, not active
            return {box(kDark, kDiskGrey, 3.5f, 3.5f, 17.5f, 17.5f), box(kDark, kWhite, 6.5f, 3.5f, 14.5f, 8.5f),
                    box(kDark, kDark, 6.5f, 11.5f, 14.5f, 17.5f)};
        case P::TestNotCompleted:  // an hourglass: the test is still running
            return {{K::Polygon, kGlassEdge, 1.5f, Ends::Square, kGlass, {{4, 2}, {17, 2}, {10.5f, 10.5f}}},
                    {K::Polygon, kGlassEdge, 1.5f, Ends::Square, kGlass, {{4, 19}, {17, 19}, {10.5f, 10.5f}}}};
        case P::TestCompleted:  // a green tick
            return {line(kTickGreen, 3, Ends::Round, {{3, 11}, {8, 16}, {18, 4}})};
        case P::AboveMaximum:  // an arrow up against the bar above it
            return {box(std::nullopt, kBlack, 2, 3, 19, 5),
                    {K::Polygon,
                     std::nullopt,
                     1,
                     Ends::Square,
                     kArrowUp,
                     {{10.5f, 6}, {16, 12}, {12.5f, 12}, {12.5f, 19}, {8.5f, 19}, {8.5f, 12}, {5, 12}}}};
        case P::BelowMinimum:  // an arrow down against the bar below it
            return {box(std::nullopt, kBlack, 2, 16, 19, 18),
                    {K::Polygon,
                     std::nullopt,
                     1,
                     Ends::Square,
                     kArrowDown,
                     {{10.5f, 15}, {16, 9}, {12.5f, 9}, {12.5f, 2}, {8.5f, 2}, {8.5f, 9}, {5, 9}}}};
        case P::InvalidSignal:  // a wave crossed out: a signal, but a wrong one
            return {{K::Curve,
                     kInk,
                     1.5f,
                     Ends::Square,
                     std::nullopt,
                     {{1, 10.5f}, {4, 3}, {7, 3}, {10.5f, 10.5f}, {14, 18}, {17, 18}, {20, 10.5f}}},
                    line(kAlarmRed, 2, Ends::Round, {{5, 5}, {16, 16}}),
                    line(kAlarmRed, 2, Ends::Round, {{16, 5}, {5, 16}})};
        case P::NoSignal:  // a flat line with a break: nothing arrives
            return {line(kInk, 2, Ends::Flat, {{1, 10.5f}, {8, 10.5f}}),
                    line(kInk, 2, Ends::Flat, {{13, 10.5f}, {20, 10.5f}}),
                    line(kGrey, 1.5f, Ends::Square, {{8, 5}, {13, 16}})};
        case P::None:
            break;
    }
    return {};
}

}  // namespace

const std::vector<Shape>& statusPicture(ecu::DtcPicture picture) {
    static const auto all = [] {
        std::array<std::vector<Shape>, 16> a{};
        for (int p = 0; p < static_cast<int>(a.size()); ++p)
            a[static_cast<std::size_t>(p)] = shapesOf(static_cast<ecu::DtcPicture>(p));
        return a;
    }();
    const auto i = static_cast<std::size_t>(picture);
    static const std::vector<Shape> none;
    return i < all.size() ? all[i] : none;
}

const std::vector<Shape>& drawing(int id) {
    // The notice's picture, 398 x 73, grey as the classic dialogs' face.
    static const std::vector<Shape> sign = {
        {K::Box, std::nullopt, 1, Ends::Square, Rgb{0xC0, 0xC0, 0xC0}, {{0, 0}, {398, 73}}},
        {K::Polygon, kBlack, 3, Ends::Round, Rgb{0xFF, 0xD4, 0x00}, {{36, 8}, {64, 62}, {8, 62}}},
        {K::RoundBox, std::nullopt, 1, Ends::Square, kBlack, {{33, 24}, {39, 48}, {2, 2}}},
        {K::Disc, std::nullopt, 1, Ends::Square, kBlack, {{32.5f, 51}, {39.5f, 58}}},
    };
    static const std::vector<Shape> none;
    return id == kWarningSign ? sign : none;
}

}  // namespace logic::ui
