#pragma once

// The text of a message read from a transport's stream, so that a test compares what arrived
// in one expectation, whether the transport handed on the text or the value it read.

#include "mcp/transport/incoming_message.hpp"

#include <optional>
#include <string>

namespace mcp::testing {

// Absent at the stream's end.
inline std::optional<std::string> textOf(const std::optional<IncomingMessage>& message) {
    if (!message) return std::nullopt;
    return message->text();
}

}  // namespace mcp::testing
