#pragma once

// SessionTable: the HTTP examples' sessions over the stateful transport. It hands each request
// to the transport of its session; a request without a session header gets a fresh transport
// and server, kept when that request opened a session. Ended sessions stay, so their clients
// learn the session has been terminated. Everything runs on the program's one thread, so the
// table needs no strand of its own.

#include "examples/http_listener/standing_stream_gate.hpp"
#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"
#include "mcp/http/stateful_http_server_transport.hpp"
#include "mcp/server/server.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace example {

class SessionTable {
public:
    // Makes the server of a new session; `gate` is the session's standing-stream gate, null
    // for a table without gates.
    using MakeServer = std::function<std::shared_ptr<mcp::Server>(const boost::asio::any_io_executor& executor,
                                                                  std::shared_ptr<StandingStreamGate> gate)>;

    // Whether each session gets a `StandingStreamGate`, opened once a GET has opened the
    // session's standing stream.
    enum class Gates { none, standingStream };

    SessionTable(boost::asio::any_io_executor executor, MakeServer makeServer, Gates gates = Gates::none);

    // The answer to `request`: a 404 for an unknown session id.
    boost::asio::awaitable<mcp::HTTPResponse> handle(mcp::HTTPRequest request);

private:
    struct Session {
        std::shared_ptr<mcp::StatefulHTTPServerTransport> transport;
        std::shared_ptr<mcp::Server> server;
        std::shared_ptr<StandingStreamGate> gate;
    };

    boost::asio::any_io_executor executor_;
    MakeServer makeServer_;
    Gates gates_;
    std::map<std::string, Session> sessions_;
};

}  // namespace example
