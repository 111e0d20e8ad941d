#pragma once

// Server-Sent Events as the server side writes them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// One event of a Server-Sent Events stream.
struct SSEEvent {
    std::optional<std::string> id;
    // The event type.
    std::optional<std::string> event;
    std::string data;
    // The reconnection time, in milliseconds.
    std::optional<std::int64_t> retry;

    friend bool operator==(const SSEEvent&, const SSEEvent&) = default;
};

// The event that carries one outgoing message: type "message", the message bytes as UTF-8
// text (ill-formed sequences replaced by U+FFFD), the given id and no retry.
SSEEvent makeMessageEvent(std::string_view message, std::optional<std::string> eventID = std::nullopt);

// Whether `text` can be an event's id or type: it holds no CR, LF or NUL, any of which would end
// the field early (and NUL makes a reader drop an id).
bool isValidSSEField(std::string_view text) noexcept;

// The event's text: "id: ...", "event: ...", "retry: ..." lines when present, then one
// "data: ..." line per line of the data, then an empty line. A data text with line breaks
// ("\n", "\r\n" or "\r") is split into several data lines, which a reader joins back with
// "\n", so the break can neither end the event early nor smuggle in a field. Throws
// std::invalid_argument for an id or type that isValidSSEField refuses.
std::string encodeSSEEvent(const SSEEvent& event);

}  // namespace mcp
