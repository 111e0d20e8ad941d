#pragma once

// Server-Sent Events as a server writes them; Parser reads them back.

#include "eventsource/event.hpp"

#include <string>
#include <string_view>

namespace eventsource {

// Whether `text` can be an event's id or type: it holds no CR, LF or NUL, any of which would end
// the field early (and NUL makes a reader drop an id).
bool isValidSSEField(std::string_view text) noexcept;

// The event's text: "id: ...", "event: ...", "retry: ..." lines when present, then one
// "data: ..." line per line of the data, then an empty line. A data text with line breaks
// ("\n", "\r\n" or "\r") is split into several data lines, which a reader joins back with
// "\n", so the break can neither end the event early nor smuggle in a field. Throws
// std::invalid_argument for an id or type that isValidSSEField refuses.
std::string encodeSSEEvent(const Event& event);

}  // namespace eventsource
