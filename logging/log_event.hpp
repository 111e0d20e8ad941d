#pragma once

#include "logging/log_error.hpp"
#include "logging/log_level.hpp"
#include "logging/log_message.hpp"
#include "logging/metadata_value.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace logging {

// LogEvent: what a Logger hands its handler for each event that passes the level check. A
// logger makes it for one call; a handler may copy it.
//
// `file` is the call site's file identifier, the file's library folder and name
// ("mcp/server.cpp"); `metadata` is the metadata given at the call, where absent and empty are
// different values.
struct LogEvent {
    LogEvent(LogLevel level, LogMessage message, std::optional<Metadata> metadata,
             std::optional<std::string> source, std::string file, std::string function,
             std::uint32_t line);
    LogEvent(LogLevel level, LogMessage message, std::optional<LogError> error,
             std::optional<Metadata> metadata, std::optional<std::string> source, std::string file,
             std::string function, std::uint32_t line);

    // The source given at the call; without one, the module of `file` (the text before its
    // first "/", "n/a" when it has none).
    std::string source() const;
    // Sets the source that source() returns from now on, whatever `file` holds.
    void setSource(std::string source) { source_ = std::move(source); }

    LogLevel level;
    LogMessage message;
    std::optional<LogError> error;
    std::optional<Metadata> metadata;
    std::string file;
    std::string function;
    std::uint32_t line;

private:
    std::optional<std::string> source_;
};

}  // namespace logging
