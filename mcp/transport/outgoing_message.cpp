#include "mcp/transport/outgoing_message.hpp"

#include "mcp/json/json.hpp"
#include "mcp/json/try_decode.hpp"

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

OutgoingMessage OutgoingMessage::request(std::string text, ID id, std::string method) {
    std::vector<ID> ids;
    ids.push_back(std::move(id));
    return {std::move(text), Outline{.requestIDs = std::move(ids), .method = std::move(method)}};
}

OutgoingMessage OutgoingMessage::notification(std::string text, std::string method) {
    return {std::move(text), Outline{.requestIDs = {}, .method = std::move(method)}};
}

OutgoingMessage OutgoingMessage::response(std::string text) { return {std::move(text), Outline{}}; }

OutgoingMessage OutgoingMessage::batch(std::string text, std::vector<ID> requestIDs) {
    return {std::move(text), Outline{.requestIDs = std::move(requestIDs), .method = std::nullopt}};
}

OutgoingMessage::Outline OutgoingMessage::outlineOf(std::string_view text) {
    Outline outline;
    const auto value = tryParseJSON(text);
    if (!value) return outline;
    if (const auto* batch = value->arrayValue()) {
        for (const auto& element : *batch) {
            if (auto id = requestID(element)) outline.requestIDs.push_back(std::move(*id));
        }
        return outline;
    }
    if (auto id = requestID(*value)) outline.requestIDs.push_back(std::move(*id));
    if (const auto* object = value->objectValue()) {
        const Value* method = object->find("method");
        if (method != nullptr && method->stringValue() != nullptr) outline.method = *method->stringValue();
    }
    return outline;
}

}  // namespace mcp
