#include "examples/http_listener/session_table.hpp"

#include "mcp/http/http_header_name.hpp"

namespace example {

SessionTable::SessionTable(boost::asio::any_io_executor executor, MakeServer makeServer,
                           std::optional<std::int64_t> retryInterval)
    : executor_(std::move(executor)), makeServer_(std::move(makeServer)), retryInterval_(retryInterval) {}

boost::asio::awaitable<mcp::HTTPResponse> SessionTable::handle(mcp::HTTPRequest request) {
    if (const auto sessionID = request.header(mcp::HTTPHeaderName::sessionID)) {
        const auto session = sessions_.find(*sessionID);
        if (session == sessions_.end()) {
            co_return mcp::HTTPResponse(mcp::HTTPResponse::Error{
                404, mcp::MCPError::invalidRequest("Not Found: Invalid or expired session ID"), std::nullopt, {}});
        }
        co_return co_await session->second.transport->handleRequest(std::move(request));
    }
    auto transport = mcp::StatefulHTTPServerTransport::make(executor_, nullptr, nullptr, retryInterval_);
    auto server = makeServer_(executor_);
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

}  // namespace example
