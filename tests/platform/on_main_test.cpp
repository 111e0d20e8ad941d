#include "platform/on_main.hpp"

#include "platform/fake/virtual_scheduler.hpp"
#include "platform/sleep.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace platform {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;

// Fails the test when a coroutine ends with an exception it didn't handle.
void expectClean(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "coroutine threw: " << e.what();
    }
}

// Single-threaded: the io_context and the virtual main thread take turns on the test thread,
// as the program's host tests do.
class OnMainTurns : public ::testing::Test {
protected:
    void drive(Scheduler::Clock::duration virtualTime = {}) {
        for (int turn = 0; turn < 10; ++turn) {
            ioc.poll();
            main.runUntilIdle();
        }
        main.advance(virtualTime);
        for (int turn = 0; turn < 10; ++turn) {
            ioc.poll();
            main.runUntilIdle();
        }
    }

    asio::io_context ioc;
    VirtualScheduler main;
};

TEST_F(OnMainTurns, ValueArrivesAfterMainThreadWorkFinishes) {
    std::optional<std::string> got;
    asio::co_spawn(
        ioc,
        [&]() -> asio::awaitable<void> {
            // The task outlives the lambda call that made it: the captured text must survive.
            std::string prefix = "picked ";
            auto work = [&main = main, prefix]() -> Task<std::string> {
                co_await sleep(main, 60s);
                co_return prefix + "Editor";
            };
            got = co_await onMain<std::string>(main, work);
        },
        expectClean);
    drive();
    EXPECT_FALSE(got) << "resumed before the main thread's minute passed";
    drive(60s);
    EXPECT_EQ(got, "picked Editor");
}

TEST_F(OnMainTurns, ExceptionArrivesWithItsMessage) {
    std::optional<std::string> caught;
    asio::co_spawn(
        ioc,
        [&]() -> asio::awaitable<void> {
            auto work = []() -> Task<int> {
                throw std::runtime_error("There's no picture to point at. Call look first.");
                co_return 0;
            };
            try {
                co_await onMain<int>(main, work);
            } catch (const std::runtime_error& e) {
                caught = e.what();
            }
        },
        expectClean);
    drive();
    EXPECT_EQ(caught, "There's no picture to point at. Call look first.");
}

TEST_F(OnMainTurns, WorkFunctionThrowingBeforeItsTaskIsRethrown) {
    bool caught = false;
    asio::co_spawn(
        ioc,
        [&]() -> asio::awaitable<void> {
            auto work = []() -> Task<void> { throw std::logic_error("no task"); };
            try {
                co_await onMain<void>(main, work);
            } catch (const std::logic_error&) {
                caught = true;
            }
        },
        expectClean);
    drive();
    EXPECT_TRUE(caught);
}

TEST_F(OnMainTurns, VoidWorkCompletes) {
    int order = 0, workAt = 0, resumedAt = 0;
    asio::co_spawn(
        ioc,
        [&]() -> asio::awaitable<void> {
            auto work = [&]() -> Task<void> {
                workAt = ++order;
                co_return;
            };
            co_await onMain<void>(main, work);
            resumedAt = ++order;
        },
        expectClean);
    drive();
    EXPECT_EQ(workAt, 1);
    EXPECT_EQ(resumedAt, 2);
}

// Two Asio threads, the test thread as the main thread: every one of 1,000 concurrent calls
// runs its work on the main thread and resumes exactly once, on its own strand, with its own
// value or its own exception.
TEST(OnMain, ThousandConcurrentCallsEachResumeOnceWithTheirOutcome) {
    constexpr int kCalls = 1000;
    VirtualScheduler main;
    asio::thread_pool pool(2);
    const auto mainThread = std::this_thread::get_id();

    std::array<std::atomic<int>, kCalls> resumes{};
    std::array<std::atomic<bool>, kCalls> right{};
    std::atomic<int> finished = 0;
    std::atomic<int> workOffMain = 0;

    for (int i = 0; i < kCalls; ++i) {
        auto strand = asio::make_strand(pool);
        asio::co_spawn(
            strand,
            [&, i, strand]() -> asio::awaitable<void> {
                bool ok = false;
                auto work = [&, i]() -> Task<int> {
                    if (std::this_thread::get_id() != mainThread) ++workOffMain;
                    if (i % 2) throw std::runtime_error("call " + std::to_string(i));
                    co_return i * 2;
                };
                try {
                    const int got = co_await onMain<int>(main, work);
                    ok = got == i * 2;
                } catch (const std::runtime_error& e) {
                    ok = (i % 2) && e.what() == "call " + std::to_string(i);
                }
                ++resumes[i];
                right[i] = ok && strand.running_in_this_thread();
                ++finished;
            },
            expectClean);
    }

    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (finished < kCalls && std::chrono::steady_clock::now() < deadline) {
        main.waitForPost(10ms);
        main.runUntilIdle();
    }
    if (finished < kCalls) pool.stop();
    pool.join();

    ASSERT_EQ(finished, kCalls);
    EXPECT_EQ(workOffMain, 0);
    for (int i = 0; i < kCalls; ++i) {
        EXPECT_EQ(resumes[i], 1) << "call " << i;
        EXPECT_TRUE(right[i]) << "call " << i;
    }
}

}  // namespace
}  // namespace platform
