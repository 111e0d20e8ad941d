#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string_view>

namespace logging {

// LogLevel: the seven severities of a log event, lowest first. Users spell it `Logger::Level`.
// Levels compare by severity with the built-in operators: `LogLevel::debug < LogLevel::info`.
enum class LogLevel : unsigned char { trace, debug, info, notice, warning, error, critical };

// Every level, in severity order.
inline constexpr std::array<LogLevel, 7> kAllLogLevels{
    LogLevel::trace,   LogLevel::debug, LogLevel::info,    LogLevel::notice,
    LogLevel::warning, LogLevel::error, LogLevel::critical,
};

// The level's name, "trace" to "critical": both its stored form and its text form.
constexpr std::string_view rawValue(LogLevel level) noexcept {
    constexpr std::array<std::string_view, 7> kNames{
        "trace", "debug", "info", "notice", "warning", "error", "critical",
    };
    return kNames[static_cast<std::size_t>(level)];
}

// The level named exactly `text` (case matters); nullopt for any other text.
std::optional<LogLevel> logLevelFromRawValue(std::string_view text) noexcept;

// Like logLevelFromRawValue after lower-casing ASCII letters, so "Warning" and "WARNING" both
// give LogLevel::warning.
std::optional<LogLevel> logLevelFromText(std::string_view text) noexcept;

// Writes rawValue(level).
std::ostream& operator<<(std::ostream& out, LogLevel level);

}  // namespace logging
