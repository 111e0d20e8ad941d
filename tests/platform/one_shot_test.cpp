#include "platform/one_shot.hpp"

#include "platform/fake/virtual_scheduler.hpp"
#include "platform/task.hpp"

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <string>

namespace platform {
namespace {

Task<std::string> waitFor(OneShot<std::string> answer) {
    co_return co_await answer;
}

class OneShotTest : public ::testing::Test {
protected:
    void start(Task<std::string> task) {
        spawn(std::move(task), [this](std::exception_ptr, std::optional<std::string> value) {
            ++calls;
            result = std::move(value);
        });
    }

    VirtualScheduler main;
    OneShot<std::string> answer{main};
    std::optional<std::string> result;
    int calls = 0;
};

TEST_F(OneShotTest, AnAnswerGivenBeforeTheWaitIsTakenAtOnce) {
    EXPECT_TRUE(answer.resolve("yes"));
    start(waitFor(answer));
    EXPECT_EQ(result, "yes");
}

TEST_F(OneShotTest, TheWaiterResumesOnALaterTurnNotInsideResolve) {
    start(waitFor(answer));
    EXPECT_TRUE(answer.resolve("yes"));
    EXPECT_EQ(calls, 0) << "the callback that answered finishes first";
    main.runUntilIdle();
    EXPECT_EQ(result, "yes");
}

TEST_F(OneShotTest, OnlyTheFirstAnswerCounts) {
    start(waitFor(answer));
    EXPECT_TRUE(answer.resolve("first"));
    EXPECT_FALSE(answer.resolve("second"));
    main.runUntilIdle();
    EXPECT_FALSE(answer.resolve("third"));
    main.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result, "first");
}

// A flow dropped while it waits (its owner went away) must not be resumed, whether the answer
// comes after the drop or was already on its way.
TEST_F(OneShotTest, AWaiterDestroyedWhileWaitingIsNotResumed) {
    for (const bool answeredFirst : {false, true}) {
        SCOPED_TRACE(answeredFirst ? "answered before the drop" : "answered after the drop");
        OneShot<std::string> pending(main);
        std::optional<Task<std::string>> task(waitFor(pending));
        auto awaiter = std::move(*task).operator co_await();
        awaiter.await_suspend(std::noop_coroutine()).resume();
        if (answeredFirst) {
            EXPECT_TRUE(pending.resolve("early"));
        }
        task.reset();
        if (!answeredFirst) {
            EXPECT_TRUE(pending.resolve("late"));
        }
        main.runUntilIdle();
    }
}

}  // namespace
}  // namespace platform
