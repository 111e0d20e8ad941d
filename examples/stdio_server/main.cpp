// An MCP server over standard input and output: each line read is one JSON-RPC message, each
// answer is written as one line. It answers "ping" and offers one tool, "echo", which returns
// the text it is given. Try it from a shell:
//
//     printf '{"jsonrpc":"2.0","id":1,"method":"ping"}\n' | stdio_server
//
// The program exits 0 at the end of its input, once every answer has been written, and on
// SIGINT or SIGTERM. Either way the descriptors' flags are as it found them.

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/server/server.hpp"
#include "mcp/transport/stdio_transport.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

namespace {

namespace asio = boost::asio;

std::shared_ptr<mcp::Server> makeServer(const asio::any_io_executor& executor) {
    auto server = std::make_shared<mcp::Server>(executor, "stdio-server-example", "1.0", std::nullopt, std::nullopt,
                                                mcp::Server::Capabilities{.tools = mcp::Server::Capabilities::Tools{}});
    const mcp::Tool echo{
        .name = "echo",
        .description = "Returns the given text.",
        .inputSchema = mcp::Value::Object{
            {"type", "object"},
            {"properties", mcp::Value::Object{{"text", mcp::Value::Object{{"type", "string"}}}}},
        },
    };
    server->withMethodHandler<mcp::ListTools>([echo](mcp::ListTools::Parameters) -> asio::awaitable<mcp::ListTools::Result> {
        co_return mcp::ListTools::Result{.tools = {echo}};
    });
    server->withMethodHandler<mcp::CallTool>([](mcp::CallTool::Parameters params) -> asio::awaitable<mcp::CallTool::Result> {
        if (params.name != "echo") {
            co_return mcp::CallTool::Result{.content = {mcp::Tool::Content::text("Unknown tool: " + params.name)},
                                            .isError = true};
        }
        const mcp::ValueObject arguments = params.arguments.value_or(mcp::ValueObject{});
        const mcp::Value* text = arguments.find("text");
        std::string echoed = text != nullptr && text->stringValue() ? *text->stringValue() : "";
        co_return mcp::CallTool::Result{.content = {mcp::Tool::Content::text(std::move(echoed))}, .isError = false};
    });
    return server;
}

// Serves until the input ends or a signal asks to stop. Answers still being written keep the
// io_context running after this returns.
asio::awaitable<void> serve(std::shared_ptr<mcp::Server> server, std::shared_ptr<mcp::StdioTransport> transport,
                            std::shared_ptr<asio::signal_set> signals) {
    co_await server->start(transport);
    co_await server->waitUntilCompleted();
    signals->cancel();
}

void reportFailure(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        std::cerr << "stdio_server: " << failure.what() << '\n';
    }
}

}  // namespace

int main() {
    // A reader that has gone must give an error to handle, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        asio::io_context io;
        auto server = makeServer(io.get_executor());
        auto transport = mcp::StdioTransport::make(io.get_executor());
        auto signals = std::make_shared<asio::signal_set>(io, SIGINT, SIGTERM);
        signals->async_wait([&io, server](const boost::system::error_code& error, int) {
            if (error) return;
            asio::co_spawn(io, server->stop(), reportFailure);
        });
        bool failed = false;
        asio::co_spawn(io, serve(server, transport, signals), [&failed](std::exception_ptr error) {
            failed = error != nullptr;
            reportFailure(error);
        });
        io.run();

        // Every answer has been written; disconnecting puts the descriptors' flags back.
        io.restart();
        asio::co_spawn(io, server->stop(), reportFailure);
        io.run();
        return failed ? 1 : 0;
    } catch (const std::exception& error) {
        std::cerr << "stdio_server: " << error.what() << '\n';
        return 1;
    }
}
