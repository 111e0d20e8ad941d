#include "logging/no_op_log_handler.hpp"

namespace logging {

NoOpLogHandler::NoOpLogHandler(std::string_view /*label*/) {}

std::unique_ptr<LogHandler> NoOpLogHandler::clone() const {
    return std::make_unique<NoOpLogHandler>();
}

void NoOpLogHandler::log(const LogEvent& /*event*/) {}

std::optional<MetadataValue> NoOpLogHandler::metadataValue(std::string_view /*key*/) const {
    return std::nullopt;
}

void NoOpLogHandler::setMetadataValue(std::string_view /*key*/,
                                      std::optional<MetadataValue> /*value*/) {}

Metadata NoOpLogHandler::metadata() const { return {}; }

void NoOpLogHandler::setMetadata(Metadata /*metadata*/) {}

void NoOpLogHandler::setLogLevel(LogLevel /*level*/) {}

}  // namespace logging
