#include "mcp/catalogue/logging_messages.hpp"

namespace mcp {

std::string_view rawValue(LogLevel level) noexcept {
    switch (level) {
        case LogLevel::debug: return "debug";
        case LogLevel::info: return "info";
        case LogLevel::notice: return "notice";
        case LogLevel::warning: return "warning";
        case LogLevel::error: return "error";
        case LogLevel::critical: return "critical";
        case LogLevel::alert: return "alert";
        case LogLevel::emergency: return "emergency";
    }
    return "debug";
}

std::optional<LogLevel> logLevelFromRawValue(std::string_view text) noexcept {
    for (const LogLevel level : kAllLogLevels) {
        if (text == rawValue(level)) return level;
    }
    return std::nullopt;
}

LogLevel Codec<LogLevel>::decode(const Value& value, const CodingPath& path) {
    const auto text = Codec<std::string>::decode(value, path);
    if (const auto level = logLevelFromRawValue(text)) return *level;
    throw DecodingError::dataCorrupted(path, "Unknown log level \"" + text + "\"");
}

Value Codec<SetLoggingLevel::Parameters>::encode(const SetLoggingLevel::Parameters& parameters) {
    return ObjectBuilder().add("level", parameters.level).build();
}

SetLoggingLevel::Parameters Codec<SetLoggingLevel::Parameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.level = reader.required<LogLevel>("level")};
}

Value Codec<LogMessageNotification::Parameters>::encode(const LogMessageNotification::Parameters& parameters) {
    return ObjectBuilder()
        .add("level", parameters.level)
        .addIfPresent("logger", parameters.logger)
        .add("data", parameters.data)
        .build();
}

LogMessageNotification::Parameters Codec<LogMessageNotification::Parameters>::decode(const Value& value,
                                                                                     const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .level = reader.required<LogLevel>("level"),
        .logger = reader.optional<std::string>("logger"),
        // `required` keeps a null: only a missing "data" fails.
        .data = reader.required<Value>("data"),
    };
}

}  // namespace mcp
