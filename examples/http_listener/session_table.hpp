#pragma once

// SessionTable: the HTTP examples' sessions over the stateful transport. It hands each request
// to the transport of its session; a request without a session header gets a fresh transport
// and server, kept when that request opened a session. Ended sessions stay, so their clients
// learn the session has been terminated. Everything runs on the program's one thread, so the
// table needs no strand of its own.

#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"
#include "mcp/http/stateful_http_server_transport.hpp"
#include "mcp/server/server.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace example {

class SessionTable {
public:
    // Makes the server of a new session.
    using MakeServer = std::function<std::shared_ptr<mcp::Server>(const boost::asio::any_io_executor& executor)>;

    // `retryInterval` (milliseconds) goes into the "retry" field of every stream's first event,
    // telling a client how long to wait before it resumes a stream the server closed.
    SessionTable(boost::asio::any_io_executor executor, MakeServer makeServer,
                 std::optional<std::int64_t> retryInterval = std::nullopt);

    // The answer to `request`: a 404 for an unknown session id.
    boost::asio::awaitable<mcp::HTTPResponse> handle(mcp::HTTPRequest request);

private:
    struct Session {
        std::shared_ptr<mcp::StatefulHTTPServerTransport> transport;
        std::shared_ptr<mcp::Server> server;
    };

    boost::asio::any_io_executor executor_;
    MakeServer makeServer_;
    std::optional<std::int64_t> retryInterval_;
    std::map<std::string, Session> sessions_;
};

}  // namespace example
