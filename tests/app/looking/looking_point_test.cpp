#include "app/looking/looking.hpp"

#include "tests/app/looking/point_fixture.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::FakeRequestPanels;
using platform::LookAnswer;
using Spot = Looking::Spot;

// A window that lies over the test window's top-left corner.
const platform::WindowEntry kCoveringWindow{
    .id = 0x3000001, .bounds = platform::Rect{50, 50, 300, 200}, .onScreen = true, .layer = 0, .ownerPID = 900};

class LookingPointTest : public PointTest {
protected:
    std::shared_ptr<Outcome<Pointed>> point(std::vector<Spot> spots, bool wait = false,
                                            std::optional<std::string> message = std::nullopt,
                                            const std::string& client = "Claude") {
        auto outcome = run(looking.point(std::move(spots), std::move(message), wait, client));
        main.runUntilIdle();
        return outcome;
    }
    // pointAndSettle: a point without waiting, run through its covered checks.
    std::shared_ptr<Outcome<Pointed>> pointAndSettle(std::vector<Spot> spots) {
        auto outcome = point(std::move(spots));
        for (int step = 0; !outcome->done && step < 20; ++step) main.advance(100ms);
        return outcome;
    }
};

TEST_F(LookingPointTest, WithoutAFreshPictureThereIsNothingToPointAt) {
    EXPECT_EQ(point({{10, 20}})->errorText(), kNoPictureText) << "before any look";

    takePicture(platform::ShareGrant::once);
    main.advance(599s);
    auto young = point({{10, 20}});
    EXPECT_FALSE(young->error) << "599 s old: " << young->errorText();
    main.advance(1s);
    EXPECT_EQ(point({{10, 20}})->errorText(), kNoPictureText) << "600 s old";

    takePicture(platform::ShareGrant::fiveMinutes);
    share.stop();
    EXPECT_EQ(point({{10, 20}})->errorText(), kNoPictureText) << "after the user stopped sharing";
}

TEST_F(LookingPointTest, SpotsAreCheckedAgainstThePictureSize) {
    takePicture(platform::ShareGrant::once);
    const struct {
        std::string_view name;
        std::vector<Spot> spots;
        std::string want;  // "" for accepted
    } kCases[] = {
        {"no spots", {}, std::string(kNoSpotsText)},
        {"the far corner is inside", {{800, 500}}, ""},
        {"one pixel right of it",
         {{801, 0}},
         "The spot 801, 0 is outside the picture, which is 800 \u00D7 500 pixels. x and y count from its top left "
         "corner."},
        {"fractions are cut toward zero",
         {{12.9, 500.5}},
         "The spot 12, 500 is outside the picture, which is 800 \u00D7 500 pixels. x and y count from its top left "
         "corner."},
        {"a small negative reads 0",
         {{-0.5, 3}},
         "The spot 0, 3 is outside the picture, which is 800 \u00D7 500 pixels. x and y count from its top left "
         "corner."},
        {"the first bad spot wins",
         {{1, 1}, {-7, 1}, {900, 1}},
         "The spot -7, 1 is outside the picture, which is 800 \u00D7 500 pixels. x and y count from its top left "
         "corner."},
        {"beyond 64 bits",
         {{1e20, 0}},
         "The spot 100000000000000000000, 0 is outside the picture, which is 800 \u00D7 500 pixels. x and y count "
         "from its top left corner."},
    };
    for (const auto& c : kCases) {
        auto outcome = pointAndSettle(c.spots);
        ASSERT_TRUE(outcome->done) << c.name;
        EXPECT_EQ(outcome->errorText(), c.want) << c.name;
    }
}

