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
// outcome, as for a task whose result several parties await. A waiter that gives an
// `onCancelled` hands the cancellation to whoever can end the work, which then settles it.
//
// Thread safety: every member may be called from any thread or strand; the state is guarded by
// a mutex held only for bookkeeping, never while a waiter runs.

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/append.hpp>
#include <boost/asio/associated_cancellation_slot.hpp>
#include <boost/asio/associated_executor.hpp>
#include <boost/asio/cancellation_type.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <exception>
#include <functional>
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

    // `wait`, with the per-operation cancellation of Asio: a terminal or partial cancellation
    // of the waiter (what `||` of the awaitable operators sends the loser) calls `onCancelled`,
    // on the thread that cancels, until the wait has ended. The wait still ends only with the
    // outcome, so `onCancelled` should settle it; it may be called more than once.
    template <boost::asio::completion_token_for<Signature> Token>
    auto wait(Token&& token, std::function<void()> onCancelled) {
        return boost::asio::async_initiate<Token, Signature>(
            [self = this->shared_from_this(), onCancelled = std::move(onCancelled)](auto handler) mutable {
                boost::asio::any_io_executor executor = boost::asio::get_associated_executor(handler);
                auto slot = boost::asio::get_associated_cancellation_slot(handler);
                if (!slot.is_connected()) {
                    self->start(Waiter{std::move(handler), std::move(executor)});
                    return;
                }
                slot.assign([onCancelled = std::move(onCancelled)](boost::asio::cancellation_type type) {
                    using boost::asio::cancellation_type;
                    if ((type & (cancellation_type::terminal | cancellation_type::partial)) != cancellation_type::none) {
                        onCancelled();
                    }
                });
                // The slot is the waiter's until it resumes: cleared first, so that a later
                // cancellation of the coroutine calls nothing of this wait.
                auto releasing = [handler = std::move(handler), slot](std::exception_ptr error, T value) mutable {
                    slot.clear();
                    std::move(handler)(std::move(error), std::move(value));
                };
                self->start(Waiter{std::move(releasing), std::move(executor)});
            },
            token);
    }

    boost::asio::awaitable<T> value(std::function<void()> onCancelled) {
        return wait(boost::asio::use_awaitable, std::move(onCancelled));
    }

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
