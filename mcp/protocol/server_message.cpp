#include "mcp/protocol/server_message.hpp"

#include "mcp/json/json.hpp"
#include "mcp/json/try_decode.hpp"

namespace mcp {

namespace {

// The id codec reads null as the empty string, which suits answers to unreadable requests;
// here null is no id at all.
bool hasID(const ValueObject& object) {
    const Value* id = object.find("id");
    return id != nullptr && !id->isNull();
}

std::optional<Response<AnyMethod>> readResponse(const Value& message) {
    const auto* object = message.objectValue();
    if (object == nullptr || !hasID(*object)) return std::nullopt;
    if (!object->contains("result") && !object->contains("error")) return std::nullopt;
    return tryDecode<Response<AnyMethod>>(message);
}

std::optional<BatchResponse> readBatch(const Value& message) {
    const auto* array = message.arrayValue();
    if (array == nullptr) return std::nullopt;
    BatchResponse responses;
    responses.reserve(array->size());
    for (const Value& element : *array) {
        auto response = readResponse(element);
        if (!response) return std::nullopt;
        responses.push_back(std::move(*response));
    }
    return responses;
}

}  // namespace

std::optional<ServerMessage> readServerMessage(std::string_view bytes) {
    const auto message = tryParseJSON(bytes);
    if (!message) return std::nullopt;
    return readParsedServerMessage(*message);
}

std::optional<ServerMessage> readParsedServerMessage(const Value& message) {
    if (message.arrayValue() != nullptr) {
        if (auto batch = readBatch(message)) return ServerMessage(std::move(*batch));
        return std::nullopt;
    }
    const auto* object = message.objectValue();
    if (object == nullptr) return std::nullopt;
    if (auto response = readResponse(message)) return ServerMessage(std::move(*response));
    if (hasID(*object) && object->contains("method")) {
        if (auto request = tryDecode<Request<AnyMethod>>(message)) return ServerMessage(std::move(*request));
    }
    if (object->contains("method")) {
        if (auto notification = tryDecode<Message<AnyNotification>>(message)) {
            return ServerMessage(std::move(*notification));
        }
    }
    return std::nullopt;
}

}  // namespace mcp
