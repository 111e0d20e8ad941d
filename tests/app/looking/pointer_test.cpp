#include "app/looking/pointer.hpp"

#include "app/looking/overlay_geometry.hpp"
#include "platform/fake/fake_desktop.hpp"
#include "platform/fake/fake_windows.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace app {
namespace {

using namespace std::chrono_literals;
using platform::FakeWindows;
using platform::Point;
using Kind = FakeWindows::Kind;

// A spot whose point the test moves, or takes away (the window left the screen).
struct Spot {
    std::optional<Point> at;
};

class PointerTest : public testing::Test {
protected:
    Pointer::Mark mark(std::shared_ptr<Spot> spot, std::optional<std::string> text = std::nullopt,
                       std::optional<int> number = std::nullopt) {
        spots_.push_back(spot);
        return {"Click here", std::move(text), number, [spot] { return spot->at; }};
    }
    std::shared_ptr<Spot> spot(Point at) { return std::make_shared<Spot>(Spot{at}); }

    // wait: starts a handled() call; its answer lands in the returned slot.
    std::shared_ptr<std::optional<bool>> wait(platform::Scheduler::Clock::duration within = 120s) {
        auto answer = std::make_shared<std::optional<bool>>();
        platform::spawn(pointer.handled(within), [answer](std::exception_ptr error, std::optional<bool> value) {
            EXPECT_FALSE(error);
            *answer = value;
        });
        return answer;
    }

    std::vector<std::shared_ptr<FakeWindows::Record>> rings() const { return windows.visible(Kind::ring); }
    std::vector<std::shared_ptr<FakeWindows::Record>> labels() const { return windows.visible(Kind::label); }

    platform::VirtualScheduler main;
    platform::FakeDesktop desktop;
    FakeWindows windows;
    platform::FakeClipboard clipboard;
    GuideStatus status{main};
    Pointer pointer{main, desktop, desktop, windows, clipboard, status};

private:
    std::vector<std::shared_ptr<Spot>> spots_;
};

TEST_F(PointerTest, ShowPlacesARingAndALabelPerPlaceableMark) {
    auto lost = spot({0, 0});
    lost->at.reset();
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}), std::nullopt, 1), mark(lost, std::nullopt, 2),
                              mark(spot({500, 400}), "hello", 3)}));
    ASSERT_EQ(rings().size(), 2u);
    ASSERT_EQ(labels().size(), 2u);
    EXPECT_EQ(rings()[0]->frame, ringFrame({300, 200}));
    EXPECT_EQ(rings()[1]->frame, ringFrame({500, 400}));
    EXPECT_EQ(rings()[0]->diameter, 44);
    EXPECT_EQ(labels()[0]->frame, (platform::Rect{210, 230, 180, 34}));
    // The marks keep their numbers: the lost one's isn't given to the next.
    EXPECT_EQ(labels()[0]->label.number, 1);
    EXPECT_EQ(labels()[1]->label.number, 3);
    EXPECT_EQ(labels()[1]->label.text, "hello");
    EXPECT_EQ(pointer.shownCount(), 2);
    EXPECT_EQ(status.steps().get(), (Steps{0, 2}));
    EXPECT_EQ(desktop.monitors(), 1u);
}

TEST_F(PointerTest, ShowWithNothingToPlaceReturnsFalse) {
    auto lost = spot({0, 0});
    lost->at.reset();
    for (auto marks : {std::vector<Pointer::Mark>{}, std::vector<Pointer::Mark>{mark(lost)}}) {
        EXPECT_FALSE(pointer.show(std::move(marks)));
        EXPECT_EQ(status.steps().get(), std::nullopt);
        EXPECT_EQ(desktop.monitors(), 0u);
        EXPECT_EQ(main.pendingTimers(), 0u);
        const auto answer = wait();
        EXPECT_EQ(*answer, false) << "answers at once";
    }
}

