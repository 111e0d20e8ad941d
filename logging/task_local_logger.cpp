#include "logging/task_local_logger.hpp"

namespace logging {

namespace {

thread_local const Logger* boundLogger = nullptr;

}  // namespace

namespace detail {

ScopedLoggerBinding::ScopedLoggerBinding(const Logger& logger) noexcept : previous_(boundLogger) {
    boundLogger = &logger;
}

ScopedLoggerBinding::~ScopedLoggerBinding() { boundLogger = previous_; }

const Logger* ScopedLoggerBinding::bound() noexcept { return boundLogger; }

}  // namespace detail

Logger Logger::current() {
    if (const Logger* bound = detail::ScopedLoggerBinding::bound()) return *bound;
    // Made once, whichever thread asks first, and never destroyed, so code running while static
    // objects are torn down can still log.
    static const auto* defaultLogger = new Logger("");
    return *defaultLogger;
}

}  // namespace logging
