#pragma once

// The examples' HTTP listener on Beast: reads each request of a connection, hands it to the
// program's handler as an `mcp::HTTPRequest` and writes the `mcp::HTTPResponse` back, a
// stream reply chunk by chunk as the transport yields its events.

#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <functional>
#include <memory>

namespace example {

using RequestHandler = std::function<boost::asio::awaitable<mcp::HTTPResponse>(mcp::HTTPRequest)>;

// Accepts connections on `acceptor` until it fails or closes, serving each in a coroutine of
// its own on the acceptor's executor; a connection's failure is written to standard error.
boost::asio::awaitable<void> acceptConnections(boost::asio::ip::tcp::acceptor acceptor,
                                               std::shared_ptr<const RequestHandler> handler);

}  // namespace example
