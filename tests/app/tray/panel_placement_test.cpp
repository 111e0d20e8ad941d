#include "app/tray/panel_placement.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace app {
namespace {

TEST(TrayPanelOrigin, HangsFromTheIconInsideTheFreeArea) {
    const platform::Rect screen{0, 0, 1600, 1000};
    const struct {
        const char* name;
        std::optional<platform::Rect> icon;
        platform::Rect available;
        platform::Point origin;
    } kCases[] = {
        {"top bar, middle", platform::Rect{800, 0, 24, 24}, {0, 24, 1600, 976}, {652, 24}},
        {"top bar, right edge", platform::Rect{1570, 0, 24, 24}, {0, 24, 1600, 976}, {1280, 24}},
        {"top bar, left edge", platform::Rect{4, 0, 24, 24}, {0, 24, 1600, 976}, {0, 24}},
        {"bottom tray, right", platform::Rect{1500, 976, 24, 24}, screen, {1280, 576}},
        {"bottom tray outside the free area", platform::Rect{1500, 976, 24, 24}, {0, 0, 1600, 976}, {1280, 576}},
        {"no icon frame", std::nullopt, {0, 24, 1600, 976}, {1280, 24}},
        {"an empty icon frame", platform::Rect{0, 0, 0, 0}, {0, 24, 1600, 976}, {1280, 24}},
        {"second screen", platform::Rect{1700, 0, 20, 20}, {1600, 0, 1280, 1024}, {1600, 20}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(trayPanelOrigin(c.icon, 320, 400, c.available), c.origin);
    }
}

TEST(TrayPanelOrigin, APanelTallerThanTheScreenStartsAtItsTop) {
    EXPECT_EQ(trayPanelOrigin(platform::Rect{1500, 976, 24, 24}, 320, 1200, {0, 0, 1600, 1000}),
              (platform::Point{1280, 0}));
}

}  // namespace
}  // namespace app
