#pragma once

// Protocol logging: the client sets the level it wants, the server sends log messages.
//
//     SetLoggingLevel         "logging/setLevel"       {"level"}  ->  {}
//     LogMessageNotification  "notifications/message"  {"level", "logger"?, "data"}
//
// The protocol's levels are not the logging facade's: nothing converts between the two, and
// they have no order here. "data" may hold any JSON value, null included, but must be there.

#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/json/value.hpp"
#include "mcp/protocol/method.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// A log message's severity as the protocol names it.
enum class LogLevel { debug, info, notice, warning, error, critical, alert, emergency };

// Every level, from `debug` to `emergency`.
inline constexpr std::array kAllLogLevels{LogLevel::debug,    LogLevel::info,  LogLevel::notice,
                                          LogLevel::warning,  LogLevel::error, LogLevel::critical,
                                          LogLevel::alert,    LogLevel::emergency};

// The level's JSON text: "debug", "info", ... "emergency".
std::string_view rawValue(LogLevel level) noexcept;
// The level whose text is exactly `text` (letter case included), else absent.
std::optional<LogLevel> logLevelFromRawValue(std::string_view text) noexcept;

// Written as its text; any other value fails to read (dataCorrupted).
template <>
struct Codec<LogLevel> {
    static Value encode(LogLevel level) { return rawValue(level); }
    static LogLevel decode(const Value& value, const CodingPath& path);
};

struct SetLoggingLevel {
    static constexpr std::string_view name = "logging/setLevel";

    struct Parameters {
        LogLevel level = LogLevel::debug;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    using Result = Empty;
};

struct LogMessageNotification {
    static constexpr std::string_view name = "notifications/message";

    struct Parameters {
        LogLevel level = LogLevel::debug;
        // The name of the logger that wrote the message.
        std::optional<std::string> logger;
        // The message: any JSON value.
        Value data;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };
};

// {"level"}, required.
template <>
struct Codec<SetLoggingLevel::Parameters> {
    static Value encode(const SetLoggingLevel::Parameters& parameters);
    static SetLoggingLevel::Parameters decode(const Value& value, const CodingPath& path);
};

// {"level", "logger"?, "data"}; "data" must be present, and may be null.
template <>
struct Codec<LogMessageNotification::Parameters> {
    static Value encode(const LogMessageNotification::Parameters& parameters);
    static LogMessageNotification::Parameters decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::SetLoggingLevel::Parameters> : mcp::CodecHash<mcp::SetLoggingLevel::Parameters> {};
template <>
struct std::hash<mcp::LogMessageNotification::Parameters> : mcp::CodecHash<mcp::LogMessageNotification::Parameters> {};
