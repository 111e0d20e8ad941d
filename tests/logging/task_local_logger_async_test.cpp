#include "logging/task_local_logger_async.hpp"

#include "tests/logging/recording_log_handler.hpp"

#include <gtest/gtest.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/use_future.hpp>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace logging {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using testing::makeJournal;
using testing::RecordingLogHandler;

Logger recorder(std::string label, Metadata metadata = {}) {
    RecordingLogHandler handler(makeJournal(), LogLevel::info);
    handler.setMetadata(std::move(metadata));
    return Logger(std::move(label), handler);
}

// A completion for coroutines spawned by the tests: what one throws fails the run.
void rethrow(std::exception_ptr error) {
    if (error) std::rethrow_exception(error);
}

asio::awaitable<void> pause(std::chrono::milliseconds length) {
    asio::steady_timer timer(co_await asio::this_coro::executor, length);
    co_await timer.async_wait(asio::use_awaitable);
}

// Runs `body` as a coroutine on a pool of threads, so that resumptions may land on any of them.
template <class Body>
void runOnPool(Body body) {
    asio::thread_pool pool(3);
    auto done = asio::co_spawn(pool, std::move(body), asio::use_future);
    ASSERT_EQ(done.wait_for(10s), std::future_status::ready) << "the coroutine never finished";
    done.get();
    pool.join();
}

TEST(TaskLocalLoggerAsync, TheBindingAndTheLoggerOutliveEverySuspension) {
    runOnPool([]() -> asio::awaitable<void> {
        const int answer = co_await withLogger(recorder("request"), [](const Logger& logger) -> asio::awaitable<int> {
            for (int round = 0; round < 5; ++round) {
                co_await pause(2ms);
                // The argument is still the bound logger, and so is the current one.
                EXPECT_EQ(logger.label(), "request") << "round " << round;
                EXPECT_EQ(Logger::current().label(), "request") << "round " << round;
            }
            co_return 42;
        });
        EXPECT_EQ(answer, 42);
        EXPECT_EQ(Logger::current().label(), "");
    });
}

TEST(TaskLocalLoggerAsync, CoroutinesInterleavedOnTheSameThreadSeeOnlyTheirOwn) {
    asio::io_context io;
    std::vector<std::string> seen;
    auto watch = [&](std::string label) -> asio::awaitable<void> {
        co_await withLogger(recorder(label), [&](const Logger&) -> asio::awaitable<void> {
            for (int round = 0; round < 3; ++round) {
                co_await pause(1ms);
                seen.push_back(label + ":" + std::string(Logger::current().label()));
            }
        });
    };
    asio::co_spawn(io, watch("a"), rethrow);
    asio::co_spawn(io, watch("b"), rethrow);
    asio::co_spawn(io, [&]() -> asio::awaitable<void> {
        co_await pause(1ms);
        seen.push_back("unbound:" + std::string(Logger::current().label()));
    }, rethrow);
    io.run_for(5s);
    ASSERT_EQ(seen.size(), 7u);
    for (const auto& entry : seen) {
        const auto colon = entry.find(':');
        const auto owner = entry.substr(0, colon);
        EXPECT_EQ(entry.substr(colon + 1), owner == "unbound" ? "" : owner) << entry;
    }
}

TEST(TaskLocalLoggerAsync, AdjustedCopiesAreMadeWhenCalledAndInheritedByChildren) {
    runOnPool([]() -> asio::awaitable<void> {
        // Made before the co_await: g++ 12 can't keep an initializer list alive across one.
        const Logger base = recorder("base", {{"k", "old"}, {"m", "kept"}});
        co_await withLogger(base, [](const Logger&) -> asio::awaitable<void> {
            const Metadata changes{{"k", "new"}};
            co_await withLoggerMergingMetadata(changes, [](const Logger& merged) -> asio::awaitable<void> {
                co_await pause(1ms);
                const Metadata expected{{"k", "new"}, {"m", "kept"}};
                EXPECT_EQ(merged.handler().metadata(), expected);
                // A coroutine started on the operation's executor inherits the binding.
                const bool childSawTheCopy = co_await asio::co_spawn(
                    co_await asio::this_coro::executor,
                    []() -> asio::awaitable<bool> {
                        co_await pause(1ms);
                        co_return Logger::current().metadataValue("k") == MetadataValue("new");
                    },
                    asio::use_awaitable);
                EXPECT_TRUE(childSawTheCopy);
            });
            EXPECT_EQ(Logger::current().metadataValue("k"), MetadataValue("old"));

            co_await withLogger(LoggerAdjustments{.logLevel = LogLevel::error}, [](const Logger&) -> asio::awaitable<void> {
                co_await pause(1ms);
                EXPECT_EQ(Logger::current().logLevel(), LogLevel::error);
            });
            EXPECT_EQ(Logger::current().logLevel(), LogLevel::info);
        });
    });
}

TEST(TaskLocalLoggerAsync, TheOperationsErrorPassesThroughAfterTheBindingEnds) {
    runOnPool([]() -> asio::awaitable<void> {
        try {
            co_await withLogger(recorder("failing"), [](const Logger&) -> asio::awaitable<void> {
                co_await pause(1ms);
                throw std::out_of_range("gone");
            });
            ADD_FAILURE() << "the operation's error was swallowed";
        } catch (const std::out_of_range& error) {
            EXPECT_STREQ(error.what(), "gone");
            EXPECT_EQ(Logger::current().label(), "");
        }
    });
}

}  // namespace
}  // namespace logging