TEST_F(PointerTest, AClickWithin60MarksTheRing) {
    constexpr struct {
        std::string_view name;
        Point click;
        bool ends;
    } kCases[] = {
        {"on the spot", {300, 200}, true},
        {"59 to the right", {359, 200}, true},
        {"60 below", {300, 260}, false},
        {"diagonal 42.4 × 42.4 (just under 60)", {342.4, 242.4}, true},
        {"diagonal 42.5 × 42.5 (just over 60)", {342.5, 242.5}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
        desktop.click(c.click);
        main.advance(1s);
        EXPECT_EQ(pointer.shown().empty(), c.ends);
    }
}

TEST_F(PointerTest, OneClickCanMarkTwoCloseRings) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200})), mark(spot({340, 200}))}));
    const auto answer = wait();
    desktop.click({320, 200});
    main.advance(500ms);
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_EQ(pointer.doneCount(), 2);
    main.runUntilIdle();
    EXPECT_EQ(*answer, true);
}

TEST_F(PointerTest, ARingWithoutTextEndsMoreThan035sAfterTheLastClick) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
    main.advance(50ms);
    desktop.click({300, 200});
    main.advance(200ms);
    desktop.click({300, 200});
    // The clicks are registered on the turn after the monitor reports them.
    main.runUntilIdle();
    const auto second = main.now();
    main.advance(350ms);
    EXPECT_EQ(pointer.shown().size(), 1u) << "not after the first click, nor at 0.35 s after the second";
    main.advance(100ms);
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_LE(main.now() - second, 450ms);
    EXPECT_EQ(pointer.doneCount(), 1);
}

TEST_F(PointerTest, ARingWithTextEndsOnceTheMouseHasMovedAway) {
    windows.labelSize = {400, 34};
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}), "report.pdf")}));
    ASSERT_EQ(labels()[0]->frame, (platform::Rect{100, 230, 400, 34}));
    desktop.click({300, 200});
    main.advance(1s);
    EXPECT_EQ(pointer.shown().size(), 1u) << "the mouse is still on the spot";

    // Grown by 16, the label covers x 84 to 516 and y 214 to 280.
    constexpr struct {
        std::string_view name;
        Point mouse;
        bool ends;
    } kSteps[] = {
        {"on the label", {300, 250}, false},
        {"exactly 160 away", {460, 200}, false},
        {"far away but within 16 of the label", {510, 279}, false},
        {"far away and off the label", {520, 279}, true},
    };
    for (const auto& step : kSteps) {
        SCOPED_TRACE(step.name);
        desktop.moveMouse(step.mouse);
        main.advance(100ms);
        EXPECT_EQ(pointer.shown().empty(), step.ends);
    }
    EXPECT_EQ(pointer.doneCount(), 1);
}

TEST_F(PointerTest, AnEmptyTextFollowsTheTextRule) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}), "")}));
    desktop.click({300, 200});
    main.advance(2s);
    EXPECT_EQ(pointer.shown().size(), 1u) << "a ring without text would have ended 0.35 s after the click";
    desktop.moveMouse({800, 800});
    main.advance(100ms);
    EXPECT_TRUE(pointer.shown().empty());
}

TEST_F(PointerTest, CopyPutsTheTextOnTheClipboardAndCountsAsAClick) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}), "Quarterly report 2024.pdf")}));
    desktop.moveMouse({900, 900});
    main.advance(1s);
    EXPECT_EQ(pointer.shown().size(), 1u) << "moving away without a click ends nothing";
    FakeWindows::pressCopy(*labels()[0]);
    EXPECT_EQ(clipboard.texts(), std::vector<std::string>{"Quarterly report 2024.pdf"});
    main.advance(100ms);
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_EQ(pointer.doneCount(), 1);
}

