#pragma once

#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

namespace test_support {

// Outcome: where a task started by a test leaves what it came to: done once it ended, then
// its value (an empty one for a void task) or its error.
template <class T>
struct Outcome {
    bool done = false;
    std::optional<std::conditional_t<std::is_void_v<T>, std::monostate, T>> value;
    std::exception_ptr error;

    // errorText: the message of the error; "" when there is none.
    std::string errorText() const {
        if (!error) return {};
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            return e.what();
        } catch (...) {
            return "unknown error";
        }
    }
};

// startTask: spawns task on executor without running anything; its outcome fills in as the
// executor runs it.
template <class T, class Executor>
std::shared_ptr<Outcome<T>> startTask(Executor executor, boost::asio::awaitable<T> task) {
    auto outcome = std::make_shared<Outcome<T>>();
    boost::asio::co_spawn(
        executor,
        [outcome, task = std::move(task)]() mutable -> boost::asio::awaitable<void> {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(task);
                outcome->value.emplace();
            } else {
                auto value = co_await std::move(task);
                outcome->value.emplace(std::move(value));
            }
        },
        [outcome](std::exception_ptr error) {
            outcome->error = error;
            outcome->done = true;
        });
    return outcome;
}

}  // namespace test_support
