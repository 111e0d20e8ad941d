#include "app/looking/overlay_geometry.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace app {
namespace {

using platform::Point;
using platform::Rect;
using platform::Screen;
using platform::Size;

TEST(RingFrame, IsCentredOnTheSpot) {
    EXPECT_EQ(ringFrame({300, 200}), (Rect{266, 166, 68, 68}));
    EXPECT_EQ(ringFrame({0.5, 10}), (Rect{-33.5, -24, 68, 68}));
}

TEST(LabelFrame, StaysOnTheScreenUnderTheSpot) {
    // Two screens side by side; the second one lower and shorter.
    const std::vector<Screen> screens = {{{0, 0, 1600, 1000}, {0, 0, 1600, 976}, 1},
                                         {{1600, 200, 1280, 600}, {1600, 200, 1280, 600}, 1}};
    constexpr Size kSize{200, 40};
    constexpr struct {
        std::string_view name;
        Point spot;
        Rect want;
    } kCases[] = {
        {"centred 30 below", {800, 500}, {700, 530, 200, 40}},
        {"near the left edge", {50, 500}, {4, 530, 200, 40}},
        {"near the right edge", {1580, 500}, {1396, 530, 200, 40}},
        {"near the bottom goes above", {800, 940}, {700, 870, 200, 40}},
        // The label would end exactly 4 above the bottom edge: it stays below.
        {"just fits below", {800, 926}, {700, 956, 200, 40}},
        {"one more and it goes above", {800, 926.5}, {700, 856.5, 200, 40}},
        {"bottom left corner", {10, 990}, {4, 920, 200, 40}},
        {"second screen, its own bottom", {2000, 760}, {1900, 690, 200, 40}},
        {"second screen, its left edge", {1610, 300}, {1604, 330, 200, 40}},
        // The spot is on the first screen although the label would reach the second.
        {"first screen, right edge", {1599, 300}, {1396, 330, 200, 40}},
        {"off every screen stays as computed", {3000, 100}, {2900, 130, 200, 40}},
        {"above the top of every screen", {800, -50}, {700, -20, 200, 40}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(labelFrame(c.spot, kSize, screens), c.want);
    }
}

TEST(LabelFrame, WiderThanTheScreenKeepsTheLeftMargin) {
    const std::vector<Screen> screens = {{{0, 0, 300, 400}, {0, 0, 300, 400}, 1}};
    EXPECT_EQ(labelFrame({150, 100}, {400, 40}, screens), (Rect{4, 130, 400, 40}));
}

TEST(LabelFrame, WithoutScreensStaysAsComputed) {
    EXPECT_EQ(labelFrame({100, 990}, {80, 30}, {}), (Rect{60, 1020, 80, 30}));
}

}  // namespace
}  // namespace app