TEST_F(PointerTest, RingsEndUndoneAfter180s) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200})), mark(spot({600, 200}), "x")}));
    const auto answer = wait(10min);
    main.advance(180s);
    EXPECT_EQ(pointer.shown().size(), 2u);
    main.advance(100ms);
    EXPECT_TRUE(pointer.shown().empty());
    main.runUntilIdle();
    EXPECT_EQ(*answer, false);
    EXPECT_EQ(pointer.doneCount(), 0);
    EXPECT_EQ(status.steps().get(), std::nullopt);
    EXPECT_EQ(desktop.monitors(), 0u) << "nothing runs while no ring is shown";
    main.advance(Pointer::kFadeDuration);
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST_F(PointerTest, ALostSpotEndsItsRingUndoneAndTheOthersStay) {
    auto window = spot({300, 200});
    ASSERT_TRUE(pointer.show({mark(window), mark(spot({600, 200}))}));
    window->at.reset();
    main.advance(100ms);
    ASSERT_EQ(pointer.shown().size(), 1u);
    EXPECT_EQ(pointer.shown()[0]->point, (Point{600, 200}));
    EXPECT_EQ(status.steps().get(), (Steps{0, 2}));
}

TEST_F(PointerTest, RingsAndLabelsFollowTheirSpot) {
    auto moving = spot({300, 200});
    ASSERT_TRUE(pointer.show({mark(moving)}));
    const auto label = labels()[0];
    moving->at = Point{700, 650};
    main.advance(100ms);
    EXPECT_EQ(rings()[0]->frame, ringFrame({700, 650}));
    EXPECT_EQ(label->frame, (platform::Rect{610, 680, 180, 34}));
    // Near the bottom the label goes above the spot, keeping the size measured at first.
    moving->at = Point{700, 960};
    main.advance(100ms);
    EXPECT_EQ(label->frame, (platform::Rect{610, 896, 180, 34}));
}

TEST_F(PointerTest, EndedRingsFadeThenGo) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
    const auto ring = rings()[0];
    FakeWindows::pressDone(*labels()[0]);
    EXPECT_TRUE(ring->fading);
    EXPECT_TRUE(ring->visible);
    main.advance(250ms);
    EXPECT_FALSE(ring->visible);
    EXPECT_TRUE(ring->destroyed);
}

TEST_F(PointerTest, ANewShowWakesOldWaitersWithFalse) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
    const auto old = wait();
    ASSERT_TRUE(pointer.show({mark(spot({500, 500}))}));
    main.runUntilIdle();
    EXPECT_EQ(*old, false);
    EXPECT_EQ(pointer.shownCount(), 1);
    EXPECT_EQ(pointer.doneCount(), 0);
    EXPECT_EQ(rings().size(), 1u) << "the old ring went at once, without fading";
    EXPECT_EQ(status.steps().get(), (Steps{0, 1}));
}

TEST_F(PointerTest, AWaitThatTimesOutLeavesTheRings) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200})), mark(spot({600, 200}))}));
    const auto answer = wait(120s);
    desktop.click({300, 200});
    main.advance(1s);
    EXPECT_EQ(status.steps().get(), (Steps{1, 2}));
    main.advance(119s);
    EXPECT_EQ(*answer, false);
    EXPECT_EQ(rings().size(), 1u);
    EXPECT_EQ(labels().size(), 1u);
}

TEST_F(PointerTest, EveryWaiterWakesWhenTheLastRingEnds) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
    const auto first = wait(120s);
    const auto second = wait(5s);
    desktop.click({300, 200});
    main.advance(1s);
    EXPECT_EQ(*first, true);
    EXPECT_EQ(*second, true);
    EXPECT_EQ(main.pendingTimers(), 0u) << "each waiter cancels its time limit";
}

TEST_F(PointerTest, HandledAnswersAtOnceWhenNoRingIsLeft) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
    desktop.click({300, 200});
    main.advance(1s);
    EXPECT_EQ(*wait(), true);

    auto lost = spot({300, 200});
    ASSERT_TRUE(pointer.show({mark(lost)}));
    lost->at.reset();
    main.advance(100ms);
    EXPECT_EQ(*wait(), false);
}

