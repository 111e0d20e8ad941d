#pragma once

// The event that carries one outgoing message on a server's event stream.

#include "eventsource/event.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// The event that carries one outgoing message: type "message", the message bytes as UTF-8
// text (ill-formed sequences replaced by U+FFFD), the given id and no retry.
eventsource::Event makeMessageEvent(std::string_view message, std::optional<std::string> eventID = std::nullopt);

}  // namespace mcp
