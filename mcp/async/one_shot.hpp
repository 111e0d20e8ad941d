#pragma once

// OneShot<T>: the continuation of a coroutine that waits for exactly one outcome, a `T` or an
// error, delivered by someone else: the answer to a request, the end of a task.
//
//     T value = co_await boost::asio::async_initiate<decltype(use_awaitable), OneShot<T>::Signature>(
//         [&](auto handler) { waiters.emplace(id, OneShot<T>(std::move(handler))); }, use_awaitable);
//     // later, whoever has the outcome:
//     waiters.extract(id).mapped().succeed(std::move(value));
//
// Resuming one twice is a programming error: the second call asserts (and does nothing in a
// release build). A OneShot dropped without being resumed leaves its waiter suspended for
// good, so owners resume what they hold before letting it go.

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/associated_executor.hpp>
#include <boost/asio/dispatch.hpp>

#include <cassert>
#include <concepts>
#include <exception>
#include <type_traits>
#include <utility>

namespace mcp {

template <class T>
class OneShot {
public:
    using Signature = void(std::exception_ptr, T);
    using Handler = boost::asio::any_completion_handler<Signature>;

    OneShot() = default;
    OneShot(OneShot&&) noexcept = default;
    // Boost 1.81's move assignment of a type-erased handler wraps the handler in itself, so a
    // OneShot is moved only by construction.
    OneShot& operator=(OneShot&&) = delete;
    // Takes the waiter's completion handler (or any callable of the signature).
    template <class H>
        requires std::constructible_from<Handler, H&&> && (!std::same_as<std::remove_cvref_t<H>, OneShot>)
    OneShot(H&& handler) : handler_(std::forward<H>(handler)) {}

    // True until it has been resumed (and for a default-made one, never).
    bool isWaiting() const noexcept { return static_cast<bool>(handler_); }

    void succeed(T value) { resume(nullptr, std::move(value)); }
    void fail(std::exception_ptr error) { resume(std::move(error), T{}); }

    // Resumes the waiter on its own executor: at once when that is the current one, else
    // posted there.
    void resume(std::exception_ptr error, T value) {
        assert(handler_ && "a OneShot is resumed exactly once");
        if (!handler_) return;
        // Moving out leaves `handler_` empty.
        auto handler = std::move(handler_);
        auto executor = boost::asio::get_associated_executor(handler);
        boost::asio::dispatch(executor, [handler = std::move(handler), error = std::move(error),
                                         value = std::move(value)]() mutable {
            std::move(handler)(error, std::move(value));
        });
    }

private:
    Handler handler_;
};

}  // namespace mcp
