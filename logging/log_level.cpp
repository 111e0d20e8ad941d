#include "logging/log_level.hpp"

#include <string>

namespace logging {

std::optional<LogLevel> logLevelFromRawValue(std::string_view text) noexcept {
    for (LogLevel level : kAllLogLevels) {
        if (rawValue(level) == text) return level;
    }
    return std::nullopt;
}

std::optional<LogLevel> logLevelFromText(std::string_view text) noexcept {
    // No level name is longer than this; a longer text can't name one.
    constexpr std::size_t kLongestName = 8;
    if (text.size() > kLongestName) return std::nullopt;
    std::array<char, kLongestName> lowered{};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        lowered[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return logLevelFromRawValue(std::string_view(lowered.data(), text.size()));
}

std::ostream& operator<<(std::ostream& out, LogLevel level) { return out << rawValue(level); }

}  // namespace logging
