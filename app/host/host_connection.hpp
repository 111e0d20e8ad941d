#pragma once

#include "app/host/host_limits.hpp"

#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <functional>
#include <string>

namespace app {

// What serves a request that a connection has read; it always yields a response.
using ConnectionServe = std::function<boost::asio::awaitable<mcp::HTTPResponse>(mcp::HTTPRequest)>;

// serveConnection: the host's whole handling of one accepted connection: it reads the one
// request (HTTPRequestReader) within the limits' deadlines, has serve answer it, writes the
// answer with "Connection: close" and launchID, and closes the connection. A request that
// can't be read, or isn't complete before its deadline, is dropped: the connection is closed
// with nothing written. A request with a transfer coding is answered 411 without being
// served. The outcome of the write is not examined.
//
// Runs on the socket's executor, which must be a strand of its own; never throws.
boost::asio::awaitable<void> serveConnection(boost::asio::ip::tcp::socket socket, HostLimits limits,
                                             std::string launchID, ConnectionServe serve);

}  // namespace app
