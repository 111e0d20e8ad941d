#pragma once

// IOTestFixture: a test fixture that drives coroutines step by step from plain test code, so
// that a test can start an operation, act while it waits, and then look at its outcome.
//
//     auto reply = start(transport->handleRequest(request));   // runs nothing yet
//     auto message = await(incoming->next());                   // runs io until it arrives
//     await(transport->send(answer));
//     runUntil([&] { return reply->done; });
//
// Every wait has a deadline; a wait that can no longer end (no work left) or passes its
// deadline throws, which fails the test.

#include "tests/support/outcome.hpp"

#include <gtest/gtest.h>

#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <variant>

namespace mcp::testing {

class IOTestFixture : public ::testing::Test {
protected:
    template <class T>
    using Outcome = test_support::Outcome<T>;

    // Spawns `task` on io_ without running anything.
    template <class T>
    std::shared_ptr<Outcome<T>> start(boost::asio::awaitable<T> task) {
        return test_support::startTask(io_.get_executor(), std::move(task));
    }

    // Runs io_ until `task` ends; returns its value or rethrows its error.
    template <class T>
    T await(boost::asio::awaitable<T> task) {
        auto outcome = start(std::move(task));
        runUntil([&] { return outcome->done; });
        if (outcome->error) std::rethrow_exception(outcome->error);
        if constexpr (!std::is_void_v<T>) return std::move(*outcome->value);
    }

    // Runs io_ one handler at a time until `condition` holds.
    void runUntil(const std::function<bool()>& condition,
                  std::chrono::steady_clock::duration timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (io_.stopped()) io_.restart();
            if (io_.run_one_until(deadline) == 0 && !condition()) {
                throw std::runtime_error(std::chrono::steady_clock::now() < deadline
                                             ? "nothing left to run, but the awaited condition does not hold"
                                             : "the awaited condition did not hold before the deadline");
            }
        }
    }

    // Runs io_ in short slices until `condition` holds: for conditions that something outside
    // io_ (a server on a thread of its own) makes true, which runUntil would not see until
    // io_'s next event.
    void pollUntil(const std::function<bool()>& condition,
                   std::chrono::steady_clock::duration timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                throw std::runtime_error("the awaited condition did not hold before the deadline");
            }
            if (io_.stopped()) io_.restart();
            io_.run_one_for(std::chrono::milliseconds(5));
        }
    }

    // Runs what is ready to run, without waiting.
    void runReady() {
        if (io_.stopped()) io_.restart();
        io_.poll();
    }

    boost::asio::io_context io_;
};

}  // namespace mcp::testing
