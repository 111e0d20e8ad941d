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
// Coroutines: the binding belongs to the thread, not to the coroutine, so it is not inherited
// across a suspension. A coroutine resumed after a co_await may run on another thread or after
// the with... call has returned, and an operation that returns an awaitable without running it
// (a lazily started coroutine) gets no binding at all. Coroutines use the logger the operation
// receives as its argument instead: the with... functions take such an operation, return the
// awaitable, and the caller awaits it.
namespace logging {

// Binds `logger` while `operation(logger)` runs and returns its result.
template <class F>
    requires std::invocable<F&, const Logger&>
decltype(auto) withLogger(const Logger& logger, F&& operation) {
    return Logger::withTaskLocalLogger(
        logger, [&]() -> decltype(auto) { return std::invoke(operation, logger); });
}

// Binds a copy of the current logger whose handler has every entry of `metadata` set (other
// keys stay), and runs `operation` with that copy. The current logger itself is unchanged.
template <class F>
    requires std::invocable<F&, const Logger&>
decltype(auto) withLoggerMergingMetadata(const Metadata& metadata, F&& operation) {
    Logger logger = Logger::current();
    for (const auto& [key, value] : metadata) logger.setMetadataValue(key, value);
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
template <class F>
    requires std::invocable<F&, const Logger&>
decltype(auto) withLogger(const LoggerAdjustments& adjustments, F&& operation) {
    Logger logger = Logger::current();
    if (adjustments.logLevel) logger.setLogLevel(*adjustments.logLevel);
    if (adjustments.handler) logger.setHandler(adjustments.handler->clone());
    if (adjustments.metadata) {
        std::unique_ptr<LogHandler> handler = logger.handler().clone();
        handler->setMetadata(*adjustments.metadata);
        logger.setHandler(std::move(handler));
    }
    return withLogger(logger, std::forward<F>(operation));
}

}  // namespace logging
