#include "app/looking/window_share.hpp"

#include "tests/app/looking/window_share_fixture.hpp"

#include "platform/capture_error.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using Outcome = WindowShare::Pick::Outcome;

// ---- the pick ----

TEST_F(WindowShareTest, PickOffersSingleWindowsOfOtherProgramsAndDeactivatesThePickerAfter) {
    auto pick = run(share.pick());
    EXPECT_EQ(picker.configuration(),
              (platform::PickerConfiguration{.singleWindow = true, .excludedPIDs = {kOwnPID}, .maximumStreams = 1}));
    EXPECT_TRUE(picker.shown());
    EXPECT_EQ(picker.presents(), 1);

    picker.choose(content());
    EXPECT_FALSE(pick->done) << "the outcome reaches the pick on a later turn";
    main.runUntilIdle();
    ASSERT_TRUE(pick->done);
    EXPECT_EQ(pick->value->outcome, Outcome::window);
    EXPECT_EQ(pick->value->picked, content());
    EXPECT_FALSE(picker.active());
}

TEST_F(WindowShareTest, EveryOutcomeOfThePickerEndsThePick) {
    struct Case {
        std::string_view name;
        void (*act)(platform::FakePicker&);
        Outcome outcome;
    };
    const Case kCases[] = {
        {"cancelled", [](platform::FakePicker& p) { p.cancel(); }, Outcome::cancelled},
        {"failed", [](platform::FakePicker& p) { p.fail("no display"); }, Outcome::failed},
        {"chosen", [](platform::FakePicker& p) { p.choose(content()); }, Outcome::window},
        {"chosen on another thread",
         [](platform::FakePicker& p) { std::thread([&p] { p.choose(content()); }).join(); }, Outcome::window},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto pick = run(share.pick());
        c.act(picker);
        main.runUntilIdle();
        ASSERT_TRUE(pick->done);
        EXPECT_EQ(pick->value->outcome, c.outcome);
        EXPECT_EQ(pick->value->picked.has_value(), c.outcome == Outcome::window);
    }
}

TEST_F(WindowShareTest, ASecondPickEndsTheFirstAsCancelledAndWaitsAFullTimeLimitOfItsOwn) {
    auto first = run(share.pick());
    main.advance(100s);
    auto second = run(share.pick());
    main.runUntilIdle();
    ASSERT_TRUE(first->done);
    EXPECT_EQ(first->value->outcome, Outcome::cancelled);
    EXPECT_FALSE(second->done);
    EXPECT_TRUE(picker.active()) << "the cancelled pick leaves the picker to the one that waits";
    EXPECT_EQ(picker.presents(), 2);

    // The first pick's time limit would have ended at 180 s; it was retired with it.
    main.advance(WindowShare::kPickLimit - 1s);
    EXPECT_FALSE(second->done);
    main.advance(1s);
    ASSERT_TRUE(second->done);
    EXPECT_EQ(second->value->outcome, Outcome::timedOut);
}

TEST_F(WindowShareTest, APickTimesOutAfter180SecondsAndALateChoiceIsDropped) {
    auto pick = run(share.pick());
    main.advance(WindowShare::kPickLimit - 1ms);
    EXPECT_FALSE(pick->done);
    main.advance(1ms);
    ASSERT_TRUE(pick->done);
    EXPECT_EQ(pick->value->outcome, Outcome::timedOut);
    EXPECT_FALSE(picker.active());

    picker.choose(content());
    main.runUntilIdle();
    EXPECT_TRUE(capture.streams().empty());
    EXPECT_FALSE(share.sharing().get());

    // The dropped choice doesn't linger for the next pick either.
    auto next = run(share.pick());
    main.runUntilIdle();
    EXPECT_FALSE(next->done);
    picker.cancel();
    main.runUntilIdle();
    EXPECT_EQ(next->value->outcome, Outcome::cancelled);
}

// ---- starting a share ----

