#pragma once

// Server::Batch: a JSON-RPC batch, an array of requests and notifications that the server
// answers with one array of responses, in the order of the requests.
//
//     [{"jsonrpc":"2.0","id":1,"method":"ping"},{"jsonrpc":"2.0","method":"notifications/initialized"}]

#include "mcp/json/codec.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "mcp/server/server.hpp"

#include <variant>
#include <vector>

namespace mcp {

struct Server::Batch {
    // An element with an "id" member is a request, any other a notification.
    using Item = std::variant<Request<AnyMethod>, Message<AnyNotification>>;

    std::vector<Item> items;

    friend bool operator==(const Batch&, const Batch&) = default;
};

// Written as the array of its items. Reading takes an array whose every element reads as a
// request or a notification; one element that doesn't fails the whole batch. An empty array
// reads as a batch without items.
template <>
struct Codec<Server::Batch> {
    static Value encode(const Server::Batch& batch);
    static Server::Batch decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
