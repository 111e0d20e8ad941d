#pragma once

// HTTPContextProviding: what a transport that carries JSON-RPC requests in HTTP requests (the
// HTTP server transports) tells the server about each of them.

#include "mcp/http/http_request.hpp"
#include "mcp/protocol/id.hpp"

#include <boost/asio/awaitable.hpp>

#include <optional>

namespace mcp {

// A transport that knows the HTTP request behind each JSON-RPC request it delivered (the
// HTTP server transports). The server passes that request to the handler that serves it.
class HTTPContextProviding {
public:
    virtual ~HTTPContextProviding() = default;

    // The HTTP request that carried the JSON-RPC request `id`, while that request is being
    // handled; absent otherwise.
    virtual boost::asio::awaitable<std::optional<HTTPRequest>> httpRequestContext(const ID& id) = 0;
};

}  // namespace mcp