TEST_F(WindowShareTest, ShareStartsACaptureOfThePickedWindowAndRecordsItsGrant) {
    const auto before = main.now();
    startShare(platform::ShareGrant::once, "Claude");
    ASSERT_EQ(capture.streams().size(), 1u);
    EXPECT_EQ(stream().window(), kWindowID);
    EXPECT_TRUE(stream().started());
    EXPECT_EQ(stream().configuration(), platform::streamConfiguration(800, 500));
    EXPECT_EQ(share.sharing().get(),
              (WindowShare::Sharing{{kWindowID, 777, "Editor", "notes.txt"}, before + 30s, platform::ShareGrant::once, "Claude"}));
    EXPECT_EQ(share.given(), 0);
}

TEST_F(WindowShareTest, TheAppNameFallsBackToTheProcessNameThenTheTitle) {
    struct Case {
        std::string_view name;
        std::string appName, processName, title, want;
    };
    const Case kCases[] = {
        {"application's own name", "Editor", "editor", "notes.txt", "Editor"},
        {"process name", "", "editor", "notes.txt", "editor"},
        {"title", "", "", "notes.txt", "notes.txt"},
        {"nothing", "", "", "", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto picked = content();
        picked.includedWindows[0].appName = c.appName;
        picked.includedWindows[0].processName = c.processName;
        picked.includedWindows[0].title = c.title;
        auto outcome = run(share.share(picked, platform::ShareGrant::once, ""));
        main.runUntilIdle();
        ASSERT_TRUE(outcome->done);
        EXPECT_EQ(share.sharing().get()->window.app, c.want);
    }
}

TEST_F(WindowShareTest, TheStreamSizeIsRoundedToWholePixelsOfAtLeastTwo) {
    struct Case {
        std::string_view name;
        platform::Rect rect;
        double scale;
        double wantScale;
        PixelSize want;
    };
    const Case kCases[] = {
        {"plain", {0, 0, 800, 500}, 1, 1, {800, 500}},
        {"double density", {0, 0, 800, 500}, 2, 2, {1600, 1000}},
        {"0.4 points high at scale 2", {0, 0, 300, 0.4}, 2, 2, {600, 2}},
        {"100.25 points wide at scale 2", {0, 0, 100.25, 50}, 2, 2, {201, 100}},
        {"a scale below 1 counts as 1", {0, 0, 800, 500}, 0.5, 1, {800, 500}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto outcome = run(share.share(content(c.rect, c.scale), platform::ShareGrant::once, ""));
        main.runUntilIdle();
        ASSERT_FALSE(outcome->error) << outcome->errorText();
        EXPECT_EQ(share.pixelScale(), c.wantScale);
        EXPECT_EQ(share.streamSize(), c.want);
        EXPECT_EQ(stream().configuration(), platform::streamConfiguration(c.want.width, c.want.height));
    }
}

TEST_F(WindowShareTest, WithoutAContentRectTheWindowListGivesTheSize) {
    auto outcome = run(share.share(content({}), platform::ShareGrant::once, ""));
    main.runUntilIdle();
    ASSERT_FALSE(outcome->error) << outcome->errorText();
    EXPECT_EQ(share.windowSize(), (platform::Size{800, 500}));
}

TEST_F(WindowShareTest, ShareRefusesWhatItCantCapture) {
    struct Case {
        std::string_view name;
        platform::PickedContent picked;
        bool windowListed;
        platform::Size wantWindowSize;
    };
    auto noWindow = content();
    noWindow.includedWindows.clear();
    const std::string notOnScreen(WindowShare::kNotOnScreenText);
    const Case kCases[] = {
        {"no window", noWindow, true, {}},
        {"no size and not in the window list", content({}), false, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.windowListed) {
            windowList.put({.id = kWindowID, .bounds = kWindowBounds, .onScreen = true});
        } else {
            windowList.close(kWindowID);
        }
        auto outcome = run(share.share(c.picked, platform::ShareGrant::fiveMinutes, "Claude"));
        main.runUntilIdle();
        ASSERT_TRUE(outcome->done);
        EXPECT_EQ(outcome->errorText(), c.picked.includedWindows.empty()
                                            ? std::string(WindowShare::kSingleWindowsText)
                                            : notOnScreen);
        EXPECT_FALSE(share.sharing().get());
        EXPECT_TRUE(capture.streams().empty());
    }
    // A window the list gives no area.
    windowList.put({.id = kWindowID, .bounds = platform::Rect{10, 10, 300, 0}, .onScreen = true});
    auto flat = run(share.share(content({}), platform::ShareGrant::fiveMinutes, ""));
    main.runUntilIdle();
    EXPECT_EQ(flat->errorText(), notOnScreen);
    EXPECT_EQ(share.windowSize(), (platform::Size{300, 0}));
    EXPECT_TRUE(capture.streams().empty());
}

TEST_F(WindowShareTest, ACaptureThatCantBeMadeOrStartedLeavesNoShare) {
    capture.makeError = platform::CaptureError::extensionMissing;
    auto unmade = run(share.share(content(), platform::ShareGrant::fiveMinutes, ""));
    main.runUntilIdle();
    ASSERT_TRUE(unmade->error);
    EXPECT_THROW(std::rethrow_exception(unmade->error), std::system_error);
    EXPECT_FALSE(share.sharing().get());

    capture.makeError = {};
    capture.startsAtOnce = false;
    picker.setActive(true);
    auto unstarted = run(share.share(content(), platform::ShareGrant::fiveMinutes, ""));
    main.runUntilIdle();
    EXPECT_TRUE(share.sharing().get()) << "the record is there while the capture starts";
    stream().completeStart(platform::CaptureError::windowNotFound);
    main.runUntilIdle();
    ASSERT_TRUE(unstarted->done);
    try {
        std::rethrow_exception(unstarted->error);
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), platform::CaptureError::windowNotFound);
    }
    EXPECT_FALSE(share.sharing().get());
    EXPECT_EQ(stream().stops(), 1);
    EXPECT_FALSE(picker.active());
}

