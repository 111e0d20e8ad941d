#pragma once

// How the client reads one message from the server. Four shapes are known, tried in this
// order; the first that reads wins:
//
//     [{"jsonrpc":"2.0","id":"A","result":{}}, ...]       a batch of responses (also [])
//     {"jsonrpc":"2.0","id":"A","result":{}}              a response (or an error answer)
//     {"jsonrpc":"2.0","id":7,"method":"roots/list"}      a request from the server
//     {"jsonrpc":"2.0","method":"notifications/..."}      a notification
//
// A response needs an id that is a string or a number: an error answer whose id is null is of
// no known shape, and so is an array with any element that is not a response.

#include "mcp/json/value.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace mcp {

using BatchResponse = std::vector<Response<AnyMethod>>;

using ServerMessage =
    std::variant<BatchResponse, Response<AnyMethod>, Request<AnyMethod>, Message<AnyNotification>>;

// The shape of `bytes`, one message from the server; absent when it has none of the four
// (including text that is no JSON at all).
std::optional<ServerMessage> readServerMessage(std::string_view bytes);

// The shape of `message`, one message from the server already read from its text; absent
// when it has none of the four.
std::optional<ServerMessage> readParsedServerMessage(const Value& message);

}  // namespace mcp
