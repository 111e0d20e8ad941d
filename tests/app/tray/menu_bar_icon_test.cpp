#include "app/tray/menu_bar_icon.hpp"

#include "app/tray/running_notice_model.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace app {
namespace {

using Place = MenuBarIcon::Place;

TEST(MenuBarIcon, PlaceFollowsTheTray) {
    const std::vector<platform::Rect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const struct {
        const char* name;
        MenuBarIcon::TrayState tray;
        Place want;
    } kCases[] = {
        {"no tray", {false, true, platform::Rect{1900, 0, 22, 22}}, Place::noRoom},
        {"icon not shown", {true, false, platform::Rect{1900, 0, 22, 22}}, Place::noRoom},
        {"tray without positions", {true, true, std::nullopt}, Place::visible},
        {"on the first screen", {true, true, platform::Rect{1900, 0, 22, 22}}, Place::visible},
        {"on the second screen", {true, true, platform::Rect{3000, 1000, 22, 22}}, Place::visible},
        {"overlapping an edge", {true, true, platform::Rect{-10, -10, 22, 22}}, Place::visible},
        {"beyond every screen", {true, true, platform::Rect{3200, 0, 22, 22}}, Place::noRoom},
        {"below the second screen", {true, true, platform::Rect{2000, 1024, 22, 22}}, Place::noRoom},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MenuBarIcon::place(row.tray, screens), row.want);
    }
    EXPECT_EQ(MenuBarIcon::place({true, true, platform::Rect{0, 0, 22, 22}}, {}), Place::noRoom);
}

TEST(RunningNoticeText, SaysWhereTheIconIsAndWhatToDo) {
    EXPECT_EQ(RunningNoticeText::sentence(Place::visible),
              "Its icon is in the system tray of your desktop's panel. Click it to open Vantor MCP.");
    EXPECT_EQ(RunningNoticeText::tip(Place::visible), std::nullopt);
    EXPECT_TRUE(RunningNoticeText::showsSketch(Place::visible));

    EXPECT_EQ(RunningNoticeText::sentence(Place::noRoom),
              "Its icon is hidden: your desktop shows no system tray, so there's no room for it.");
    EXPECT_EQ(RunningNoticeText::tip(Place::noRoom), RunningNoticeText::kTip);
    EXPECT_FALSE(RunningNoticeText::showsSketch(Place::noRoom));
}

}  // namespace
}  // namespace app