TEST_F(LookingPointTest, RingsAreNumberedOnlyForSeveralSpotsAndTheWindowComesToTheFront) {
    takePicture(platform::ShareGrant::once);
    auto one = pointAndSettle({{10, 20, "Export", std::nullopt}});
    ASSERT_FALSE(one->error) << one->errorText();
    EXPECT_EQ(activation.activated(), std::vector<platform::WindowID>{kWindowID});
    ASSERT_EQ(pointer.shown().size(), 1u);
    EXPECT_EQ(pointer.shown()[0]->mark.number, std::nullopt);
    EXPECT_EQ(pointer.shown()[0]->mark.label, "Export");
    EXPECT_EQ(pointer.shown()[0]->point, (platform::Point{110, 100})) << "the window's origin plus the pixel";
    EXPECT_FALSE(one->value->note);
    EXPECT_FALSE(one->value->done) << "the call didn't wait";

    auto three = point({{1, 1}, {2, 2, std::nullopt, "hello"}, {3, 3}}, false, "Fill in the form");
    ASSERT_FALSE(three->error) << three->errorText();
    ASSERT_EQ(pointer.shown().size(), 3u) << "the new rings replace the old";
    for (int index = 0; index < 3; ++index) EXPECT_EQ(pointer.shown()[index]->mark.number, index + 1);
    EXPECT_EQ(pointer.shown()[1]->mark.text, "hello");
    EXPECT_EQ(status.client().get(), "Claude");
    EXPECT_EQ(status.message().get(), "Fill in the form");
}

TEST_F(LookingPointTest, RingsFollowTheWindowOfTheirPictureAfterItMoves) {
    takePicture(platform::ShareGrant::once);
    ASSERT_FALSE(point({{10, 20}})->error);
    windowList.move(kWindowID, {300, 200, 800, 500});
    main.advance(200ms);
    ASSERT_EQ(pointer.shown().size(), 1u);
    EXPECT_EQ(pointer.shown()[0]->point, (platform::Point{310, 220}));
}

TEST_F(LookingPointTest, ACoveredFirstSpotGivesTheNoteNamingTheWindowAndTheRingsShowAnyway) {
    takePicture(platform::ShareGrant::once);
    windowList.setAbove(kWindowID, std::vector<platform::WindowEntry>{kCoveringWindow});
    auto outcome = point({{10, 20}, {500, 400}});
    EXPECT_FALSE(outcome->done) << "it looks again for a while";
    main.advance(1100ms);
    ASSERT_TRUE(outcome->done);
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_EQ(outcome->value->note,
              "Another window seems to lie over that spot, so the ring may be on the wrong window. If the user "
              "doesn't see it where you mean, ask them to click the window \"notes.txt\" to bring it to the "
              "front, then point again.");
    EXPECT_EQ(pointer.shown().size(), 2u);
}

TEST_F(LookingPointTest, TheCoveredNoteNamesAnUntitledWindowByItsApp) {
    const struct {
        std::string_view name;
        WindowShare::Window window;
        std::string_view named;
    } kCases[] = {
        {"titled", {kWindowID, 777, "Editor", "notes.txt"}, "\"notes.txt\""},
        {"untitled", {kWindowID, 777, "Editor", ""}, "\"Editor\""},
    };
    for (const auto& c : kCases) {
        EXPECT_NE(coveredNote(c.window).find(std::string("click the window ") + std::string(c.named) + " to bring"),
                  std::string::npos)
            << c.name;
    }
}

TEST_F(LookingPointTest, OnlyTheFirstSpotIsCheckedForCover) {
    takePicture(platform::ShareGrant::once);
    windowList.setAbove(kWindowID, std::vector<platform::WindowEntry>{kCoveringWindow});
    auto outcome = point({{600, 400}, {10, 20}});
    ASSERT_TRUE(outcome->done) << "clear at the first check";
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_FALSE(outcome->value->note);
}

TEST_F(LookingPointTest, AWindowUncoveredDuringTheChecksGivesNoNote) {
    takePicture(platform::ShareGrant::once);
    windowList.setAbove(kWindowID, std::vector<platform::WindowEntry>{kCoveringWindow});
    auto outcome = point({{10, 20}});
    main.advance(300ms);
    windowList.setAbove(kWindowID, std::vector<platform::WindowEntry>{});
    main.advance(100ms);
    ASSERT_TRUE(outcome->done);
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_FALSE(outcome->value->note);
}

