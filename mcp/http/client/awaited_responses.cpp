#include "mcp/http/client/awaited_responses.hpp"

#include "mcp/json/json.hpp"
#include "mcp/json/try_decode.hpp"

#include <algorithm>
#include <string>

namespace mcp {

namespace {

// The id of `message` when it is a request: a notification has no id, a response no method.
std::optional<ID> requestID(const Value& message) {
    const auto* object = message.objectValue();
    if (object == nullptr || !object->contains("method")) return std::nullopt;
    const Value* id = object->find("id");
    if (id == nullptr || id->isNull()) return std::nullopt;
    return tryDecode<ID>(*id);
}

}  // namespace

AwaitedResponses AwaitedResponses::of(std::string_view message) {
    AwaitedResponses awaited;
    const auto value = tryParseJSON(message);
    if (!value) return awaited;
    if (const auto* batch = value->arrayValue()) {
        for (const auto& element : *batch) {
            if (auto id = requestID(element)) awaited.ids_.push_back(std::move(*id));
        }
    } else if (auto id = requestID(*value)) {
        awaited.ids_.push_back(std::move(*id));
    }
    return awaited;
}

void AwaitedResponses::strikeAnswered(std::string_view message) {
    if (ids_.empty()) return;
    strikeAnswered(readServerMessage(message));
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
