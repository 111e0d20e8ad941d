// The fixture server of the protocol's conformance suite: an MCP server over the stateful
// HTTP transport (sessions, event streams, loopback Host and Origin checks) offering the
// tools, resources, prompts and completions that the suite's server scenarios ask for.
//
//     conformance_server 0
//
// listens on a free loopback port and prints its endpoint, "http://127.0.0.1:PORT/mcp", on
// the first line of its output; it runs until it is killed.

#include "fixture_server.hpp"

#include "examples/http_listener/http_listener.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/http/stateful_http_server_transport.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <string>

namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

void reportFailure(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        std::cerr << "conformance_server: " << failure.what() << '\n';
    }
}

// Hands each request to the transport of its session. A request without a session header
// gets a fresh transport and server, kept when that request opened a session. Ended sessions
// stay, so their clients learn the session has been terminated; a full run of the suite
// leaves a few dozen. Everything runs on the program's one thread, so the table needs no
// strand of its own.
class Sessions {
public:
    explicit Sessions(asio::any_io_executor executor) : executor_(std::move(executor)) {}

    asio::awaitable<mcp::HTTPResponse> handle(mcp::HTTPRequest request) {
        if (const auto sessionID = request.header(mcp::HTTPHeaderName::sessionID)) {
            const auto session = sessions_.find(*sessionID);
            if (session == sessions_.end()) {
                co_return mcp::HTTPResponse(mcp::HTTPResponse::Error{
                    404, mcp::MCPError::invalidRequest("Not Found: Invalid or expired session ID"), std::nullopt, {}});
            }
            const bool opensStandingStream = request.method == "GET";
            auto response = co_await session->second.transport->handleRequest(std::move(request));
            if (opensStandingStream && response.statusCode() == 200) session->second.gate->open();
            co_return response;
        }
        auto transport = mcp::StatefulHTTPServerTransport::make(executor_);
        auto gate = std::make_shared<fixture::StandingStreamGate>(executor_);
        auto server = fixture::makeServer(executor_, gate);
        co_await server->start(transport);
        auto response = co_await transport->handleRequest(std::move(request));
        for (const auto& [name, value] : response.headers()) {
            if (mcp::equalsIgnoringCase(name, mcp::HTTPHeaderName::sessionID)) {
                sessions_.emplace(value, Session{std::move(transport), std::move(server), std::move(gate)});
                co_return response;
            }
        }
        co_await server->stop();
        co_return response;
    }

private:
    struct Session {
        std::shared_ptr<mcp::StatefulHTTPServerTransport> transport;
        std::shared_ptr<mcp::Server> server;
        std::shared_ptr<fixture::StandingStreamGate> gate;
    };

    asio::any_io_executor executor_;
    std::map<std::string, Session> sessions_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: conformance_server <port>   (0 picks a free port)\n";
        return 2;
    }
    try {
        asio::io_context io;
        tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"),
                                                 static_cast<unsigned short>(std::stoi(argv[1]))));
        std::cout << "http://127.0.0.1:" << acceptor.local_endpoint().port() << "/mcp" << std::endl;
        auto sessions = std::make_shared<Sessions>(io.get_executor());
        auto handler = std::make_shared<const example::RequestHandler>(
            [sessions](mcp::HTTPRequest request) { return sessions->handle(std::move(request)); });
        auto accepting = example::acceptConnections(std::move(acceptor), std::move(handler));
        asio::co_spawn(io, std::move(accepting), reportFailure);
        io.run();
    } catch (const std::exception& error) {
        std::cerr << "conformance_server: " << error.what() << '\n';
        return 1;
    }
}