TEST_F(LookingPointTest, AMinimizedWindowGivesUpAfterTwelveChecksAndLeavesNoRing) {
    takePicture(platform::ShareGrant::once);
    windowList.setOnScreen(kWindowID, false);
    const auto start = main.now();
    auto outcome = point({{10, 20}});
    for (int step = 0; !outcome->done && step < 30; ++step) main.advance(100ms);
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(main.now() - start, 1100ms) << "eleven sleeps between twelve checks";
    EXPECT_EQ(outcome->errorText(), kPointOffScreenText);
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_TRUE(activation.activated().empty()) << "a minimized window stays minimized";
}

TEST_F(LookingPointTest, AWindowThatLeavesTheScreenAfterTheLastCheckLeavesNoRing) {
    takePicture(platform::ShareGrant::once);
    // Covered at every check, then gone when the rings are placed.
    windowList.setAbove(kWindowID, std::vector<platform::WindowEntry>{kCoveringWindow});
    auto outcome = point({{10, 20}});
    main.advance(1000ms);
    windowList.setOnScreen(kWindowID, false);
    main.advance(100ms);
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->errorText(), kPointOffScreenText);
    EXPECT_TRUE(pointer.shown().empty());
}

// The window may leave the screen, or come back, between the last covered check and the placing
// of the rings, within one turn of the main thread: either way the call fails as off screen and
// no ring stays over the window.
TEST_F(LookingPointTest, AWindowGoneBetweenTheCheckAndTheRingsFailsTheCall) {
    takePicture(platform::ShareGrant::once);
    // The first check finds the window clear; the rings' own look finds it minimized.
    windowList.changeAfter(1, [](platform::FakeWindowSystem& windows) { windows.setOnScreen(kWindowID, false); });
    auto outcome = point({{10, 20}});
    ASSERT_TRUE(outcome->done) << "clear at the first check";
    EXPECT_EQ(outcome->errorText(), kPointOffScreenText);
    EXPECT_TRUE(pointer.shown().empty());
}

TEST_F(LookingPointTest, AWindowBackBetweenTheLastCheckAndTheRingsFailsTheCallAndClearsThem) {
    takePicture(platform::ShareGrant::once);
    windowList.setOnScreen(kWindowID, false);
    // Minimized at all twelve checks; back on screen when the rings are placed.
    windowList.changeAfter(kCoveredChecks, [](platform::FakeWindowSystem& windows) {
        windows.setOnScreen(kWindowID, true);
    });
    auto outcome = pointAndSettle({{10, 20}});
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->errorText(), kPointOffScreenText);
    EXPECT_TRUE(pointer.shown().empty()) << "a ring stayed over a window the agent is told isn't there";
}

TEST_F(LookingPointTest, WaitingWithAFiveMinuteShareGivesAFreshPicture) {
    takePicture(platform::ShareGrant::fiveMinutes);
    status.reset();
    auto outcome = point({{10, 20}, {400, 300, "Name", "Ada"}}, true);
    ASSERT_FALSE(outcome->done) << "it waits for the user";
    clickRing(0);
    ASSERT_EQ(pointer.shown().size(), 1u);
    pointer.endAllAsDone();
    deliver(outcome);
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_EQ(outcome->value->done, true);
    EXPECT_FALSE(outcome->value->stopped);
    ASSERT_TRUE(outcome->value->picture);
    EXPECT_FALSE(outcome->value->picture->titleIsCurrent);
    EXPECT_TRUE(status.thinking().get()) << "the box says the agent is at work again";
}

TEST_F(LookingPointTest, WaitingWithASingleUsePictureGivesNoPicture) {
    takePicture(platform::ShareGrant::once);
    auto outcome = point({{10, 20}}, true);
    clickRing(0);
    deliver(outcome);
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_EQ(outcome->value->done, true);
    EXPECT_FALSE(outcome->value->picture);
}

