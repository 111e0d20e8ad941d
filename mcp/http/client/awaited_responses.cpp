#include "mcp/http/client/awaited_responses.hpp"

#include <boost/json/parse.hpp>

#include <algorithm>
#include <optional>

namespace mcp {

namespace {

std::optional<boost::json::value> parsed(std::string_view message) {
    boost::system::error_code error;
    auto value = boost::json::parse(message, error);
    if (error) return std::nullopt;
    return value;
}

// The id of `message` when it is a request: a notification has no id, a response no method.
const boost::json::value* requestID(const boost::json::value& message) {
    const auto* object = message.if_object();
    if (!object || !object->contains("method")) return nullptr;
    const auto* id = object->if_contains("id");
    return id && !id->is_null() ? id : nullptr;
}

}  // namespace

AwaitedResponses AwaitedResponses::of(std::string_view message) {
    AwaitedResponses awaited;
    const auto value = parsed(message);
    if (!value) return awaited;
    if (const auto* batch = value->if_array()) {
        for (const auto& element : *batch) {
            if (const auto* id = requestID(element)) awaited.ids_.push_back(*id);
        }
    } else if (const auto* id = requestID(*value)) {
        awaited.ids_.push_back(*id);
    }
    return awaited;
}

void AwaitedResponses::strikeAnswered(std::string_view message) {
    if (ids_.empty()) return;
    const auto value = parsed(message);
    if (!value) return;
    if (const auto* batch = value->if_array()) {
        for (const auto& element : *batch) strike(element);
    } else {
        strike(*value);
    }
}

void AwaitedResponses::strike(const boost::json::value& message) {
    const auto* object = message.if_object();
    if (!object || object->contains("method")) return;
    const auto* id = object->if_contains("id");
    if (!id) return;
    std::erase_if(ids_, [id](const boost::json::value& awaited) { return awaited == *id; });
}

}  // namespace mcp
