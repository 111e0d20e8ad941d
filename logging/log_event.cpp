#include "logging/log_event.hpp"

#include "logging/detail/file_id.hpp"

namespace logging {

LogEvent::LogEvent(LogLevel level, LogMessage message, std::optional<Metadata> metadata,
                   std::optional<std::string> source, std::string file, std::string function,
                   std::uint32_t line)
    : LogEvent(level, std::move(message), std::nullopt, std::move(metadata), std::move(source),
               std::move(file), std::move(function), line) {}

LogEvent::LogEvent(LogLevel level, LogMessage message, std::optional<LogError> error,
                   std::optional<Metadata> metadata, std::optional<std::string> source,
                   std::string file, std::string function, std::uint32_t line)
    : level(level),
      message(std::move(message)),
      error(std::move(error)),
      metadata(std::move(metadata)),
      file(std::move(file)),
      function(std::move(function)),
      line(line),
      source_(std::move(source)) {}

std::string LogEvent::source() const {
    if (source_) return *source_;
    return std::string(detail::moduleOfFileID(file));
}

}  // namespace logging
