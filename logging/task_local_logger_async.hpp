#pragma once

#include "logging/detail/logger_bound_executor.hpp"
#include "logging/task_local_logger.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <concepts>
#include <functional>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

// The current logger for coroutines: the awaited forms of the with... operations.
//
//     co_await logging::withLogger(requestLogger, [&](const logging::Logger& logger)
//                                                     -> boost::asio::awaitable<void> {
//         co_await handle(request);  // Logger::current() is requestLogger, also after suspending
//     });
//
// The operation runs as a coroutine of its own on the caller's executor, wrapped so that every
// resumption of it binds the logger to the thread that resumes it: the binding lasts across the
// operation's suspensions, whichever thread resumes it, and coroutines the operation starts on
// its own executor (co_await this_coro::executor) inherit it. The logger the operation receives
// lives as long as the operation does. Code running on the same thread between the operation's
// resumptions (other coroutines, other handlers) does not see the binding.
namespace logging {

namespace detail {

// An operation that is a coroutine: it takes the bound logger and returns an awaitable.
template <class F>
concept AsyncLoggerOperation =
    std::invocable<F&, const Logger&> && kIsAwaitable<std::invoke_result_t<F&, const Logger&>>;

template <class F>
using AsyncResult = typename std::invoke_result_t<F&, const Logger&>::value_type;

// Runs operation(*logger) on the caller's executor, bound to *logger at every resumption.
template <class F>
boost::asio::awaitable<AsyncResult<F>> runBound(std::shared_ptr<const Logger> logger, F operation) {
    using Result = AsyncResult<F>;
    auto executor = co_await boost::asio::this_coro::executor;
    const LoggerBoundExecutor bound(executor, logger);
    auto body = [](std::shared_ptr<const Logger> kept, F op) -> boost::asio::awaitable<Result> {
        co_return co_await std::invoke(op, *kept);
    }(logger, std::move(operation));

    std::exception_ptr failure;
    std::optional<std::conditional_t<std::is_void_v<Result>, bool, Result>> result;
    try {
        if constexpr (std::is_void_v<Result>) {
            co_await boost::asio::co_spawn(bound, std::move(body), boost::asio::use_awaitable);
            result.emplace(true);
        } else {
            result.emplace(co_await boost::asio::co_spawn(bound, std::move(body), boost::asio::use_awaitable));
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The operation's end resumes this coroutine inside the operation's binding; the caller goes
    // on only after that binding has ended.
    co_await boost::asio::post(executor, boost::asio::use_awaitable);
    if (failure) std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<Result>) co_return std::move(*result);
}

}  // namespace detail

// Binds `logger` while the coroutine `operation(logger)` runs, across its suspensions, and
// returns its result; whatever it throws passes through unchanged.
template <detail::AsyncLoggerOperation F>
boost::asio::awaitable<detail::AsyncResult<F>> withLogger(const Logger& logger, F operation) {
    return detail::runBound(std::make_shared<const Logger>(logger), std::move(operation));
}

// The awaited form of withLoggerMergingMetadata: the copy is made when called.
template <detail::AsyncLoggerOperation F>
boost::asio::awaitable<detail::AsyncResult<F>> withLoggerMergingMetadata(const Metadata& metadata, F operation) {
    return detail::runBound(std::make_shared<const Logger>(detail::mergingMetadata(metadata)), std::move(operation));
}

// The awaited form of withLogger(adjustments, …): the copy is made when called.
template <detail::AsyncLoggerOperation F>
boost::asio::awaitable<detail::AsyncResult<F>> withLogger(const LoggerAdjustments& adjustments, F operation) {
    return detail::runBound(std::make_shared<const Logger>(detail::adjusted(adjustments)), std::move(operation));
}

}  // namespace logging
