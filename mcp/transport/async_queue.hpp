#pragma once

// AsyncQueue<T>: an unbounded queue with one awaiting consumer, the library's asynchronous
// stream (a transport's incoming messages, the body of a Server-Sent Events response).
//
//     auto queue = AsyncQueue<std::string>::make();
//     queue->push("a");
//     queue->finish();
//     while (auto item = co_await queue->next()) use(*item);   // "a", then the end
//
// Producers never wait in `push`. A queue made with a capacity lets a producer that reads its
// input from a peer wait for room before it reads more (`waitForRoom`), so that a peer that
// sends faster than the consumer takes can't make the queue grow without end. Everything
// pushed before `finish` is delivered before the end (or the error `finish` was given).
// Asio's channels don't fit here: in Boost 1.81 closing one drops what it still buffers.
//
// Thread safety: `push`, `finish` and `receive` may be called from any thread or strand; the
// queue guards its state with a mutex of its own, held only for bookkeeping, never while a
// handler runs.

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/associated_executor.hpp>
#include <boost/asio/associated_cancellation_slot.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/system/system_error.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <limits>
#include <utility>
#include <vector>

namespace mcp {

template <class T>
class AsyncQueue : public std::enable_shared_from_this<AsyncQueue<T>> {
public:
    // The completion signature of `receive`: an item, or absent at the end; a non-null
    // exception is the error the queue was finished with, or the cancellation.
    using Signature = void(std::exception_ptr, std::optional<T>);

    static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

    // Queues are shared between their producers and their consumer. `capacity` is the number
    // of waiting items at which `waitForRoom` starts to wait.
    static std::shared_ptr<AsyncQueue> make(std::size_t capacity = kUnbounded) {
        return std::shared_ptr<AsyncQueue>(new AsyncQueue(capacity));
    }

    // Appends `item` for the consumer. Returns false, dropping the item, once the queue is
    // finished.
    bool push(T item) {
        std::unique_lock lock(mutex_);
        if (finished_) return false;
        if (!waiter_) {
            items_.push_back(std::move(item));
            return true;
        }
        auto waiter = takeWaiter();
        lock.unlock();
        complete(std::move(waiter), nullptr, std::move(item));
        return true;
    }

    // Ends the queue after the items already pushed; with `error`, the consumer receives that
    // error instead of the plain end. A second call does nothing.
    void finish(std::exception_ptr error = nullptr) {
        std::unique_lock lock(mutex_);
        if (finished_) return;
        finished_ = true;
        error_ = error;
        auto roomWaiters = std::exchange(roomWaiters_, {});
        std::optional<Waiter> waiter;
        if (waiter_) waiter = takeWaiter();
        lock.unlock();
        for (auto& roomWaiter : roomWaiters) release(std::move(roomWaiter));
        if (waiter) complete(std::move(*waiter), error, std::nullopt);
    }

    // Waits until fewer items than the capacity wait to be received, or the queue is
    // finished; completes at once (posted) when that holds already. Any number of producers
    // may wait. A waiter is not released by the cancellation of its coroutine: finishing the
    // queue releases it.
    // Not a coroutine: GCC 12 copies a closure that is a temporary inside a co_await
    // expression bytewise, which would release its shared pointer twice.
    boost::asio::awaitable<void> waitForRoom() {
        return boost::asio::async_initiate<decltype(boost::asio::use_awaitable), void()>(
            [self = this->shared_from_this()](auto handler) {
                boost::asio::any_io_executor executor = boost::asio::get_associated_executor(handler);
                RoomWaiter waiter{std::move(handler), std::move(executor)};
                std::unique_lock lock(self->mutex_);
                if (self->finished_ || self->items_.size() < self->capacity_) {
                    lock.unlock();
                    release(std::move(waiter));
                    return;
                }
                self->roomWaiters_.push_back(std::move(waiter));
            },
            boost::asio::use_awaitable);
    }

    // The number of items waiting to be received.
    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

    bool isFinished() const {
        std::lock_guard lock(mutex_);
        return finished_;
    }