TEST_F(WindowShareTest, AShareStoppedWhileItsCaptureStartsReportsTheWindowAsNotOnScreen) {
    capture.startsAtOnce = false;
    auto outcome = run(share.share(content(), platform::ShareGrant::fiveMinutes, ""));
    main.runUntilIdle();
    share.stop();
    stream().completeStart();
    main.runUntilIdle();
    ASSERT_TRUE(outcome->done);
    EXPECT_EQ(outcome->errorText(), WindowShare::kNotOnScreenText);
    EXPECT_FALSE(share.sharing().get());
    main.advance(1h);
    EXPECT_EQ(main.pendingTimers(), 0u) << "no expiry is armed for it";
}

TEST_F(WindowShareTest, ANewShareEndsTheOldOneBeforeItsRecordIsSet) {
    std::vector<std::optional<WindowShare::Sharing>> seen;
    auto subscription = share.sharing().subscribe([&](const auto& sharing) { seen.push_back(sharing); });
    startShare(platform::ShareGrant::fiveMinutes, "Claude");
    startShare(platform::ShareGrant::once, "Cursor");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0]->client, "Claude");
    EXPECT_FALSE(seen[1]);
    EXPECT_EQ(seen[2]->client, "Cursor");
    EXPECT_EQ(capture.streams()[0]->stops(), 1);
    EXPECT_EQ(capture.streams()[1]->stops(), 0);
}

// ---- grants ----

TEST_F(WindowShareTest, AGrantEndsTheCaptureWhenItRunsOut) {
    for (const auto grant : {platform::ShareGrant::once, platform::ShareGrant::fiveMinutes}) {
        const bool fiveMinutes = grant == platform::ShareGrant::fiveMinutes;
        SCOPED_TRACE(fiveMinutes ? "Share for 5 Minutes" : "Share Once");
        const auto length = fiveMinutes ? platform::Scheduler::Clock::duration(WindowShare::kKeptGrant)
                                        : platform::Scheduler::Clock::duration(WindowShare::kSingleUseGrant);
        picker.setActive(true);
        startShare(grant);
        main.advance(length - 1ms);
        EXPECT_TRUE(share.sharing().get());
        EXPECT_EQ(stream().stops(), 0);
        main.advance(1ms);
        EXPECT_FALSE(share.sharing().get());
        EXPECT_EQ(stream().stops(), 1);
        EXPECT_FALSE(picker.active());
    }
}

