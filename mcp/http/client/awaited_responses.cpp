#include "mcp/http/client/awaited_responses.hpp"

#include "mcp/json/json.hpp"

#include <algorithm>
#include <string>

namespace mcp {

AwaitedResponses::Reading AwaitedResponses::read(std::string message) {
    auto value = tryParseJSON(message);
    auto shape = value ? readParsedServerMessage(*value) : std::nullopt;
    if (!shape) return {std::move(message), std::nullopt};
    return {std::move(*value), std::move(shape)};
}

void AwaitedResponses::strikeAnswered(const std::optional<ServerMessage>& message) {
    if (ids_.empty()) return;
    if (!message) {
        sawUnreadable_ = true;
        return;
    }
    if (const auto* batch = std::get_if<BatchResponse>(&*message)) {
        for (const auto& response : *batch) {
            if (response.id) strike(*response.id);
        }
    } else if (const auto* response = std::get_if<Response<AnyMethod>>(&*message)) {
        if (response->id) strike(*response->id);
    }
}

void AwaitedResponses::strike(const ID& id) { std::erase(ids_, id); }

MCPError AwaitedResponses::unanswered(std::string_view why) const {
    std::string text = ids_.size() == 1 ? "No response to request " : "No response to requests ";
    for (std::size_t index = 0; index < ids_.size(); ++index) {
        if (index > 0) text += ", ";
        text += ids_[index].description();
    }
    text += ": ";
    text += why;
    if (sawUnreadable_) text += " (a message that could not be read was dropped)";
    return MCPError::internalError(std::move(text));
}

}  // namespace mcp
