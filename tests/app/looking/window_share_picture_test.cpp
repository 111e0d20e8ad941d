#include "app/looking/window_share.hpp"

#include "tests/app/looking/window_share_fixture.hpp"

#include "platform/sleep.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <functional>
#include <iterator>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>

namespace app::test {
namespace {

using namespace std::chrono_literals;
using platform::FrameStatus;
using platform::solidImage;

constexpr std::uint32_t kBlue = 0xFF3366CC;
constexpr std::uint32_t kOrange = 0xFFCC6633;

class WindowSharePictureTest : public WindowShareTest {
protected:
    // shareOnScreen: shares the test window, now bounds in points, on a screen of scale.
    void shareOnScreen(platform::Rect bounds, double scale) {
        windowList.move(kWindowID, bounds);
        desktop.setScreens({platform::Screen{{0, 0, 4000, 3000}, {0, 0, 4000, 3000}, scale}});
        auto outcome = run(share.share(content(bounds, scale), platform::ShareGrant::fiveMinutes, "Claude"));
        main.runUntilIdle();
        ASSERT_FALSE(outcome->error) << outcome->errorText();
    }

    // elapse: moves the clock in steps of 100 ms, calling each before every step, until the
    // task is done (or 10 s passed); returns the time it took.
    template <class T>
    platform::Scheduler::Clock::duration elapse(const std::shared_ptr<Outcome<T>>& outcome,
                                                const std::function<void()>& each = [] {}) {
        const auto start = main.now();
        main.runUntilIdle();
        while (!outcome->done && main.now() - start < 10s) {
            each();
            main.advance(100ms);
        }
        return main.now() - start;
    }

