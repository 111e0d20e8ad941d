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

Logger mergingMetadata(const Metadata& metadata) {
    Logger logger = Logger::current();
    for (const auto& [key, value] : metadata) logger.setMetadataValue(key, value);
    return logger;
}

Logger adjusted(const LoggerAdjustments& adjustments) {
    Logger logger = Logger::current();
    if (adjustments.logLevel) logger.setLogLevel(*adjustments.logLevel);
    if (adjustments.handler) logger.setHandler(adjustments.handler->clone());
    if (adjustments.metadata) {
        std::unique_ptr<LogHandler> handler = logger.handler().clone();
        handler->setMetadata(*adjustments.metadata);
        logger.setHandler(std::move(handler));
    }
    return logger;
}

}  // namespace detail

Logger Logger::current() {
    if (const Logger* bound = detail::ScopedLoggerBinding::bound()) return *bound;
    // Made once, whichever thread asks first, and never destroyed, so code running while static
    // objects are torn down can still log.
    static const auto* defaultLogger = new Logger("");
    return *defaultLogger;
}

}  // namespace logging
