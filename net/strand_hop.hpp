#pragma once

// The one way the library's actors move work onto their strand.
//
//     strand_(strandOf(executor))
//     co_await onStrand(strand_, [self = shared_from_this()]() -> awaitable<void> { ... });
//     spawnOnStrand(strand_, readLoop(), [self = shared_from_this()](std::exception_ptr) { ... });
//
// An actor given a strand as its executor serves on that strand itself, so that actors made
// for one connection (a transport and its server) share it; a call between them is then a
// plain call instead of a hop.

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace net {

// The strand an actor runs on.
using Strand = boost::asio::strand<boost::asio::any_io_executor>;

// `executor` itself when it is a `Strand`, else a new strand of it. Out of line: inlined into a
// caller that passes a temporary executor, g++ 12 at -O3 takes the strand's copy for a read past
// that temporary (a false -Warray-bounds).
Strand strandOf(const boost::asio::any_io_executor& executor);

// Whether `executor` is `strand`. Compared as strands: wrapping `strand` in an executor to
// compare them would allocate on every call.
inline bool isStrand(const boost::asio::any_io_executor& executor, const Strand& strand) {
    const auto* running = executor.target<Strand>();
    return running != nullptr && *running == strand;
}

namespace detail {

// Emits `type` on `signal`. Out of line because the program's Qt code defines `emit` as a
// keyword of its own, and includes this header.
void emitCancellation(boost::asio::cancellation_signal& signal, boost::asio::cancellation_type type);

// Carries a caller's cancellation to a body that runs on another strand.
//
// co_spawn hands a cancellation on by dispatching to the caller's executor a function that
// holds a bare pointer into the caller's cancellation slot. When the caller is cancelled from
// outside its executor, that function waits in the queue; if the body ends and the caller
// moves on to another operation before it runs, the slot's memory is gone by then. So the
// hop gives co_spawn no slot of the caller's: the caller's slot posts to the body's strand,
// with a signal of our own that it keeps alive, and the body is started from that strand with
// the signal's slot, so that co_spawn's own dispatch always runs in place.
class CancellationRelay {
public:
    // Connects `callerSlot` to the relay until the relay is destroyed.
    CancellationRelay(boost::asio::cancellation_slot callerSlot, const Strand& strand)
        : callerSlot_(callerSlot), signal_(std::make_shared<boost::asio::cancellation_signal>()) {
        callerSlot_.assign([signal = signal_, strand](boost::asio::cancellation_type type) {
            boost::asio::post(strand, [signal, type] { emitCancellation(*signal, type); });
        });
    }
    ~CancellationRelay() { callerSlot_.clear(); }
    CancellationRelay(const CancellationRelay&) = delete;
    CancellationRelay& operator=(const CancellationRelay&) = delete;

    // Runs `body` on `strand`, which the caller must be running on, cancellable by the relay.
    template <class Body>
    static auto startFromStrand(const Strand& strand, std::shared_ptr<boost::asio::cancellation_signal> signal,
                                Body body) -> decltype(body()) {
        co_return co_await boost::asio::co_spawn(
            strand, std::move(body), boost::asio::bind_cancellation_slot(signal->slot(), boost::asio::use_awaitable));
    }

    const std::shared_ptr<boost::asio::cancellation_signal>& signal() const { return signal_; }

private:
    boost::asio::cancellation_slot callerSlot_;
    std::shared_ptr<boost::asio::cancellation_signal> signal_;
};

}  // namespace detail

// Runs `body` (a callable returning `awaitable<T>`) on `strand` and returns what it returns,
// or throws what it throws. A caller whose coroutine already runs on `strand` runs it in
// place; any other is moved onto the strand and back. `body` is kept until it has run. A
// cancellation of the caller reaches the body on its strand.
//
// The body is taken as a named object: GCC 12 destroys a lambda temporary written inside a
// co_await twice, which would release what it captured one time too many.
template <class Body>
auto onStrand(const Strand& strand, Body body) -> decltype(body()) {
    using Result = typename decltype(body())::value_type;
    const auto current = co_await boost::asio::this_coro::executor;
    if (isStrand(current, strand)) co_return co_await body();

    // An optional, because co_spawn needs a default-constructible result.
    auto hopped = [&body] {
        if constexpr (std::is_void_v<Result>) {
            return std::move(body);
        } else {
            return [body = std::move(body)]() mutable -> boost::asio::awaitable<std::optional<Result>> {
                co_return co_await body();
            };
        }
    }();
    const boost::asio::cancellation_state callerState = co_await boost::asio::this_coro::cancellation_state;
    const auto callerSlot = callerState.slot();
    // co_spawn is given no slot of the caller's: see CancellationRelay.
    const auto hop = [&](auto task) -> decltype(body()) {
        auto noSlot = boost::asio::bind_cancellation_slot(boost::asio::cancellation_slot(), boost::asio::use_awaitable);
        if constexpr (std::is_void_v<Result>) {
            co_await boost::asio::co_spawn(strand, std::move(task), std::move(noSlot));
        } else {
            co_return std::move(*co_await boost::asio::co_spawn(strand, std::move(task), std::move(noSlot)));
        }
    };
    if (!callerSlot.is_connected()) co_return co_await hop(std::move(hopped));
    const detail::CancellationRelay relay(callerSlot, strand);
    auto started = [strand, signal = relay.signal(), hopped = std::move(hopped)]() mutable {
        return detail::CancellationRelay::startFromStrand(strand, signal, std::move(hopped));
    };
    co_return co_await hop(std::move(started));
}

// Starts `task` (an `awaitable`, or a callable returning one, kept until it has run) on
// `strand` without waiting for it: for a loop or a task that outlives its caller.
// `completion` (taking a `std::exception_ptr`, possibly bound to a cancellation slot) hears
// how it ended.
template <class Task, class Completion>
void spawnOnStrand(const Strand& strand, Task task, Completion&& completion) {
    boost::asio::co_spawn(strand, std::move(task), std::forward<Completion>(completion));
}

}  // namespace net
