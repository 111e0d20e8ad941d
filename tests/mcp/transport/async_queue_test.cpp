#include "mcp/transport/async_queue.hpp"

#include "tests/mcp/coroutine_runner.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <gtest/gtest.h>

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/bind_executor.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>

#include <chrono>
#include <future>
#include <thread>

namespace mcp {
namespace {

using boost::asio::awaitable;
using namespace std::chrono_literals;
using testing::runCoroutine;

TEST(AsyncQueue, DeliversEverythingPushedBeforeTheEnd) {
    runCoroutine([]() -> awaitable<void> {
        auto queue = AsyncQueue<std::string>::make();
        EXPECT_TRUE(queue->push("a"));
        EXPECT_TRUE(queue->push("b"));
        queue->finish();
        queue->finish(std::make_exception_ptr(MCPError::connectionClosed()));
        EXPECT_FALSE(queue->push("after the end"));
        EXPECT_EQ(co_await queue->next(), "a");
        EXPECT_EQ(co_await queue->next(), "b");
        EXPECT_EQ(co_await queue->next(), std::nullopt);
        EXPECT_EQ(co_await queue->next(), std::nullopt);
    });
}

TEST(AsyncQueue, DeliversTheErrorAfterTheItems) {
    runCoroutine([]() -> awaitable<void> {
        auto queue = AsyncQueue<int>::make();
        queue->push(1);
        queue->finish(std::make_exception_ptr(MCPError::connectionClosed()));
        EXPECT_EQ(co_await queue->next(), 1);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                co_await queue->next();
                ADD_FAILURE() << "no error";
            } catch (const MCPError& error) {
                EXPECT_EQ(error, MCPError::connectionClosed());
            }
        }
    });
}

TEST(AsyncQueue, AWaitingReceiverGetsLaterItems) {
    runCoroutine([]() -> awaitable<void> {
        auto queue = AsyncQueue<int>::make();
        auto executor = co_await boost::asio::this_coro::executor;
        boost::asio::post(executor, [queue] {
            queue->push(7);
            queue->finish();
        });
        EXPECT_EQ(co_await queue->next(), 7);
        EXPECT_EQ(co_await queue->next(), std::nullopt);
    });
}

TEST(AsyncQueue, CancelledReceiveReturnsAtOnceAndLosesNothing) {
    boost::asio::io_context io;
    auto queue = AsyncQueue<int>::make();
    boost::asio::cancellation_signal signal;
    std::optional<std::exception_ptr> outcome;
    queue->receive(boost::asio::bind_cancellation_slot(
        signal.slot(), boost::asio::bind_executor(io, [&](std::exception_ptr error, std::optional<int>) { outcome = error; })));
    io.poll();
    EXPECT_FALSE(outcome.has_value());

    signal.emit(boost::asio::cancellation_type::terminal);
    io.restart();
    io.poll();
    ASSERT_TRUE(outcome.has_value());
    try {
        std::rethrow_exception(*outcome);
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), boost::asio::error::operation_aborted);
    }

    queue->push(3);
    std::optional<int> received;
    queue->receive(boost::asio::bind_executor(io, [&](std::exception_ptr, std::optional<int> item) { received = item; }));
    io.restart();
    io.poll();
    EXPECT_EQ(received, 3);
}

TEST(AsyncQueue, RefusesASecondWaitingReceiver) {
    boost::asio::io_context io;
    auto queue = AsyncQueue<int>::make();
    std::optional<int> first;
    std::exception_ptr secondError;
    queue->receive(boost::asio::bind_executor(io, [&](std::exception_ptr, std::optional<int> item) { first = item; }));
    queue->receive(boost::asio::bind_executor(io, [&](std::exception_ptr error, std::optional<int>) { secondError = error; }));
    io.poll();
    EXPECT_THROW(std::rethrow_exception(secondError), std::logic_error);
    queue->push(1);
    io.restart();
    io.poll();
    EXPECT_EQ(first, 1);
}

