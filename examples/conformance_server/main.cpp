// The fixture server of the protocol's conformance suite: an MCP server over the stateful
// HTTP transport (sessions, event streams, loopback Host and Origin checks) offering the
// tools, resources, prompts and completions that the suite's server scenarios ask for.
//
//     conformance_server 0
//
// listens on a free loopback port and prints its endpoint, "http://127.0.0.1:PORT/mcp", on
// the first line of its output; it runs until it is killed.

#include "fixture_server.hpp"

#include "mcp/http/http_header_name.hpp"
#include "mcp/http/stateful_http_server_transport.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <string>

namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using asio::ip::tcp;

constexpr auto kAwait = asio::as_tuple(asio::use_awaitable);

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

mcp::HTTPRequest toHTTPRequest(const http::request<http::string_body>& request) {
    mcp::HTTPRequest converted{std::string(request.method_string()), {}, std::nullopt, std::string(request.target())};
    for (const auto& field : request) converted.headers.emplace_back(field.name_string(), field.value());
    if (!request.body().empty()) converted.body = request.body();
    return converted;
}

// Writes the header, then each event as its own chunk as soon as the transport yields it;
// the reply ends when the stream does. Returns false when the client has gone.
asio::awaitable<bool> writeStream(tcp::socket& socket, const mcp::HTTPResponse::Stream& stream,
                                  http::response<http::empty_body> header) {
    header.chunked(true);
    http::response_serializer<http::empty_body> serializer(header);
    if (auto [error, written] = co_await http::async_write_header(socket, serializer, kAwait); error) co_return false;
    while (true) {
        auto [failure, chunk] = co_await stream.body->receive(kAwait);
        if (failure || !chunk) break;
        const auto encoded = http::make_chunk(asio::buffer(*chunk));
        if (auto [error, written] = co_await asio::async_write(socket, encoded, kAwait); error) co_return false;
    }
    const auto last = http::make_chunk_last();
    auto [error, written] = co_await asio::async_write(socket, last, kAwait);
    co_return !error;
}

asio::awaitable<void> serveConnection(tcp::socket socket, std::shared_ptr<Sessions> sessions) {
    boost::beast::flat_buffer buffer;
    while (true) {
        http::request<http::string_body> request;
        if (auto [error, read] = co_await http::async_read(socket, buffer, request, kAwait); error) co_return;
        const bool keepAlive = request.keep_alive();
        auto converted = toHTTPRequest(request);
        const mcp::HTTPResponse response = co_await sessions->handle(std::move(converted));

        http::response<http::string_body> reply(static_cast<http::status>(response.statusCode()), request.version());
        // First, so that the transport's own "Connection" header, when it has one, wins.
        reply.keep_alive(keepAlive);
        for (const auto& [name, value] : response.headers()) reply.set(name, value);
        if (const auto* stream = std::get_if<mcp::HTTPResponse::Stream>(&response.value())) {
            http::response<http::empty_body> header(reply.result(), reply.version());
            for (const auto& field : reply) header.set(field.name_string(), field.value());
            if (!co_await writeStream(socket, *stream, std::move(header))) co_return;
        } else {
            reply.body() = response.bodyData().value_or("");
            reply.prepare_payload();
            if (auto [error, written] = co_await http::async_write(socket, reply, kAwait); error) co_return;
        }
        if (!keepAlive) co_return;
    }
}

asio::awaitable<void> acceptConnections(tcp::acceptor acceptor, std::shared_ptr<Sessions> sessions) {
    while (true) {
        auto [error, socket] = co_await acceptor.async_accept(kAwait);
        if (error) co_return;
        auto connection = serveConnection(std::move(socket), sessions);
        asio::co_spawn(acceptor.get_executor(), std::move(connection), reportFailure);
    }
}

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
        auto accepting = acceptConnections(std::move(acceptor), sessions);
        asio::co_spawn(io, std::move(accepting), reportFailure);
        io.run();
    } catch (const std::exception& error) {
        std::cerr << "conformance_server: " << error.what() << '\n';
        return 1;
    }
}
