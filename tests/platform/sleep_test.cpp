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

// A timer task of the program, started on a virtual main thread: it records how it ended
// (finished, cancelled or failed) and logs "work" when it gets past its sleep.
class SleepTest : public ::testing::Test {
protected:
    void start(Scheduler::Clock::duration delay) {
        spawn(timerTask(main, delay, stop.get_token(), log, "work"), [this](std::exception_ptr error) {
            ++calls;
            if (!error) return;
            try {
                std::rethrow_exception(error);
            } catch (const Cancelled&) {
                cancelled = true;
            } catch (...) {
                failed = true;
            }
        });
    }

    VirtualScheduler main;
    std::stop_source stop;
    std::vector<std::string> log;
    int calls = 0;
    bool cancelled = false;
    bool failed = false;
};

TEST_F(SleepTest, WakesAtItsTimeOnTheVirtualClock) {
    const auto begin = main.now();
    start(300s);
    main.advance(299s);
    EXPECT_TRUE(log.empty());
    main.advance(1s);
    EXPECT_EQ(log, std::vector<std::string>{"work"});
    EXPECT_EQ(main.now() - begin, 300s);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(cancelled || failed);
}

TEST_F(SleepTest, StopWakesTheSleeperWithCancelledAndSkipsTheWork) {
    start(12s);
    main.advance(5s);
    stop.request_stop();
    main.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(main.pendingTimers(), 0u);
    main.advance(1h);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(calls, 1);
}

TEST_F(SleepTest, AlreadyStoppedTokenCancelsWithoutWaiting) {
    stop.request_stop();
    start(12s);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST_F(SleepTest, StopAfterWakingChangesNothing) {
    start(1s);
    main.advance(1s);
    stop.request_stop();
    main.runUntilIdle();
    EXPECT_EQ(log, std::vector<std::string>{"work"});
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(cancelled);
}

TEST_F(SleepTest, StopFromAnotherThreadIsHandledOnTheMainThread) {
    start(60s);
    std::thread([&] { stop.request_stop(); }).join();
    EXPECT_EQ(calls, 0);
    main.runUntilIdle();
    EXPECT_TRUE(cancelled);
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
