#include "logging/log_handler.hpp"

#include "logging/detail/file_id.hpp"

namespace logging {

void LogHandler::log(LogLevel level, LogMessage message, std::optional<Metadata> metadata,
                     std::string source, std::string file, std::string function,
                     std::uint32_t line) {
    log(LogEvent(level, std::move(message), std::move(metadata), std::move(source),
                 std::move(file), std::move(function), line));
}

void LogHandler::log(LogLevel level, LogMessage message, std::optional<Metadata> metadata,
                     std::string file, std::string function, std::uint32_t line) {
    std::string source(detail::moduleOfFilePath(file));
    log(LogEvent(level, std::move(message), std::move(metadata), std::move(source),
                 std::move(file), std::move(function), line));
}

}  // namespace logging
