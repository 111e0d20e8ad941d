#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace logging {

// LogMessage: the text of one log event. Users spell it `Logger::Message`. Made implicitly from
// any string, so a log call takes a literal or a callable returning a std::string.
struct LogMessage {
    std::string value;

    LogMessage() = default;
    LogMessage(std::string text) : value(std::move(text)) {}
    LogMessage(std::string_view text) : value(text) {}
    LogMessage(const char* text) : value(text) {}

    // The text form: the message text itself.
    const std::string& description() const noexcept { return value; }

    friend bool operator==(const LogMessage&, const LogMessage&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const LogMessage& message) {
    return out << message.value;
}

}  // namespace logging