TEST_F(WindowShareTest, AStandingShareBelongsToItsClientByExactNameWhileItsFiveMinutesLast) {
    startShare(platform::ShareGrant::once, "Claude");
    EXPECT_FALSE(share.hasStandingShare("Claude")) << "a single-use grant never stands";

    startShare(platform::ShareGrant::fiveMinutes, "Claude");
    struct Case {
        std::string_view name;
        std::string client;
        bool want;
    };
    const Case kCases[] = {
        {"the same client", "Claude", true},
        {"another client", "Cursor", false},
        {"other letter case", "claude", false},
        {"no name", "", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(share.hasStandingShare(c.client), c.want);
    }
    main.advance(WindowShare::kKeptGrant - 1s);
    EXPECT_TRUE(share.hasStandingShare("Claude"));
    main.advance(1s);
    EXPECT_FALSE(share.hasStandingShare("Claude"));
}

// ---- stopping ----

TEST_F(WindowShareTest, StopEndsTheShareForGoodAndClearsTheGuidance) {
    startShare(platform::ShareGrant::fiveMinutes);
    picker.setActive(true);
    ASSERT_TRUE(pointer.show({Pointer::Mark{"Here", std::nullopt, 1, [] { return platform::Point{300, 300}; }}}));
    status.message().set("Open the menu");
    status.start("Claude");
    main.advance(5s);

    share.stop();
    EXPECT_EQ(share.stoppedByUser(), main.now());
    EXPECT_FALSE(share.sharing().get());
    EXPECT_EQ(stream().stops(), 1);
    EXPECT_FALSE(picker.active());
    EXPECT_FALSE(share.pictured());
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_FALSE(status.message().get());
    EXPECT_FALSE(status.thinking().get());
}

TEST_F(WindowShareTest, AStreamThatEndsByItselfEndsTheShare) {
    struct Case {
        std::string_view name;
        platform::CaptureError reason;
        bool countsAsUserStop;
    };
    const Case kCases[] = {
        {"window destroyed", platform::CaptureError::windowGone, false},
        {"connection lost", platform::CaptureError::connectionFailed, false},
        {"ended by the user", platform::CaptureError::stoppedByUser, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        startShare(platform::ShareGrant::fiveMinutes);
        picker.setActive(true);
        const auto before = share.stoppedByUser();
        main.advance(1s);
        // Delegates are told on the stream's own thread.
        std::thread([this, reason = c.reason] { stream().endByItself(reason); }).join();
        EXPECT_TRUE(share.sharing().get()) << "nothing changes before the main thread hears of it";
        main.runUntilIdle();
        EXPECT_FALSE(share.sharing().get());
        EXPECT_FALSE(picker.active());
        EXPECT_EQ(share.stoppedByUser(), c.countsAsUserStop ? std::optional(main.now()) : before);
    }
}

TEST_F(WindowShareTest, AStopReportedByAReplacedStreamChangesNothing) {
    for (const auto reason : {platform::CaptureError::windowGone, platform::CaptureError::stoppedByUser}) {
        SCOPED_TRACE(make_error_code(reason).message());
        startShare(platform::ShareGrant::fiveMinutes, "Claude");
        auto& replaced = stream();
        startShare(platform::ShareGrant::fiveMinutes, "Cursor");
        picker.setActive(true);
        replaced.endByItself(reason);
        main.runUntilIdle();
        ASSERT_TRUE(share.sharing().get());
        EXPECT_EQ(share.sharing().get()->client, "Cursor");
        EXPECT_EQ(stream().stops(), 0);
        EXPECT_TRUE(picker.active());
        EXPECT_FALSE(share.stoppedByUser());
    }
}

}  // namespace
}  // namespace app::test
