#include "platform/fake/virtual_scheduler.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(VirtualScheduler, PostedWorkRunsInOrderOnlyWhenDriven) {
    VirtualScheduler main;
    std::vector<std::string> log;
    main.post([&] {
        log.push_back("a");
        main.post([&] { log.push_back("c"); });
    });
    main.post([&] { log.push_back("b"); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(main.runUntilIdle(), 3u);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(VirtualScheduler, TimersRunAtTheirDueTimeInOrder) {
    VirtualScheduler main;
    const auto start = main.now();
    std::vector<std::pair<std::string, Scheduler::Clock::duration>> log;
    auto note = [&](std::string name) {
        return [&, name] { log.emplace_back(name, main.now() - start); };
    };
    main.after(20s, note("20s"));
    main.after(6s, note("6s first"));
    main.after(6s, note("6s second"));
    main.after(0s, note("now"));
    main.after(-5s, note("past"));
    main.advance(12s);
    // A timer made while timers run is due relative to the time of the one that made it.
    main.after(1s, note("13s"));
    main.advance(10s);
    const decltype(log) want{{"now", 0s},  {"past", 0s}, {"6s first", 6s},
                             {"6s second", 6s}, {"13s", 13s}, {"20s", 20s}};
    EXPECT_EQ(log, want);
    EXPECT_EQ(main.now() - start, 22s);
}

TEST(VirtualScheduler, CancelledTimersNeverRun) {
    VirtualScheduler main;
    int runs = 0;
    auto timer = main.after(1s, [&] { ++runs; });
    auto other = main.after(2s, [&] { ++runs; });
    EXPECT_EQ(main.pendingTimers(), 2u);
    timer->cancel();
    timer->cancel();
    EXPECT_EQ(main.pendingTimers(), 1u);
    main.advance(5s);
    EXPECT_EQ(runs, 1);
    other->cancel();  // after it ran: no effect
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST(VirtualScheduler, TimerCanCancelALaterOne) {
    VirtualScheduler main;
    int late = 0;
    std::shared_ptr<TimerHandle> later = main.after(2s, [&] { ++late; });
    main.after(1s, [&] { later->cancel(); });
    main.advance(3s);
    EXPECT_EQ(late, 0);
}

TEST(VirtualScheduler, WallClockMovesWithTheVirtualClock) {
    VirtualScheduler main;
    const auto wall = main.wallNow();
    main.advance(90s);
    EXPECT_EQ(main.wallNow() - wall, 90s);
}

TEST(VirtualScheduler, PostFromOtherThreadsReachesTheMainThread) {
    VirtualScheduler main;
    int received = 0;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) main.post([&] { ++received; });
    });
    while (received < 100) {
        ASSERT_TRUE(main.waitForPost(5s));
        main.runUntilIdle();
    }
    poster.join();
    EXPECT_EQ(received, 100);
}

TEST(VirtualScheduler, HandlesOutliveTheScheduler) {
    std::shared_ptr<TimerHandle> timer;
    {
        VirtualScheduler main;
        timer = main.after(1s, [] {});
    }
    timer->cancel();
}

}  // namespace
}  // namespace platform
