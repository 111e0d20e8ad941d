// An MCP server with sessions over HTTP: each client gets a session of its own, whose
// requests are answered with Server-Sent Events streams. Try it with curl (the command on
// one line):
//
//     stateful_http_server 8080
//     curl -i -N -X POST http://127.0.0.1:8080/mcp
//          -H 'Content-Type: application/json' -H 'Accept: application/json, text/event-stream'
//          -d '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18",
//               "capabilities":{},"clientInfo":{"name":"curl","version":"1"}}}'
//
// then send the "MCP-Session-Id" it answers with on every later request: tools/list,
// tools/call "echo" or "progress", a GET for the standing stream (with "Last-Event-ID" to
// resume one), a DELETE to end the session. Port 0 picks a free port; the program prints the
// address it listens on.

#include "examples/http_listener/http_listener.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/server/server.hpp"
#include "mcp/http/stateful_http_server_transport.hpp"
#include "mcp/server/tool_methods.hpp"
#include "mcp/protocol/utility_messages.hpp"

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
        std::cerr << "stateful_http_server: " << failure.what() << '\n';
    }
}

// "echo" returns its text; "progress" sends `count` progress notifications, which travel on
// the session's standing GET stream (and are kept for a resume while none is open).
std::shared_ptr<mcp::Server> makeServer(const asio::any_io_executor& executor) {
    auto server = std::make_shared<mcp::Server>(
        executor, "stateful-http-server-example", "1.0", std::nullopt, std::nullopt,
        mcp::Server::Capabilities{.tools = mcp::Server::Capabilities::Tools{}});
    const mcp::Value stringProperty = mcp::Value::Object{{"type", "string"}};
    const mcp::Value integerProperty = mcp::Value::Object{{"type", "integer"}};
    const std::vector<mcp::Tool> tools{
        {.name = "echo",
         .description = "Returns the given text.",
         .inputSchema = mcp::Value::Object{{"type", "object"},
                                           {"properties", mcp::Value::Object{{"text", stringProperty}}}}},
        {.name = "progress",
         .description = "Sends the given number of progress notifications, then returns.",
         .inputSchema = mcp::Value::Object{{"type", "object"},
                                           {"properties", mcp::Value::Object{{"count", integerProperty}}}}},
    };
    server->withMethodHandler<mcp::ListTools>(
        [tools](mcp::ListTools::Parameters) -> asio::awaitable<mcp::ListTools::Result> {
            co_return mcp::ListTools::Result{.tools = tools};
        });
    server->withMethodHandler<mcp::CallTool>(
        [weak = std::weak_ptr<mcp::Server>(server)](
            mcp::CallTool::Parameters params) -> asio::awaitable<mcp::CallTool::Result> {
            const mcp::ValueObject arguments = params.arguments.value_or(mcp::ValueObject{});
            const mcp::Value* text = arguments.find("text");
            const mcp::Value* count = arguments.find("count");
            if (params.name == "echo") {
                const std::string echoed = text && text->stringValue() ? *text->stringValue() : "";
                co_return mcp::CallTool::Result{.content = {mcp::Tool::Content::text(echoed)}, .isError = false};
            }
            if (params.name == "progress") {
                const auto total = count && count->intValue() ? *count->intValue() : 3;
                for (std::int64_t step = 1; step <= total; ++step) {
                    const auto notifying = weak.lock();
                    if (!notifying) break;
                    // Named before the co_await: GCC 12 destroys a temporary inside one twice.
                    auto message = mcp::makeMessage<mcp::ProgressNotification>(
                        {.progressToken = mcp::ProgressToken("progress"),
                         .progress = static_cast<double>(step),
                         .total = static_cast<double>(total)});
                    co_await notifying->notify(std::move(message));
                }
                co_return mcp::CallTool::Result{.content = {mcp::Tool::Content::text("done")}, .isError = false};
            }
            co_return mcp::CallTool::Result{.content = {mcp::Tool::Content::text("Unknown tool: " + params.name)},
                                            .isError = true};
        });
    return server;
}

// Hands each request to the transport of its session. A request without a session header
// gets a fresh transport and server, kept when that request opened a session. Ended sessions
// stay, so their clients learn the session has been terminated. Everything runs on the
// program's one thread, so the table needs no strand of its own.
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
            auto response = co_await session->second.transport->handleRequest(std::move(request));
            co_return response;
        }
        auto transport = mcp::StatefulHTTPServerTransport::make(executor_);
        auto server = makeServer(executor_);
        co_await server->start(transport);
        auto response = co_await transport->handleRequest(std::move(request));
        for (const auto& [name, value] : response.headers()) {
            if (mcp::equalsIgnoringCase(name, mcp::HTTPHeaderName::sessionID)) {
                sessions_.emplace(value, Session{std::move(transport), std::move(server)});
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
    };

    asio::any_io_executor executor_;
    std::map<std::string, Session> sessions_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: stateful_http_server <port>   (0 picks a free port)\n";
        return 2;
    }
    try {
        asio::io_context io;
        tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"),
                                                 static_cast<unsigned short>(std::stoi(argv[1]))));
        std::cout << "Listening on http://127.0.0.1:" << acceptor.local_endpoint().port() << "/mcp" << std::endl;
        auto sessions = std::make_shared<Sessions>(io.get_executor());
        auto handler = std::make_shared<const example::RequestHandler>(
            [sessions](mcp::HTTPRequest request) { return sessions->handle(std::move(request)); });
        auto accepting = example::acceptConnections(std::move(acceptor), std::move(handler));
        asio::co_spawn(io, std::move(accepting), reportFailure);
        io.run();
    } catch (const std::exception& error) {
        std::cerr << "stateful_http_server: " << error.what() << '\n';
        return 1;
    }
}
