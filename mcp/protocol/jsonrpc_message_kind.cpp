#include "mcp/protocol/jsonrpc_message_kind.hpp"

#include "mcp/protocol/id.hpp"
#include "mcp/json/json.hpp"

namespace mcp {

std::optional<JSONRPCMessageKind> JSONRPCMessageKind::classify(std::string_view body) {
    const auto message = tryParseJSON(body);
    if (!message) return std::nullopt;
    return classifyParsed(*message);
}

std::optional<JSONRPCMessageKind> JSONRPCMessageKind::classifyParsed(const Value& message) {
    const auto* object = message.objectValue();
    if (object == nullptr) return std::nullopt;

    // The same reading as an `ID`, except that null is no id here.
    std::optional<std::string> id;
    if (const Value* member = object->find("id"); member != nullptr && !member->isNull()) {
        try {
            id = decode<ID>(*member).description();
        } catch (const DecodingError&) {
        }
    }

    // A response first, as the server reads it: a message with both a result and a method,
    // routed as a request, would wait for an answer that the server never gives.
    if (id && (object->contains("result") || object->contains("error"))) {
        return JSONRPCMessageKind{Type::response, id, {}};
    }
    const Value* method = object->find("method");
    if (method != nullptr && (method->stringValue() != nullptr || method->dataValue() != nullptr)) {
        return JSONRPCMessageKind{id ? Type::request : Type::notification, id, decode<std::string>(*method)};
    }
    return std::nullopt;
}

}  // namespace mcp
