#include "app/bridge/parent_watchdog.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace app {
namespace {

using namespace std::chrono_literals;

TEST(ParentWatchdog, FiresOnceTheParentChanges) {
    std::atomic<pid_t> parent = 4242;
    std::promise<void> gone;
    std::atomic<int> calls = 0;
    ParentWatchdog watchdog(5ms, [&] { return parent.load(); }, [&] {
        if (++calls == 1) gone.set_value();
    });
    auto fired = gone.get_future();
    EXPECT_EQ(fired.wait_for(100ms), std::future_status::timeout) << "the parent is still there";

    // Not only pid 1: a subreaper adopts orphans too.
    parent = 777;
    EXPECT_EQ(fired.wait_for(5s), std::future_status::ready);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(calls, 1) << "once";
}

TEST(ParentWatchdog, StopsPromptlyWhenDestroyed) {
    const auto start = std::chrono::steady_clock::now();
    {
        ParentWatchdog watchdog(std::chrono::hours(1), [] { return pid_t{1}; }, [] { FAIL() << "fired"; });
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
}  // namespace app
