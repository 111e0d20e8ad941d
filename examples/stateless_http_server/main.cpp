// An MCP server without sessions over HTTP: every POST carries one message and is answered
// on its own, with a JSON body (or 202 for a notification). Try it with curl (the command
// on one line):
//
//     stateless_http_server 8080
//     curl -i -X POST http://127.0.0.1:8080/mcp -H 'Content-Type: application/json'
//          -H 'Accept: application/json'
//          -d '{"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"echo","arguments":{"text":"hi"}}}'
//
// Port 0 picks a free port; the program prints the address it listens on.

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/http/stateless_http_server_transport.hpp"
#include "mcp/server/server.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <exception>
#include <iostream>
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
        std::cerr << "stateless_http_server: " << failure.what() << '\n';
    }
}

// One tool, "echo", which returns its text.
std::shared_ptr<mcp::Server> makeServer(const asio::any_io_executor& executor) {
    auto server = std::make_shared<mcp::Server>(
        executor, "stateless-http-server-example", "1.0", std::nullopt, std::nullopt,
        mcp::Server::Capabilities{.tools = mcp::Server::Capabilities::Tools{}});
    const mcp::Value stringProperty = mcp::Value::Object{{"type", "string"}};
    const std::vector<mcp::Tool> tools{
        {.name = "echo",
         .description = "Returns the given text.",
         .inputSchema = mcp::Value::Object{{"type", "object"},
                                           {"properties", mcp::Value::Object{{"text", stringProperty}}}}},
    };
    server->withMethodHandler<mcp::ListTools>(
        [tools](mcp::ListTools::Parameters) -> asio::awaitable<mcp::ListTools::Result> {
            co_return mcp::ListTools::Result{.tools = tools};
        });
    server->withMethodHandler<mcp::CallTool>(
        [](mcp::CallTool::Parameters params) -> asio::awaitable<mcp::CallTool::Result> {
            if (params.name != "echo") {
                co_return mcp::CallTool::Result{.content = {mcp::Tool::Content::text("Unknown tool: " + params.name)},
                                                .isError = true};
            }
            const mcp::ValueObject arguments = params.arguments.value_or(mcp::ValueObject{});
            const mcp::Value* text = arguments.find("text");
            const std::string echoed = text && text->stringValue() ? *text->stringValue() : "";
            co_return mcp::CallTool::Result{.content = {mcp::Tool::Content::text(echoed)}, .isError = false};
        });
    return server;
}

mcp::HTTPRequest toHTTPRequest(const http::request<http::string_body>& request) {
    mcp::HTTPRequest converted{std::string(request.method_string()), {}, std::nullopt, std::string(request.target())};
    for (const auto& field : request) converted.headers.emplace_back(field.name_string(), field.value());
    if (!request.body().empty()) converted.body = request.body();
    return converted;
}

// Without sessions nothing ties one POST to the next, so each is answered by a server of its
// own: a server kept for all of them would refuse every client's initialize after the first.
asio::awaitable<mcp::HTTPResponse> answer(mcp::HTTPRequest request) {
    const auto executor = co_await asio::this_coro::executor;
    auto transport = mcp::StatelessHTTPServerTransport::make(executor);
    auto server = makeServer(executor);
    co_await server->start(transport);
    mcp::HTTPResponse response = co_await transport->handleRequest(std::move(request));
    co_await server->stop();
    co_return response;
}

asio::awaitable<void> serveConnection(tcp::socket socket) {
    boost::beast::flat_buffer buffer;
    while (true) {
        http::request<http::string_body> request;
        if (auto [error, read] = co_await http::async_read(socket, buffer, request, kAwait); error) co_return;
        const bool keepAlive = request.keep_alive();
        const mcp::HTTPResponse response = co_await answer(toHTTPRequest(request));

        http::response<http::string_body> reply(static_cast<http::status>(response.statusCode()), request.version());
        reply.keep_alive(keepAlive);
        for (const auto& [name, value] : response.headers()) reply.set(name, value);
        reply.body() = response.bodyData().value_or("");
        reply.prepare_payload();
        if (auto [error, written] = co_await http::async_write(socket, reply, kAwait); error) co_return;
        if (!keepAlive) co_return;
    }
}

asio::awaitable<void> acceptConnections(tcp::acceptor acceptor) {
    while (true) {
        auto [error, socket] = co_await acceptor.async_accept(kAwait);
        if (error) co_return;
        asio::co_spawn(acceptor.get_executor(), serveConnection(std::move(socket)), reportFailure);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: stateless_http_server <port>   (0 picks a free port)\n";
        return 2;
    }
    try {
        asio::io_context io;
        tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"),
                                                 static_cast<unsigned short>(std::stoi(argv[1]))));
        std::cout << "Listening on http://127.0.0.1:" << acceptor.local_endpoint().port() << "/mcp" << std::endl;
        asio::co_spawn(io, acceptConnections(std::move(acceptor)), reportFailure);
        io.run();
    } catch (const std::exception& error) {
        std::cerr << "stateless_http_server: " << error.what() << '\n';
        return 1;
    }
}