    // keepDelivering: a stream that keeps reporting the window unchanged, as a running one does.
    std::function<void()> keepDelivering() {
        return [this] { stream().emit(FrameStatus::idle); };
    }
};

TEST_F(WindowSharePictureTest, ALargeFrameGivesAPictureOf1568PixelsAndItsRecord) {
    shareOnScreen({100, 80, 1568, 980}, 2);
    stream().emit(FrameStatus::started, solidImage(3136, 1960));
    auto first = run(share.picture());
    main.runUntilIdle();
    ASSERT_TRUE(first->done);
    ASSERT_FALSE(first->error) << first->errorText();
    EXPECT_EQ(first->value->width, 1568);
    EXPECT_EQ(first->value->height, 980);
    EXPECT_EQ(first->value->mimeType, "image/png");
    EXPECT_EQ(first->value->data, std::vector<std::uint8_t>(codec.pngBytes, 'P'));
    EXPECT_EQ(first->value->window, share.sharing().get()->window);
    EXPECT_TRUE(first->value->titleIsCurrent);
    EXPECT_TRUE(stream().updates().empty()) << "the window didn't change";
    ASSERT_TRUE(share.pictured());
    EXPECT_EQ(share.pictured()->at, main.now());
    EXPECT_EQ(share.pictured()->scale, 1) << "1568 picture pixels over 1568 points";
    EXPECT_EQ(share.pictured()->size, (PixelSize{1568, 980}));

    main.advance(2s);
    auto second = run(share.picture());
    elapse(second, keepDelivering());
    ASSERT_FALSE(second->error) << second->errorText();
    EXPECT_FALSE(second->value->titleIsCurrent);
    EXPECT_EQ(share.given(), 2);
}

TEST_F(WindowSharePictureTest, AResizeOfMoreThanOnePointSetsTheCaptureUpAnew) {
    struct Case {
        std::string_view name;
        platform::Rect now;
        double scale;
        bool reconfigures;
        PixelSize stream;
    };
    const Case kCases[] = {
        {"grown by exactly 1 point", {100, 80, 701, 451}, 1, false, {700, 450}},
        {"moved only", {300, 200, 700, 450}, 1, false, {700, 450}},
        {"grown by 1.5 points", {100, 80, 701.5, 450}, 1, true, {702, 450}},
        {"moved to a double-density screen", {100, 80, 700, 450}, 2, true, {1400, 900}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        shareOnScreen({100, 80, 700, 450}, 1);
        stream().emit(FrameStatus::started, solidImage(700, 450));
        windowList.move(kWindowID, c.now);
        desktop.setScreens({platform::Screen{{0, 0, 4000, 3000}, {0, 0, 4000, 3000}, c.scale}});

        auto picture = run(share.picture());
        main.runUntilIdle();
        EXPECT_EQ(stream().updates().size(), c.reconfigures ? 1u : 0u);
        EXPECT_EQ(share.streamSize(), c.stream);
        if (c.reconfigures) {
            EXPECT_EQ(stream().configuration(), platform::streamConfiguration(c.stream.width, c.stream.height));
            EXPECT_FALSE(picture->done) << "the frame of the old size is not used";
            stream().emit(FrameStatus::complete, solidImage(c.stream.width, c.stream.height));
        }
        elapse(picture);
        ASSERT_FALSE(picture->error) << picture->errorText();
        EXPECT_EQ(picture->value->width, c.stream.width);
        EXPECT_NEAR(share.pictured()->scale, c.stream.width / share.windowSize().width, 1e-9);
    }
}

TEST_F(WindowSharePictureTest, TheFrameSearchFollowsTheStreamsReports) {
    struct Case {
        std::string_view name;
        // deliver: what the stream reports before every check.
        std::function<void(platform::FakeCaptureStream&)> deliver;
        platform::Scheduler::Clock::duration wantTime;
        bool wantPicture;
    };
    const Case kCases[] = {
        {"a frame of the right size is taken at once",
         [](auto& s) { s.emit(FrameStatus::complete, solidImage(800, 500)); }, 0ms, true},
        {"two pixels off still counts as the right size",
         [](auto& s) { s.emit(FrameStatus::complete, solidImage(802, 498)); }, 0ms, true},
        {"three pixels narrower is refused until check 15",
         [](auto& s) { s.emit(FrameStatus::complete, solidImage(797, 500)); }, 1500ms, true},
        {"a blank window ends the search at check 5",
         [](auto& s) { s.emit(FrameStatus::blank); }, 500ms, false},
        {"a minimized window ends the search at check 5",
         [](auto& s) { s.emit(FrameStatus::suspended); }, 500ms, false},
        {"a stream that reports nothing ends it after 40 checks", [](auto&) {}, 4000ms, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        shareOnScreen(kWindowBounds, 1);
        c.deliver(stream());
        auto picture = run(share.picture());
        const auto took = elapse(picture, [&] { c.deliver(stream()); });
        ASSERT_TRUE(picture->done);
        EXPECT_EQ(took, c.wantTime);
        if (c.wantPicture) {
            EXPECT_FALSE(picture->error) << picture->errorText();
        } else {
            EXPECT_EQ(picture->errorText(), WindowShare::kNotOnScreenText);
        }
    }
}

TEST_F(WindowSharePictureTest, AStaleFrameIsNotTaken) {
    shareOnScreen(kWindowBounds, 1);
    stream().emit(FrameStatus::complete, solidImage(800, 500));
    main.advance(1500ms);
    auto picture = run(share.picture());
    elapse(picture);
    EXPECT_EQ(picture->errorText(), WindowShare::kNotOnScreenText);
}

TEST_F(WindowSharePictureTest, APictureWithoutAShareGivesTheAgentsTexts) {
    struct Case {
        std::string_view name;
        // before: how long the share ran before the picture.
        platform::Scheduler::Clock::duration before;
        std::function<void()> during;
    };
    const Case kCases[] = {
        {"the share stopped during the search", 0ms, [this] { share.stop(); }},
        {"the share was replaced during the search", 0ms, [this] { shareOnScreen(kWindowBounds, 1); }},
        {"the grant ran out during the search", WindowShare::kKeptGrant - 200ms, [] {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        shareOnScreen(kWindowBounds, 1);
        main.advance(c.before);
        auto picture = run(share.picture());
        main.advance(300ms);
        c.during();
        elapse(picture);
        EXPECT_EQ(picture->errorText(), WindowShare::kNoLongerSharedText);
    }
}

TEST_F(WindowSharePictureTest, APictureOfAGoneWindowEndsTheShare) {
    picker.setActive(true);
    shareOnScreen(kWindowBounds, 1);
    stream().emit(FrameStatus::complete, solidImage(800, 500));
    windowList.close(kWindowID);
    auto picture = run(share.picture());
    main.runUntilIdle();
    EXPECT_EQ(picture->errorText(), WindowShare::kNoWindowSharedText);
    EXPECT_FALSE(share.sharing().get());
    EXPECT_EQ(stream().stops(), 1);
    EXPECT_FALSE(picker.active());

    auto none = run(share.picture());
    main.runUntilIdle();
    EXPECT_EQ(none->errorText(), WindowShare::kNoWindowSharedText);
}

TEST_F(WindowSharePictureTest, AFailedPictureKeepsTheLastRecord) {
    shareOnScreen(kWindowBounds, 1);
    stream().emit(FrameStatus::complete, solidImage(800, 500));
    auto good = run(share.picture());
    main.runUntilIdle();
    ASSERT_FALSE(good->error) << good->errorText();
    const auto record = share.pictured();

    codec.pngFails = true;
    main.advance(1s);
    auto bad = run(share.picture());
    elapse(bad, keepDelivering());
    EXPECT_EQ(bad->errorText(), WindowShare::kPictureFailedText);
    EXPECT_EQ(share.pictured(), record);
    EXPECT_EQ(share.given(), 1);
}

TEST_F(WindowSharePictureTest, ACaptureThatCantBeSetUpAnewFailsThePictureButKeepsTheShare) {
    shareOnScreen(kWindowBounds, 1);
    stream().updateError = platform::CaptureError::captureFailed;
    windowList.move(kWindowID, {100, 80, 900, 600});
    auto picture = run(share.picture());
    main.runUntilIdle();
    ASSERT_TRUE(picture->done);
    try {
        std::rethrow_exception(picture->error);
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), platform::CaptureError::captureFailed);
    }
    EXPECT_TRUE(share.sharing().get());
    EXPECT_EQ(share.windowSize(), (platform::Size{900, 600})) << "the new sizes stay";
    EXPECT_EQ(share.streamSize(), (PixelSize{900, 600}));
}

TEST_F(WindowSharePictureTest, ACancelledSearchEndsWithTheCancellation) {
    shareOnScreen(kWindowBounds, 1);
    std::stop_source stop;
    auto picture = run(share.picture(stop.get_token()));
    main.advance(300ms);
    stop.request_stop();
    main.runUntilIdle();
    ASSERT_TRUE(picture->done);
    EXPECT_THROW(std::rethrow_exception(picture->error), platform::Cancelled);
}

TEST_F(WindowSharePictureTest, TheStillPictureWaitFollowsTheWindowsChanges) {
    struct Case {
        std::string_view name;
        bool captured;
        // changeUntil: the window changes at every step before this time.
        platform::Scheduler::Clock::duration changeUntil;
        platform::Scheduler::Clock::duration want;
    };
    const Case kCases[] = {
        {"a still window", true, 0ms, 1200ms},
        {"a window that changed for a while", true, 500ms, 1400ms},
        {"a window that keeps changing", true, 1h, 4000ms},
        {"nothing captured", false, 0ms, 100ms},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.captured) {
            shareOnScreen(kWindowBounds, 1);
            stream().emit(FrameStatus::started, solidImage(800, 500, kBlue));
        } else {
            share.endStream();
        }
        main.advance(1s);
        const auto start = main.now();
        bool orange = false;
        auto wait = run(share.waitForStillPicture());
        const auto took = elapse(wait, [&] {
            if (main.now() - start >= c.changeUntil) return;
            orange = !orange;
            stream().emit(FrameStatus::complete, solidImage(800, 500, orange ? kOrange : kBlue));
        });
        EXPECT_EQ(took, c.want);
    }
}

// Each capture operation of sharing a window and picturing it after a resize fails in turn
// (make, start, update, stop: n = 0, 1, 2…) until the sequence goes through. Every run ends
// with the failing step's error from the call that made it, and the tear-down's stop() leaves
// nothing behind.
TEST_F(WindowSharePictureTest, EachFailingCaptureOperationFailsItsCallAndLeavesNothing) {
    // failsIn: the call that reports the n-th operation's failure; the last (stop) fails quietly.
    constexpr std::string_view kFailsIn[] = {"share", "share", "picture", ""};
    constexpr int kOperations = std::size(kFailsIn);
    for (int n = 0;; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        const auto streamsBefore = capture.streams().size();
        *capture.failures = {.failAt = n, .error = platform::CaptureError::captureFailed};
        windowList.move(kWindowID, kWindowBounds);

        std::string failedIn;
        std::exception_ptr error;
        auto shared = run(share.share(content(), platform::ShareGrant::fiveMinutes, "Claude"));
        main.runUntilIdle();
        ASSERT_TRUE(shared->done);
        if (shared->error) {
            failedIn = "share";
            error = shared->error;
        } else {
            stream().emit(FrameStatus::started, solidImage(800, 500));
            windowList.move(kWindowID, {100, 80, 900, 600});
            auto picture = run(share.picture());
            main.runUntilIdle();
            if (!picture->done) stream().emit(FrameStatus::complete, solidImage(900, 600));
            elapse(picture);
            ASSERT_TRUE(picture->done);
            if (picture->error) {
                failedIn = "picture";
                error = picture->error;
            }
        }
        share.stop();
        main.runUntilIdle();

        const bool failing = capture.failures->operations > n;
        if (failing) {
            ASSERT_LT(n, kOperations) << "an operation the sequence shouldn't have";
            EXPECT_EQ(failedIn, kFailsIn[n]);
        } else {
            EXPECT_EQ(failedIn, "");
        }
        if (error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::system_error& e) {
                EXPECT_EQ(e.code(), platform::CaptureError::captureFailed);
            } catch (const std::exception& e) {
                ADD_FAILURE() << "unexpected error: " << e.what();
            }
        }
        EXPECT_FALSE(share.sharing().get());
        EXPECT_FALSE(picker.active());
        EXPECT_EQ(main.pendingTimers(), 0u);
        for (auto i = streamsBefore; i < capture.streams().size(); ++i) EXPECT_EQ(capture.streams()[i]->stops(), 1);
        if (!failing) break;
    }
}

}  // namespace
}  // namespace app::test