TEST_F(PointerTest, LabelDoneOnTheLastRingEndsItAndClears) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200})), mark(spot({600, 200}), "x")}));
    const auto answer = wait();
    FakeWindows::pressDone(*labels()[1]);
    EXPECT_EQ(status.steps().get(), (Steps{1, 2}));
    FakeWindows::pressDone(*labels()[0]);
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_EQ(desktop.monitors(), 0u);
    EXPECT_EQ(status.steps().get(), std::nullopt);
    main.runUntilIdle();
    EXPECT_EQ(*answer, true);
}

TEST_F(PointerTest, StatusBoxDoneEndsEveryRingAsDone) {
    ASSERT_TRUE(pointer.show({mark(spot({100, 100})), mark(spot({400, 100})), mark(spot({700, 100}))}));
    const auto answer = wait();
    desktop.click({100, 100});
    main.advance(1s);
    ASSERT_EQ(status.steps().get(), (Steps{1, 3}));
    pointer.endAllAsDone();
    EXPECT_EQ(pointer.doneCount(), 3);
    EXPECT_EQ(status.steps().get(), std::nullopt);
    main.runUntilIdle();
    EXPECT_EQ(*answer, true);
}

TEST_F(PointerTest, ClearRemovesTheRingsAtOnceAndWakesWaitersWithFalse) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
    const auto answer = wait();
    pointer.clear();
    EXPECT_TRUE(rings().empty());
    EXPECT_TRUE(labels().empty());
    EXPECT_EQ(desktop.monitors(), 0u);
    main.runUntilIdle();
    EXPECT_EQ(*answer, false);
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST_F(PointerTest, ClearWithoutRingsOnlyReportsNoSteps) {
    int stepReports = 0;
    auto watching = status.steps().subscribe([&](const auto&) { ++stepReports; });
    pointer.clear();
    EXPECT_EQ(stepReports, 1);
    EXPECT_EQ(status.steps().get(), std::nullopt);
    EXPECT_TRUE(windows.records().empty());
}

TEST_F(PointerTest, WithoutAClickMonitorRingsStillEndByDoneAndTime) {
    desktop.setMonitorAvailable(false);
    ASSERT_TRUE(pointer.show({mark(spot({300, 200})), mark(spot({600, 200}))}));
    desktop.click({300, 200});
    main.advance(1s);
    EXPECT_EQ(pointer.shown().size(), 2u) << "the click went unseen";
    FakeWindows::pressDone(*labels()[0]);
    main.advance(180s);
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_EQ(pointer.doneCount(), 1);
}

// Held: a coroutine the test owns and can destroy while it is suspended.
struct Held {
    struct promise_type {
        Held get_return_object() { return Held(std::coroutine_handle<promise_type>::from_promise(*this)); }
        std::suspend_never initial_suspend() const noexcept { return {}; }
        std::suspend_always final_suspend() const noexcept { return {}; }
        void return_void() const noexcept {}
        void unhandled_exception() const noexcept { std::terminate(); }
    };
    explicit Held(std::coroutine_handle<promise_type> h) : handle(h) {}
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { handle.destroy(); }
    std::coroutine_handle<promise_type> handle;
};

Held waitHeld(Pointer& pointer, bool& resumed) {
    co_await pointer.handled(120s);
    resumed = true;
}

TEST_F(PointerTest, AWaiterWhoseTaskIsDroppedIsNotResumed) {
    ASSERT_TRUE(pointer.show({mark(spot({300, 200}))}));
    bool resumed = false;
    { const auto held = waitHeld(pointer, resumed); }
    pointer.clear();
    main.runUntilIdle();
    EXPECT_FALSE(resumed);
}

}  // namespace
}  // namespace app
