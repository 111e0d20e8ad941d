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
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <optional>
#include <type_traits>
#include <utility>

namespace net {

// The strand an actor runs on.
using Strand = boost::asio::strand<boost::asio::any_io_executor>;

// `executor` itself when it is a `Strand`, else a new strand of it.
inline Strand strandOf(const boost::asio::any_io_executor& executor) {
    if (const auto* strand = executor.target<Strand>()) return *strand;
    return boost::asio::make_strand(executor);
}

// Runs `body` (a callable returning `awaitable<T>`) on `strand` and returns what it returns,
// or throws what it throws. A caller whose coroutine already runs on `strand` runs it in
// place; any other is moved onto the strand and back. `body` is kept until it has run.
//
// The body is taken as a named object: GCC 12 destroys a lambda temporary written inside a
// co_await twice, which would release what it captured one time too many.
template <class Body>
auto onStrand(const Strand& strand, Body body) -> decltype(body()) {
    using Result = typename decltype(body())::value_type;
    const auto current = co_await boost::asio::this_coro::executor;
    if (current == boost::asio::any_io_executor(strand)) co_return co_await body();
    if constexpr (std::is_void_v<Result>) {
        co_await boost::asio::co_spawn(strand, std::move(body), boost::asio::use_awaitable);
    } else {
        // An optional, because co_spawn needs a default-constructible result.
        auto wrapped = [body = std::move(body)]() mutable -> boost::asio::awaitable<std::optional<Result>> {
            co_return co_await body();
        };
        auto result = co_await boost::asio::co_spawn(strand, std::move(wrapped), boost::asio::use_awaitable);
        co_return std::move(*result);
    }
}

// Starts `task` (an `awaitable`) on `strand` without waiting for it: for a loop or a task that
// outlives its caller. `completion` (taking a `std::exception_ptr`, possibly bound to a
// cancellation slot) hears how it ended.
template <class Task, class Completion>
void spawnOnStrand(const Strand& strand, Task task, Completion&& completion) {
    boost::asio::co_spawn(strand, std::move(task), std::forward<Completion>(completion));
}

}  // namespace net
