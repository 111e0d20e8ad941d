#include "platform/sleep.hpp"

#include "platform/fake/virtual_scheduler.hpp"
#include "platform/task.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <coroutine>
#include <exception>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

// A timer task as the program writes them: sleep, then act, unless cancelled meanwhile.
Task<void> timerTask(Scheduler& main, Scheduler::Clock::duration delay, std::stop_token stop,
                     std::vector<std::string>& log, std::string name) {
    co_await sleep(main, delay, stop);
    log.push_back(name);
}

struct Outcome {
    int calls = 0;
    bool cancelled = false;
    bool failed = false;
};

auto record(Outcome& outcome) {
    return [&outcome](std::exception_ptr error) {
        ++outcome.calls;
        if (!error) return;
        try {
            std::rethrow_exception(error);
        } catch (const Cancelled&) {
            outcome.cancelled = true;
        } catch (...) {
            outcome.failed = true;
        }
    };
}

TEST(Sleep, WakesAtItsTimeOnTheVirtualClock) {
    VirtualScheduler main;
    std::vector<std::string> log;
    Outcome outcome;
    const auto start = main.now();
    spawn(timerTask(main, 300s, {}, log, "timed out"), record(outcome));
    main.advance(299s);
    EXPECT_TRUE(log.empty());
    main.advance(1s);
    EXPECT_EQ(log, std::vector<std::string>{"timed out"});
    EXPECT_EQ(main.now() - start, 300s);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_FALSE(outcome.cancelled || outcome.failed);
}

TEST(Sleep, StopWakesTheSleeperWithCancelledAndSkipsTheWork) {
    VirtualScheduler main;
    std::vector<std::string> log;
    Outcome outcome;
    std::stop_source stop;
    spawn(timerTask(main, 12s, stop.get_token(), log, "hide"), record(outcome));
    main.advance(5s);
    stop.request_stop();
    main.runUntilIdle();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(main.pendingTimers(), 0u);
    main.advance(1h);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(outcome.calls, 1);
}

TEST(Sleep, AlreadyStoppedTokenCancelsWithoutWaiting) {
    VirtualScheduler main;
    std::vector<std::string> log;
    Outcome outcome;
    std::stop_source stop;
    stop.request_stop();
    spawn(timerTask(main, 12s, stop.get_token(), log, "hide"), record(outcome));
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST(Sleep, StopAfterWakingChangesNothing) {
    VirtualScheduler main;
    std::vector<std::string> log;
    Outcome outcome;
    std::stop_source stop;
    spawn(timerTask(main, 1s, stop.get_token(), log, "done"), record(outcome));
    main.advance(1s);
    stop.request_stop();
    main.runUntilIdle();
    EXPECT_EQ(log, std::vector<std::string>{"done"});
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_FALSE(outcome.cancelled);
}

TEST(Sleep, StopFromAnotherThreadIsHandledOnTheMainThread) {
    VirtualScheduler main;
    std::vector<std::string> log;
    Outcome outcome;
    std::stop_source stop;
    spawn(timerTask(main, 60s, stop.get_token(), log, "late"), record(outcome));
    std::thread([&] { stop.request_stop(); }).join();
    EXPECT_EQ(outcome.calls, 0);
    main.runUntilIdle();
    EXPECT_TRUE(outcome.cancelled);
}

// Holder: starts a task at once and owns the frame that awaits it, so a test can drop the
// task while it is suspended, as an owner that goes away does.
struct Holder {
    struct promise_type {
        Holder get_return_object() { return Holder{std::coroutine_handle<promise_type>::from_promise(*this)}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_always final_suspend() noexcept { return {}; }
        void return_void() {}
        void unhandled_exception() { std::terminate(); }
    };
    explicit Holder(std::coroutine_handle<promise_type> h) : handle(h) {}
    Holder(const Holder&) = delete;
    ~Holder() { handle.destroy(); }
    std::coroutine_handle<promise_type> handle;
};

Holder hold(Task<void> task) {
    co_await std::move(task);
}

// A task dropped while it sleeps must not be resumed by its timer later.
TEST(Sleep, DestroyingASleepingTaskCancelsItsTimer) {
    VirtualScheduler main;
    std::vector<std::string> log;
    {
        auto holder = hold(timerTask(main, 10s, {}, log, "never"));
        EXPECT_EQ(main.pendingTimers(), 1u);
    }
    EXPECT_EQ(main.pendingTimers(), 0u);
    main.advance(1min);
    EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace platform
