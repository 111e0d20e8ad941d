#include "app/looking/guide_status.hpp"

#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace app {
namespace {

using namespace std::chrono_literals;

// The box's visible state as the status view gives it precedence.
std::string state(const GuideStatus& status) {
    if (status.finished().get()) return "finished";
    if (status.steps().get()) return "steps";
    if (status.answeredElsewhere().get()) return "answered elsewhere";
    if (status.thinking().get()) return "looking";
    return "hidden";
}

class GuideStatusTest : public testing::Test {
protected:
    GuideStatusTest() {
        panel_ = status.attachPanel([this] { ++updates; });
    }

    platform::VirtualScheduler main;
    GuideStatus status{main};
    int updates = 0;

private:
    platform::Subscription panel_;
};

TEST_F(GuideStatusTest, StartLooksThenHintsAfter12sThenHidesAfter20sMore) {
    status.start("Claude");
    EXPECT_EQ(status.client().get(), "Claude");
    EXPECT_EQ(state(status), "looking");
    EXPECT_TRUE(status.visible());
    EXPECT_EQ(updates, 1);

    main.advance(12s - 1ms);
    EXPECT_EQ(state(status), "looking");
    main.advance(1ms);
    EXPECT_EQ(state(status), "answered elsewhere");
    EXPECT_TRUE(status.visible());
    // The hint changes the box's content only; it doesn't ask the panel to refit.
    EXPECT_EQ(updates, 1);

    main.advance(20s - 1ms);
    EXPECT_EQ(state(status), "answered elsewhere");
    main.advance(1ms);
    EXPECT_EQ(state(status), "hidden");
    EXPECT_FALSE(status.visible());
    EXPECT_EQ(updates, 2);
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST_F(GuideStatusTest, ResetWithin12sMeansTheHintNeverComes) {
    status.start("Claude");
    main.advance(5s);
    status.reset();
    EXPECT_EQ(state(status), "hidden");
    EXPECT_EQ(main.pendingTimers(), 0u);
    main.advance(1h);
    EXPECT_FALSE(status.answeredElsewhere().get());
    EXPECT_EQ(updates, 2);
}

TEST_F(GuideStatusTest, ASecondStartRestartsTheTimer) {
    status.start("Claude");
    main.advance(10s);
    status.start("Claude");
    main.advance(12s - 1ms);
    EXPECT_EQ(state(status), "looking") << "the first start's hint would have come 2 s after the second";
    main.advance(1ms);
    EXPECT_EQ(state(status), "answered elsewhere");
    main.advance(20s);
    EXPECT_EQ(state(status), "hidden");
}

TEST_F(GuideStatusTest, StepsKeepTheBoxThroughTheTimersReset) {
    status.start("Claude");
    status.reportSteps(Steps{0, 2});
    main.advance(32s);
    EXPECT_EQ(state(status), "steps");
    EXPECT_TRUE(status.visible());
    status.reportSteps(std::nullopt);
    EXPECT_FALSE(status.visible());
}

TEST_F(GuideStatusTest, FinishShowsTheClosingWordsFor6s) {
    status.message().set("Click Export.");
    status.start("Claude");
    status.finish("All set.");
    EXPECT_EQ(state(status), "finished");
    EXPECT_EQ(status.finished().get(), "All set.");
    EXPECT_EQ(status.message().get(), std::nullopt) << "finish clears the message line";
    EXPECT_FALSE(status.thinking().get());
    main.advance(6s - 1ms);
    EXPECT_EQ(state(status), "finished");
    main.advance(1ms);
    EXPECT_EQ(state(status), "hidden");
    // The start's 12 s hint was replaced by the finish.
    main.advance(1min);
    EXPECT_FALSE(status.answeredElsewhere().get());
}

TEST_F(GuideStatusTest, FinishWithEmptyWordsStillShowsTheBox) {
    status.finish("");
    EXPECT_TRUE(status.visible());
    main.advance(6s);
    EXPECT_FALSE(status.visible());
}

TEST_F(GuideStatusTest, FinishWithoutWordsHidesAtOnce) {
    status.start("Claude");
    status.finish(std::nullopt);
    EXPECT_FALSE(status.visible());
    const auto before = updates;
    main.advance(6s);
    EXPECT_FALSE(status.visible());
    EXPECT_EQ(updates, before + 1) << "the timer's reset still runs, changing nothing";
}

TEST_F(GuideStatusTest, ResetKeepsClientMessageAndSteps) {
    status.client().set("Codex");
    status.message().set("Open the File menu.");
    status.reportSteps(Steps{1, 3});
    status.start("Codex");
    status.reset();
    EXPECT_EQ(status.client().get(), "Codex");
    EXPECT_EQ(status.message().get(), "Open the File menu.");
    EXPECT_EQ(status.steps().get(), (Steps{1, 3}));
    EXPECT_FALSE(status.thinking().get());
    EXPECT_EQ(status.finished().get(), std::nullopt);
}

TEST_F(GuideStatusTest, EqualWritesNotifyExceptSteps) {
    int thinkingChanges = 0;
    int stepChanges = 0;
    auto a = status.thinking().subscribe([&](bool) { ++thinkingChanges; });
    auto b = status.steps().subscribe([&](const auto&) { ++stepChanges; });
    status.start("Claude");
    status.start("Claude");
    EXPECT_EQ(thinkingChanges, 1);
    status.reportSteps(Steps{1, 2});
    status.reportSteps(Steps{1, 2});
    EXPECT_EQ(stepChanges, 2);
}

TEST_F(GuideStatusTest, EveryOperationUpdatesThePanel) {
    status.start("Claude");
    status.reset();
    status.finish("Bye");
    status.reportSteps(std::nullopt);
    EXPECT_EQ(updates, 4);
}

TEST(GuideStatus, APanelThatDetachesIsNotCalledAnyMore) {
    platform::VirtualScheduler main;
    GuideStatus status(main);
    int first = 0;
    int second = 0;
    auto a = status.attachPanel([&] { ++first; });
    auto b = status.attachPanel([&] { ++second; });
    status.reset();
    // Ending the replaced panel's subscription leaves the new one attached.
    a.reset();
    status.reset();
    b.reset();
    status.reset();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 2);
}

}  // namespace
}  // namespace app
