#include "app/looking/request_panel.hpp"

#include "platform/fake/fake_request_panels.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <string_view>

namespace app {
namespace {

using namespace std::chrono_literals;
using platform::FakeRequestPanels;
using platform::LookAnswer;
using platform::Point;
using platform::Rect;
using platform::Size;

const platform::RequestViewContent kContent{"Claude wants to see a window", "To check the export settings.", true};

class RequestPanelTest : public ::testing::Test {
protected:
    void present(LookAnswer fallback = LookAnswer::declined()) {
        platform::spawn(panel.present(fallback, kContent),
                        [this](std::exception_ptr, std::optional<LookAnswer> answer) {
                            ++answers;
                            result = answer;
                        });
        main.runUntilIdle();
    }
    FakeRequestPanels::Record& shown() { return *panels.records().back(); }
    // A request still open at the end is closed, so that its waiting task ends.
    void TearDown() override {
        for (const auto& record : panels.records()) FakeRequestPanels::pressClose(*record);
        main.runUntilIdle();
    }

    platform::VirtualScheduler main;
    FakeRequestPanels panels;
    RequestPanel panel{panels, main};
    std::optional<LookAnswer> result;
    int answers = 0;
};

TEST_F(RequestPanelTest, ShowsTheContentInFrontAndFocused) {
    present();
    ASSERT_EQ(panels.records().size(), 1u);
    EXPECT_EQ(shown().content, kContent);
    EXPECT_TRUE(shown().visible);
    EXPECT_TRUE(shown().focused);
    EXPECT_EQ(answers, 0);
}

TEST_F(RequestPanelTest, TheUsersAnswerEndsTheRequestOnce) {
    present();
    FakeRequestPanels::answer(shown(), LookAnswer::choose(platform::ShareGrant::fiveMinutes));
    // A quick second click finds the panel gone.
    FakeRequestPanels::answer(shown(), LookAnswer::declined());
    main.runUntilIdle();
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(result, LookAnswer::choose(platform::ShareGrant::fiveMinutes));
    EXPECT_TRUE(shown().destroyed);
    main.advance(RequestPanel::kTimeout);
    EXPECT_EQ(answers, 1);
    EXPECT_FALSE(panel.requestTimedOut()) << "the time-out after an answer does nothing";
}

TEST_F(RequestPanelTest, TheCloseButtonGivesTheFallbackWithoutTheTimeOutFlag) {
    present(LookAnswer::declined());
    FakeRequestPanels::pressClose(shown());
    main.runUntilIdle();
    EXPECT_EQ(result, LookAnswer::declined());
    EXPECT_FALSE(panel.requestTimedOut());
    EXPECT_TRUE(shown().destroyed);
    main.advance(RequestPanel::kTimeout);
    EXPECT_EQ(answers, 1);
}

TEST_F(RequestPanelTest, NoAnswerInFiveMinutesGivesTheFallbackAndSetsTheFlag) {
    present(LookAnswer::declined());
    main.advance(RequestPanel::kTimeout - 1ms);
    EXPECT_EQ(answers, 0);
    EXPECT_TRUE(shown().visible);
    main.advance(1ms);
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(result, LookAnswer::declined());
    EXPECT_TRUE(panel.requestTimedOut());
    EXPECT_TRUE(shown().destroyed);
    // The flag stays until the caller clears it.
    panel.clearRequestTimedOut();
    EXPECT_FALSE(panel.requestTimedOut());
}

TEST_F(RequestPanelTest, ACallerThatGoesAwayTakesItsPanelWithIt) {
    {
        auto waiting = [](RequestPanel& p) -> platform::Task<void> {
            co_await p.present(LookAnswer::declined(), kContent);
        }(panel);
        auto awaiter = std::move(waiting).operator co_await();
        awaiter.await_suspend(std::noop_coroutine()).resume();
        main.runUntilIdle();
        EXPECT_TRUE(shown().visible);
    }
    EXPECT_TRUE(shown().destroyed);
    main.advance(RequestPanel::kTimeout);
    EXPECT_FALSE(panel.requestTimedOut());
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST_F(RequestPanelTest, ThePanelTakesItsContentsSizeAndSitsInTheMiddleOfTheVisibleFrame) {
    panels.fittingSize = {380, 300};
    panels.visibleFrame = Rect{0, 24, 1600, 976};
    present();
    EXPECT_EQ(shown().frame, (Rect{610, 362, 380, 300}));
}

TEST_F(RequestPanelTest, AnEmptyFittingSizeOrNoScreenLeavesThePanelAsItIs) {
    panels.fittingSize = {380, 0};
    panels.visibleFrame = std::nullopt;
    present();
    EXPECT_EQ(shown().frame, (Rect{0, 0, 0, 0}));
    EXPECT_EQ(shown().resizes, 0);
}

TEST(RequestPanelOrigin, CentresThenKeepsThePanelInsideTheVisibleFrame) {
    constexpr struct {
        std::string_view name;
        Size panel;
        Rect visible;
        Point want;
    } kCases[] = {
        {"fits", {380, 300}, {0, 0, 1600, 1000}, {610, 350}},
        {"second screen", {380, 300}, {1600, 30, 1024, 738}, {1922, 249}},
        {"taller: top edge on the frame's top", {380, 1200}, {0, 24, 1600, 976}, {610, 24}},
        {"wider: left edge on the frame's left", {2000, 300}, {100, 0, 1600, 1000}, {100, 350}},
        {"odd sizes", {381, 301}, {0, 0, 1600, 1000}, {609.5, 349.5}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(requestPanelOrigin(c.panel, c.visible), c.want);
    }
}

}  // namespace
}  // namespace app
