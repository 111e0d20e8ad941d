#pragma once

// SharedResult<T>: an outcome, a `T` or an error, that is set once and may be awaited any
// number of times, by any number of coroutines on any executors, before or after it is set.
// Each waiter receives its own copy of the value.
//
//     auto done = SharedResult<int>::make();
//     // anywhere, any number of times:
//     int value = co_await done->value();
//     // once, by the producer:
//     done->succeed(42);
//
// A waiter is not released by the cancellation of its coroutine: the wait ends with the
// outcome, as for a task whose result several parties await.
//
// Thread safety: every member may be called from any thread or strand; the state is guarded by
// a mutex held only for bookkeeping, never while a waiter runs.

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/append.hpp>
#include <boost/asio/associated_executor.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace mcp {

template <class T>
class SharedResult : public std::enable_shared_from_this<SharedResult<T>> {
public:
    // The completion of `wait`: the error, or null and the value.
    using Signature = void(std::exception_ptr, T);

    static std::shared_ptr<SharedResult> make() { return std::shared_ptr<SharedResult>(new SharedResult()); }

    // Sets the value and releases every waiter. Returns false, changing nothing, when the
    // outcome was set before.
    bool succeed(T value) { return settle(nullptr, std::move(value)); }

    // Sets the error and releases every waiter; false when the outcome was set before.
    bool fail(std::exception_ptr error) { return settle(std::move(error), T{}); }

    bool isReady() const {
        std::lock_guard lock(mutex_);
        return ready_;
    }

    // Waits for the outcome; completes at once (posted) when it is set already.
    template <boost::asio::completion_token_for<Signature> Token>
    auto wait(Token&& token) {
        return boost::asio::async_initiate<Token, Signature>(
            [self = this->shared_from_this()](auto handler) {
                boost::asio::any_io_executor executor = boost::asio::get_associated_executor(handler);
                self->start(Waiter{std::move(handler), std::move(executor)});
            },
            token);
    }

    // `wait` as an awaitable: returns the value or throws the error. The awaitable keeps the
    // result alive, so it may outlive the pointer it was taken from.
    boost::asio::awaitable<T> value() { return wait(boost::asio::use_awaitable); }

private:
    struct Waiter {
        boost::asio::any_completion_handler<Signature> handler;
        boost::asio::any_io_executor executor;
    };

    SharedResult() = default;

    bool settle(std::exception_ptr error, T value) {
        std::vector<Waiter> waiters;
        {
            std::lock_guard lock(mutex_);
            if (ready_) return false;
            ready_ = true;
            error_ = error;
            if (!error) value_.emplace(std::move(value));
            waiters.swap(waiters_);
        }
        for (auto& waiter : waiters) release(std::move(waiter));
        return true;
    }

    void start(Waiter waiter) {
        {
            std::lock_guard lock(mutex_);
            if (!ready_) {
                waiters_.push_back(std::move(waiter));
                return;
            }
        }
        release(std::move(waiter));
    }

    // The outcome never changes once set, so it is read without the lock here.
    void release(Waiter waiter) {
        T copy = error_ ? T{} : *value_;
        boost::asio::post(waiter.executor, boost::asio::append(std::move(waiter.handler), error_, std::move(copy)));
    }

    mutable std::mutex mutex_;
    bool ready_ = false;
    std::exception_ptr error_;
    std::optional<T> value_;
    std::vector<Waiter> waiters_;
};

}  // namespace mcp
