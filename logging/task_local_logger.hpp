#pragma once

#include "logging/logger.hpp"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

// The current logger: code deep inside an operation logs through the logger its caller chose,
// without receiving it as an argument.
//
//     logging::withLogger(requestLogger, [&](const logging::Logger& logger) {
//         handle(request);  // code below can use logging::Logger::current()
//     });
//
// How the binding reaches the code below: each binding is a thread_local pointer to the bound
// logger, set when the with... call starts and restored to its previous value when the call
// returns or throws. Every function the operation calls, directly or not, on the same thread,
// sees it through Logger::current(); other threads don't, and a thread started inside the
// operation starts without one.
//
// Coroutines: a thread's binding is not inherited across a suspension. An operation that is a
// coroutine (it returns an awaitable) takes the awaited forms of task_local_logger_async.hpp,
// whose binding follows the coroutine; the forms here refuse it.
namespace boost::asio {
template <class T, class Executor>
class awaitable;
}

namespace logging {

namespace detail {

template <class T>
inline constexpr bool kIsAwaitable = false;
template <class T, class Executor>
inline constexpr bool kIsAwaitable<boost::asio::awaitable<T, Executor>> = true;

// An operation run while it is called: it takes the bound logger and is no coroutine.
template <class F>
concept SyncLoggerOperation =
    std::invocable<F&, const Logger&> && !kIsAwaitable<std::invoke_result_t<F&, const Logger&>>;

// A copy of the current logger whose handler has every entry of `metadata` set.
Logger mergingMetadata(const Metadata& metadata);

}  // namespace detail

struct LoggerAdjustments;

namespace detail {
// A copy of the current logger with `adjustments` applied.
Logger adjusted(const LoggerAdjustments& adjustments);
}  // namespace detail

// Binds `logger` while `operation(logger)` runs and returns its result.
template <detail::SyncLoggerOperation F>
decltype(auto) withLogger(const Logger& logger, F&& operation) {
    return Logger::withTaskLocalLogger(
        logger, [&]() -> decltype(auto) { return std::invoke(operation, logger); });
}

// Binds a copy of the current logger whose handler has every entry of `metadata` set (other
// keys stay), and runs `operation` with that copy. The current logger itself is unchanged.
template <detail::SyncLoggerOperation F>
decltype(auto) withLoggerMergingMetadata(const Metadata& metadata, F&& operation) {
    const Logger logger = detail::mergingMetadata(metadata);
    return withLogger(logger, std::forward<F>(operation));
}

// Changes withLogger(adjustments, operation) makes to a copy of the current logger, in this
// order: the level is set on its handler; the handler is replaced (by a copy of `handler`,
// which keeps its own level, so a level given with a handler has no effect); the handler's
// metadata is replaced as a whole.
struct LoggerAdjustments {
    std::optional<LogLevel> logLevel;
    std::shared_ptr<const LogHandler> handler;
    std::optional<Metadata> metadata;
};

// Binds a copy of the current logger with `adjustments` applied, and runs `operation` with it.
template <detail::SyncLoggerOperation F>
decltype(auto) withLogger(const LoggerAdjustments& adjustments, F&& operation) {
    const Logger logger = detail::adjusted(adjustments);
    return withLogger(logger, std::forward<F>(operation));
}

}  // namespace logging
