#include "examples/http_listener/http_listener.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <exception>
#include <iostream>

namespace example {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using asio::ip::tcp;

constexpr auto kAwait = asio::as_tuple(asio::use_awaitable);

void reportConnectionFailure(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        std::cerr << "connection failed: " << failure.what() << '\n';
    }
}

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

asio::awaitable<void> serveConnection(tcp::socket socket, std::shared_ptr<const RequestHandler> handler) {
    boost::beast::flat_buffer buffer;
    while (true) {
        http::request<http::string_body> request;
        if (auto [error, read] = co_await http::async_read(socket, buffer, request, kAwait); error) co_return;
        const bool keepAlive = request.keep_alive();
        auto converted = toHTTPRequest(request);
        const mcp::HTTPResponse response = co_await (*handler)(std::move(converted));

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

}  // namespace

asio::awaitable<void> acceptConnections(tcp::acceptor acceptor, std::shared_ptr<const RequestHandler> handler) {
    while (true) {
        auto [error, socket] = co_await acceptor.async_accept(kAwait);
        if (error) co_return;
        auto connection = serveConnection(std::move(socket), handler);
        asio::co_spawn(acceptor.get_executor(), std::move(connection), reportConnectionFailure);
    }
}

}  // namespace example
