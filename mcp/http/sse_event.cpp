#include "mcp/http/sse_event.hpp"

#include "mcp/detail/utf8.hpp"

namespace mcp {

eventsource::Event makeMessageEvent(std::string_view message, std::optional<std::string> eventID) {
    eventsource::Event event{.id = std::move(eventID), .event = "message", .data = {}, .retry = std::nullopt};
    event.data.reserve(message.size());
    detail::appendRepairedUTF8(event.data, message);
    return event;
}

}  // namespace mcp
