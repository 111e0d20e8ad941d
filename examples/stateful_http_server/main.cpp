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
// tools/call "echo" or "progress" (with "_meta":{"progressToken":…} in its params), a GET for the standing stream (with "Last-Event-ID" to
// resume one), a DELETE to end the session. Port 0 picks a free port; the program prints the
// address it listens on.

#include "examples/http_listener/loopback_server.hpp"
#include "examples/http_listener/session_table.hpp"
#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/protocol/utility_messages.hpp"
#include "mcp/server/server.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace asio = boost::asio;

// "echo" returns its text; "progress" sends `count` progress notifications under the request's
// progress token (none when the request carries no token), which travel on the session's
// standing GET stream (and are kept for a resume while none is open).
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
                // Progress is reported only under the token the caller chose for this request;
                // a caller that gave none asked for no progress.
                const auto token = params._meta ? params._meta->progressToken() : std::nullopt;
                for (std::int64_t step = 1; token && step <= total; ++step) {
                    const auto notifying = weak.lock();
                    if (!notifying) break;
                    // Named before the co_await: GCC 12 destroys a temporary inside one twice.
                    auto message = mcp::makeMessage<mcp::ProgressNotification>(
                        {.progressToken = *token,
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

}  // namespace

int main(int argc, char** argv) {
    return example::serveOnLoopback("stateful_http_server", argc, argv, "Listening on ",
                                    [](const asio::any_io_executor& executor) {
                                        auto sessions = std::make_shared<example::SessionTable>(executor, makeServer);
                                        return std::make_shared<const example::RequestHandler>(
                                            [sessions](mcp::HTTPRequest request) {
                                                return sessions->handle(std::move(request));
                                            });
                                    });
}
