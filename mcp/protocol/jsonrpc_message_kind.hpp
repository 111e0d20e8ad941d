#pragma once

// JSONRPCMessageKind: what a request body holds, read without the protocol's types, so that
// an HTTP transport can route it.

#include "mcp/json/value.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace mcp {

struct JSONRPCMessageKind {
    enum class Type { request, notification, response };

    Type type;
    // The id as text (a number as its decimal digits); absent for a notification.
    std::optional<std::string> id;
    // The method; empty for a response.
    std::string method;

    // Classifies a body holding one JSON-RPC message; absent for anything else (a batch,
    // invalid JSON, an error answer whose "id" is null). The id counts when it is a string or
    // a number with an exact 64-bit integer value; "jsonrpc" is not examined. A message with
    // an id and a "result" or "error" is a response even when it also has a method: the server
    // reads it so, and the transports must route every message as the server reads it.
    static std::optional<JSONRPCMessageKind> classify(std::string_view body);
    // As `classify`, for a message already read from its text (which `classify` reads with
    // `parseJSON` and hands here).
    static std::optional<JSONRPCMessageKind> classifyParsed(const Value& message);

    // True only for a request whose method is exactly "initialize".
    bool isInitializeRequest() const noexcept { return type == Type::request && method == "initialize"; }

    friend bool operator==(const JSONRPCMessageKind&, const JSONRPCMessageKind&) = default;
};

}  // namespace mcp