    // Waits for the next item: completes with it, with absent at the plain end (and every
    // time after), or with the error the queue was finished with (every time after, too).
    // Cancelling the operation completes it at once with `operation_aborted`; no item is
    // lost. There is one consumer: a second receive while one waits fails with
    // `std::logic_error`.
    template <boost::asio::completion_token_for<Signature> Token>
    auto receive(Token&& token) {
        return boost::asio::async_initiate<Token, Signature>(
            [self = this->shared_from_this()](auto handler) {
                // The executor is taken while the handler's type is known: the type-erased
                // handler's own executor can't be asked for a non-blocking post in Boost 1.81.
                boost::asio::any_io_executor executor = boost::asio::get_associated_executor(handler);
                self->start(std::move(handler), std::move(executor));
            },
            token);
    }

    // `receive` as a coroutine: the next item, absent at the end; throws the queue's error,
    // or `boost::system::system_error` with `operation_aborted` when cancelled.
    boost::asio::awaitable<std::optional<T>> next() { co_return co_await receive(boost::asio::use_awaitable); }

private:
    using Handler = boost::asio::any_completion_handler<Signature>;

    struct Waiter {
        Handler handler;
        boost::asio::any_io_executor executor;
        boost::asio::cancellation_slot slot;
    };

    struct RoomWaiter {
        boost::asio::any_completion_handler<void()> handler;
        boost::asio::any_io_executor executor;
    };

    explicit AsyncQueue(std::size_t capacity) : capacity_(capacity) {}

    static void release(RoomWaiter waiter) { boost::asio::post(waiter.executor, std::move(waiter.handler)); }

    void start(Handler handler, boost::asio::any_io_executor executor) {
        std::unique_lock lock(mutex_);
        if (waiter_) {
            lock.unlock();
            complete({std::move(handler), executor, {}}, std::make_exception_ptr(std::logic_error("AsyncQueue has a waiting receiver already")),
                     std::nullopt);
            return;
        }
        if (!items_.empty()) {
            T item = std::move(items_.front());
            items_.pop_front();
            std::vector<RoomWaiter> roomWaiters;
            if (items_.size() < capacity_) roomWaiters.swap(roomWaiters_);
            lock.unlock();
            for (auto& roomWaiter : roomWaiters) release(std::move(roomWaiter));
            complete({std::move(handler), executor, {}}, nullptr, std::move(item));
            return;
        }
        if (finished_) {
            const auto error = error_;
            lock.unlock();
            complete({std::move(handler), executor, {}}, error, std::nullopt);
            return;
        }
        auto slot = boost::asio::get_associated_cancellation_slot(handler);
        const std::uint64_t generation = ++generation_;
        if (slot.is_connected()) {
            slot.assign([weak = this->weak_from_this(), generation](boost::asio::cancellation_type) {
                if (auto self = weak.lock()) self->cancel(generation);
            });
        }
        waiter_ = Waiter{std::move(handler), std::move(executor), slot};
    }

    void cancel(std::uint64_t generation) {
        std::unique_lock lock(mutex_);
        if (!waiter_ || generation != generation_) return;
        auto waiter = takeWaiter();
        lock.unlock();
        // This runs inside the slot's own handler, which must not be cleared from within.
        waiter.slot = boost::asio::cancellation_slot();
        complete(std::move(waiter),
                 std::make_exception_ptr(boost::system::system_error(boost::asio::error::operation_aborted)), std::nullopt);
    }

    // Called with the mutex held.
    Waiter takeWaiter() {
        Waiter waiter = std::move(*waiter_);
        waiter_.reset();
        return waiter;
    }

    // Runs the handler on its own executor, never inside push, finish or receive. The
    // cancellation slot belongs to the receiver, whose canceller may emit on the receiver's
    // executor at this very moment (a server stopping on its strand while a producer thread
    // pushes): it is cleared there, just before the handler runs, never on the producer's thread.
    static void complete(Waiter waiter, std::exception_ptr error, std::optional<T> item) {
        boost::asio::post(waiter.executor, [handler = std::move(waiter.handler), slot = waiter.slot, error,
                                            item = std::move(item)]() mutable {
            if (slot.is_connected()) slot.clear();
            std::move(handler)(error, std::move(item));
        });
    }

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<T> items_;
    std::optional<Waiter> waiter_;
    std::vector<RoomWaiter> roomWaiters_;
    std::uint64_t generation_ = 0;
    bool finished_ = false;
    std::exception_ptr error_;
};

}  // namespace mcp
