#include "app/looking/status_panel.hpp"

#include "platform/fake/fake_desktop.hpp"
#include "platform/fake/fake_windows.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace app {
namespace {

using namespace std::chrono_literals;
using platform::FakeWindows;
using platform::Rect;
using platform::Screen;
using platform::StatusViewContent;

TEST(StatusViewContent, FollowsTheModelsPrecedence) {
    struct Case {
        std::string_view name;
        std::function<void(GuideStatus&)> script;
        StatusViewContent want;
    };
    const std::vector<Case> cases = {
        {"looking", [](GuideStatus& s) { s.start("Claude"); },
         {std::nullopt, std::nullopt, "Claude is looking…", true, false, true}},
        {"looking with a message",
         [](GuideStatus& s) {
             s.start("Claude");
             s.message().set("Here you go.");
         },
         {"Here you go.", std::nullopt, "Claude is looking…", true, false, true}},
        {"steps over looking",
         [](GuideStatus& s) {
             s.start("Claude");
             s.message().set("Click Export, then type the name.");
             s.reportSteps(Steps{1, 3});
         },
         {"Click Export, then type the name.", std::nullopt, "1 of 3 done", false, true, true}},
        {"an empty message is no line",
         [](GuideStatus& s) {
             s.message().set("");
             s.reportSteps(Steps{0, 1});
         },
         {std::nullopt, std::nullopt, "0 of 1 done", false, true, true}},
        {"finished with words, no buttons",
         [](GuideStatus& s) {
             s.reportSteps(Steps{1, 2});
             s.finish("All done, enjoy.");
         },
         {std::nullopt, "All done, enjoy.", "", false, false, false}},
        {"finished with empty words reads Done", [](GuideStatus& s) { s.finish(""); },
         {std::nullopt, "Done", "", false, false, false}},
        {"nothing", [](GuideStatus&) {}, {std::nullopt, std::nullopt, "", false, false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::VirtualScheduler main;
        GuideStatus status(main);
        c.script(status);
        EXPECT_EQ(statusViewContent(status), c.want);
    }
}

TEST(StatusViewContent, ShowsTheHintAfter12s) {
    platform::VirtualScheduler main;
    GuideStatus status(main);
    status.start("Gemini");
    main.advance(12s);
    EXPECT_EQ(statusViewContent(status).statusLine, "Gemini may have answered in its own window.");
    EXPECT_FALSE(statusViewContent(status).spinner);
}

TEST(StatusPanelFrame, GoesToTheBottomCentreOfTheScreenUnderTheMouse) {
    const std::vector<Screen> screens = {{{0, 0, 1600, 1000}, {0, 0, 1600, 976}, 1},
                                         {{1600, 0, 1280, 1024}, {1600, 30, 1280, 994}, 1}};
    constexpr struct {
        std::string_view name;
        platform::Point mouse;
        Rect want;
    } kCases[] = {
        {"first screen", {10, 10}, {590, 976 - 14 - 60, 420, 60}},
        {"second screen", {2000, 500}, {2030, 1024 - 14 - 60, 420, 60}},
        {"off every screen: the primary", {5000, 5000}, {590, 976 - 14 - 60, 420, 60}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(statusPanelFrame(screens, c.mouse, 60), c.want);
    }
    EXPECT_EQ(statusPanelFrame({}, {0, 0}, 60), (Rect{-210, -74, 420, 60}));
}

class StatusPanelTest : public testing::Test {
protected:
    std::shared_ptr<FakeWindows::Record> box() const {
        const auto live = windows.live(FakeWindows::Kind::status);
        return live.empty() ? nullptr : live.back();
    }

    platform::VirtualScheduler main;
    platform::FakeDesktop desktop;
    FakeWindows windows;
    GuideStatus status{main};
    int dones = 0;
    int stops = 0;
    StatusPanel panel{status, windows, desktop, main, [this] { ++dones; }, [this] { ++stops; }};
};

TEST_F(StatusPanelTest, ExistsExactlyWhileTheModelIsVisible) {
    status.client().set("Claude");
    status.message().set("Hello");
    EXPECT_EQ(box(), nullptr) << "client and message alone show no box";

    status.start("Claude");
    ASSERT_NE(box(), nullptr);
    EXPECT_TRUE(box()->visible);
    EXPECT_EQ(box()->status.statusLine, "Claude is looking…");
    EXPECT_EQ(box()->frame, (Rect{590, 976 - 14 - 70, 420, 70}));

    const auto first = box();
    main.advance(32s);
    EXPECT_TRUE(first->destroyed);
    EXPECT_EQ(box(), nullptr);
}

TEST_F(StatusPanelTest, FollowsTheModelBetweenUpdates) {
    status.start("Claude");
    main.advance(12s);
    EXPECT_EQ(box()->status.statusLine, "Claude may have answered in its own window.");
    status.reportSteps(Steps{0, 2});
    EXPECT_EQ(box()->status.statusLine, "0 of 2 done");
    EXPECT_TRUE(box()->status.showsDone);
}

TEST_F(StatusPanelTest, StaysWhereItIsAndGrowsUpwards) {
    status.start("Claude");
    const auto made = box()->frame;
    desktop.moveMouse({10, 10});
    // The user dragged it.
    box()->frame = {100, 500, 420, made.height};
    status.message().set(std::string(60, 'x'));
    status.start("Claude");
    EXPECT_EQ(box()->frame, (Rect{100, 500, 420, made.height})) << "refitted on the next turn";
    main.runUntilIdle();
    const auto height = FakeWindows::kStatusHeight + 2 * FakeWindows::kMessageLineHeight;
    EXPECT_EQ(box()->frame, (Rect{100, 500 + made.height - height, 420, height}));
    EXPECT_EQ(box()->frame.bottom(), 500 + made.height);
    EXPECT_EQ(windows.live(FakeWindows::Kind::status).size(), 1u);
}

// The model changes some of what the box shows without an update (the hint after 12 s, a
// message set on its own): the box takes its new height all the same, or its lines overlap.
TEST_F(StatusPanelTest, ContentChangedBetweenUpdatesIsRefitted) {
    status.start("Claude");
    main.runUntilIdle();
    const auto made = box()->frame;
    status.message().set(std::string(60, 'x'));
    main.runUntilIdle();
    const auto height = FakeWindows::kStatusHeight + 2 * FakeWindows::kMessageLineHeight;
    EXPECT_EQ(box()->frame, (Rect{made.x, made.bottom() - height, 420, height}));
    status.message().set(std::nullopt);
    main.runUntilIdle();
    EXPECT_EQ(box()->frame, made) << "and shrinks back";
}

TEST_F(StatusPanelTest, AHiddenBoxComesBackUnderTheMouse) {
    desktop.setScreens({{{0, 0, 1600, 1000}, {0, 0, 1600, 976}, 1},
                        {{1600, 0, 1280, 1024}, {1600, 0, 1280, 1024}, 1}});
    status.finish("Bye");
    main.advance(6s);
    EXPECT_EQ(box(), nullptr);
    desktop.moveMouse({2000, 100});
    status.start("Claude");
    EXPECT_EQ(box()->frame.x, 1600 + 640 - 210);
}

TEST_F(StatusPanelTest, ARefitForAHiddenBoxDoesNothing) {
    status.start("Claude");
    status.reset();
    main.runUntilIdle();
    EXPECT_EQ(box(), nullptr);
}

TEST_F(StatusPanelTest, ButtonsRunTheirActions) {
    status.reportSteps(Steps{0, 1});
    FakeWindows::pressDone(*box());
    FakeWindows::pressStopSharing(*box());
    EXPECT_EQ(dones, 1);
    EXPECT_EQ(stops, 1);
}

}  // namespace
}  // namespace app