TEST_F(LookingPointTest, WaitingEndsUndoneAfterTwoMinutes) {
    takePicture(platform::ShareGrant::once);
    auto outcome = point({{10, 20}}, true);
    main.advance(119s);
    EXPECT_FALSE(outcome->done);
    main.advance(1s);
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_EQ(outcome->value->done, false);
    EXPECT_EQ(pointer.shown().size(), 1u) << "the ring stays";
}

// A wait that ends because the window was closed or minimized says so at once, and after one
// ring was done as well: the rings are gone, and the user hasn't merely not done it yet.
TEST_F(LookingPointTest, AWaitEndedByTheWindowLeavingTheScreenGivesTheOffScreenText) {
    for (const bool oneDoneFirst : {false, true}) {
        SCOPED_TRACE(oneDoneFirst ? "one ring done first" : "no ring done");
        takePicture(platform::ShareGrant::once);
        windowList.setOnScreen(kWindowID, true);
        status.reset();
        auto outcome = point({{10, 20}, {400, 300}}, true);
        ASSERT_FALSE(outcome->done) << "it waits for the user";
        if (oneDoneFirst) {
            clickRing(0);
            ASSERT_EQ(pointer.shown().size(), 1u);
        }
        windowList.setOnScreen(kWindowID, false);
        main.advance(100ms);
        main.runUntilIdle();
        ASSERT_TRUE(outcome->done) << "the next pass ends the wait";
        EXPECT_EQ(outcome->errorText(), kPointOffScreenText);
        EXPECT_TRUE(pointer.shown().empty());
        EXPECT_TRUE(status.thinking().get()) << "the box says the agent is at work again";
    }
}

TEST_F(LookingPointTest, StoppingTheShareWhileWaitingEndsStoppedWithoutRestartingTheBox) {
    takePicture(platform::ShareGrant::fiveMinutes);
    status.reset();
    auto outcome = point({{10, 20}}, true);
    main.advance(2s);
    share.stop();
    main.runUntilIdle();
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    EXPECT_TRUE(outcome->value->stopped);
    EXPECT_FALSE(outcome->value->picture);
    EXPECT_FALSE(status.thinking().get());
}

class TryItTest : public PointTest {};

TEST_F(TryItTest, NotNowGivesFalseAndLeavesNoPicture) {
    auto outcome = run(looking.tryIt());
    main.runUntilIdle();
    ASSERT_EQ(panels.shown().size(), 1u);
    EXPECT_EQ(panels.shown()[0]->content,
              (platform::RequestViewContent{std::string(kTryItTitle), std::string(kTryItReason), false}))
        << "a request without a client offers no five-minute share";
    FakeRequestPanels::answer(*panels.shown()[0], LookAnswer::declined());
    main.runUntilIdle();
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->value, false);
    EXPECT_FALSE(share.pictured());
}

TEST_F(TryItTest, AChosenWindowGetsOneRingInTheMiddleAndThePictureIsThrownAway) {
    auto outcome = run(looking.tryIt());
    main.runUntilIdle();
    FakeRequestPanels::answer(*panels.shown()[0], LookAnswer::choose(platform::ShareGrant::once));
    main.runUntilIdle();
    picker.choose(content());
    main.runUntilIdle();
    stream().emit(platform::FrameStatus::started, platform::solidImage(800, 500));
    deliver(outcome);
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->value, true) << outcome->errorText();
    ASSERT_EQ(pointer.shown().size(), 1u);
    EXPECT_EQ(pointer.shown()[0]->mark.label, std::string(kTryItLabel));
    EXPECT_EQ(pointer.shown()[0]->point, (platform::Point{500, 330})) << "the middle of the window";
    EXPECT_FALSE(share.pictured());
    EXPECT_FALSE(share.sharing().get()) << "the capture ended with the picture";

    auto later = run(looking.point({{10, 20}}, std::nullopt, false, "Claude"));
    main.runUntilIdle();
    EXPECT_EQ(later->errorText(), kNoPictureText);
}

}  // namespace
}  // namespace app::test