TEST(AsyncQueue, KeepsTheOrderOfAnotherThreadsPushes) {
    runCoroutine([]() -> awaitable<void> {
        auto queue = AsyncQueue<int>::make();
        constexpr int kCount = 10000;
        std::thread producer([queue] {
            for (int i = 0; i < kCount; ++i) queue->push(i);
            queue->finish();
        });
        int expected = 0;
        while (auto item = co_await queue->next()) {
            EXPECT_EQ(*item, expected);
            ++expected;
        }
        producer.join();
        EXPECT_EQ(expected, kCount);
    });
}

// A receiver's cancellation emitted on its strand while another thread pushes: whichever wins,
// the receiver completes exactly once, and every item reaches it in the end. The thread
// sanitizer run checks that the receiver's cancellation slot is touched on its strand only.
TEST(AsyncQueue, CancellationRacingAPushFromAnotherThreadLosesNothing) {
    boost::asio::io_context io;
    auto strand = boost::asio::make_strand(io);
    auto work = boost::asio::make_work_guard(io);
    std::thread runner([&] { io.run(); });
    auto queue = AsyncQueue<int>::make();
    constexpr int kRounds = 2000;
    int received = 0;
    int cancelled = 0;
    for (int round = 0; round < kRounds; ++round) {
        boost::asio::cancellation_signal signal;
        std::promise<void> completed;
        std::promise<void> emitted;
        boost::asio::dispatch(strand, [&] {
            queue->receive(boost::asio::bind_cancellation_slot(
                signal.slot(), boost::asio::bind_executor(strand, [&](std::exception_ptr error, std::optional<int> item) {
                    if (item) ++received;
                    if (error) ++cancelled;
                    completed.set_value();
                })));
            boost::asio::post(strand, [&] {
                signal.emit(boost::asio::cancellation_type::terminal);
                emitted.set_value();
            });
        });
        std::thread producer([&, round] { queue->push(round); });
        producer.join();
        ASSERT_EQ(completed.get_future().wait_for(10s), std::future_status::ready) << "round " << round;
        ASSERT_EQ(emitted.get_future().wait_for(10s), std::future_status::ready) << "round " << round;
    }
    queue->finish();
    for (bool ended = false; !ended;) {
        std::promise<bool> next;
        boost::asio::dispatch(strand, [&] {
            queue->receive(boost::asio::bind_executor(strand, [&](std::exception_ptr, std::optional<int> item) {
                if (item) ++received;
                next.set_value(!item);
            }));
        });
        ended = next.get_future().get();
    }
    work.reset();
    runner.join();
    EXPECT_EQ(received, kRounds) << cancelled << " receives were cancelled";
}

// A producer that waits for room before each push holds the queue to its capacity; each item
// taken lets one more in, and finishing the queue lets every waiting producer go.
TEST(AsyncQueue, WaitForRoomHoldsProducersToTheCapacity) {
    boost::asio::io_context io;
    auto queue = AsyncQueue<int>::make(2);
    int pushed = 0;
    const auto produce = [&]() -> awaitable<void> {
        for (int i = 0; i < 5; ++i) {
            co_await queue->waitForRoom();
            queue->push(i);
            ++pushed;
        }
    };
    bool produced = false;
    boost::asio::co_spawn(io, produce(), [&](std::exception_ptr error) {
        EXPECT_FALSE(error);
        produced = true;
    });
    // The spawned producer keeps the context busy while it waits: run only what is ready.
    const auto runAll = [&] {
        io.restart();
        io.poll();
    };
    runAll();
    EXPECT_EQ(pushed, 2);
    EXPECT_EQ(queue->size(), 2U);

    std::optional<int> taken;
    boost::asio::co_spawn(io, queue->next(), [&](std::exception_ptr, std::optional<int> item) { taken = item; });
    runAll();
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(pushed, 3);
    EXPECT_EQ(queue->size(), 2U);

    queue->finish();
    runAll();
    EXPECT_TRUE(produced);
    EXPECT_EQ(pushed, 5);
}

}  // namespace
}  // namespace mcp
