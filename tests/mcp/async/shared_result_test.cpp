#include "mcp/async/shared_result.hpp"

#include "mcp/async/one_shot.hpp"
#include "tests/mcp/coroutine_runner.hpp"

#include <gtest/gtest.h>

#include <boost/asio/async_result.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using asio::awaitable;
using testing::runCoroutine;

void failOnError(std::exception_ptr error) {
    if (error) ADD_FAILURE() << "the waiter failed";
}

TEST(SharedResult, EveryWaiterBeforeAndAfterGetsTheValue) {
    asio::io_context io;
    auto result = SharedResult<std::string>::make();
    std::vector<std::string> seen;
    const auto waitFor = [&]() -> awaitable<void> { seen.push_back(co_await result->value()); };
    asio::co_spawn(io, waitFor(), failOnError);
    asio::co_spawn(io, waitFor(), failOnError);
    io.poll();
    EXPECT_TRUE(seen.empty());

    EXPECT_TRUE(result->succeed("done"));
    EXPECT_FALSE(result->succeed("again"));
    EXPECT_FALSE(result->fail(std::make_exception_ptr(std::runtime_error("late"))));
    asio::co_spawn(io, waitFor(), failOnError);
    io.run();
    EXPECT_EQ(seen, (std::vector<std::string>{"done", "done", "done"}));
}

TEST(SharedResult, EveryWaiterGetsTheError) {
    runCoroutine([]() -> awaitable<void> {
        auto result = SharedResult<int>::make();
        result->fail(std::make_exception_ptr(std::runtime_error("broken")));
        for (int i = 0; i < 2; ++i) {
            try {
                co_await result->value();
                ADD_FAILURE() << "no error";
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "broken");
            }
        }
    });
}

TEST(SharedResult, TheAwaitableOutlivesThePointerItCameFrom) {
    runCoroutine([]() -> awaitable<void> {
        auto result = SharedResult<int>::make();
        auto waiting = result->value();
        result->succeed(7);
        result.reset();
        EXPECT_EQ(co_await std::move(waiting), 7);
    });
}

TEST(OneShot, ResumesItsWaiterOnceWithTheOutcome) {
    runCoroutine([]() -> awaitable<void> {
        EXPECT_FALSE(OneShot<int>().isWaiting());
        std::optional<OneShot<int>> shot;
        const auto executor = co_await asio::this_coro::executor;
        auto initiation = [&shot, executor](auto handler) {
            shot.emplace(std::move(handler));
            EXPECT_TRUE(shot->isWaiting());
            asio::post(executor, [&shot] { shot->succeed(3); });
        };
        const int value = co_await asio::async_initiate<decltype(asio::use_awaitable), OneShot<int>::Signature>(
            initiation, asio::use_awaitable);
        EXPECT_EQ(value, 3);
        EXPECT_FALSE(shot->isWaiting());
    });
}

}  // namespace
}  // namespace mcp
