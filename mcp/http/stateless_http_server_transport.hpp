#pragma once

// StatelessHTTPServerTransport: the server side of the Streamable HTTP transport without
// sessions, event streams or GET. Every HTTP POST carries exactly one JSON-RPC message: a
// request is answered in the HTTP reply itself with the server's JSON response; a
// notification or a response from the client is acknowledged with 202 at once.
//
// The transport knows no sockets: the embedding program hands it each request as an
// `HTTPRequest` value and writes out the `HTTPResponse` it returns.
//
//     auto transport = StatelessHTTPServerTransport::make(executor);
//     co_await server->start(transport);
//     HTTPResponse response = co_await transport->handleRequest(std::move(request));
//     co_await server->stop();

#include "mcp/http/http_context_providing.hpp"
#include "mcp/http/http_validation.hpp"
#include "mcp/transport/transport.hpp"

#include "logging/logger.hpp"

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/strand.hpp>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace mcp {

class StatelessHTTPServerTransport final : public Transport,
                                           public HTTPContextProviding,
                                           public std::enable_shared_from_this<StatelessHTTPServerTransport> {
public:
    // The label of the logger a transport makes when it is given none.
    static constexpr std::string_view kLoggerLabel = "mcp.transport.http.server.stateless";

    // A new transport whose operations run on `strandOf(executor)`. Without a pipeline it
    // runs `defaultValidationPipeline()`; without a logger it logs nowhere, under
    // `kLoggerLabel`. The transport keeps a shared reference to the pipeline.
    static std::shared_ptr<StatelessHTTPServerTransport> make(
        const boost::asio::any_io_executor& executor,
        std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline = nullptr,
        std::optional<logging::Logger> logger = std::nullopt);

    // Loopback hosts and origins on any port, then Accept (JSON only), Content-Type and the
    // protocol version, in this order.
    static std::shared_ptr<const HTTPRequestValidationPipeline> defaultValidationPipeline();

    const logging::Logger& logger() const override { return logger_; }

    // Marks the transport started. Throws `MCPError::internalError("Transport already
    // started")` on a second call, also after termination.
    boost::asio::awaitable<void> connect() override;

    // Terminates the transport for good: requests still waiting for the server are answered
    // with 500, the incoming stream ends, later requests get 404 and later sends throw.
    boost::asio::awaitable<void> disconnect() override;

    // Routes one message from the server: a response goes to the HTTP request waiting under
    // its id; requests and notifications of the server have no way to the client here and
    // are dropped, as are responses nobody waits for. Throws `MCPError::connectionClosed`
    // once terminated.
    boost::asio::awaitable<void> send(OutgoingMessage message) override;

    // Routes the response to the request `id` as `send` does, without reading the message.
    boost::asio::awaitable<void> sendResponse(std::string message, const ID& id) override;

    // The client's messages, in arrival order; the same stream on every call. Messages that
    // arrive before the server reads are buffered.
    std::shared_ptr<MessageStream> receive() override { return incoming_; }

    // Answers one HTTP request: refusals for a terminated transport (404), a method other
    // than POST (405), an empty body or one that is not a single JSON-RPC message (400), then
    // whatever the validation pipeline refuses; 202 for a notification or a response; for a
    // request, 200 with the server's response once it arrives (no time-out), 400 when a
    // request with the same id is already waiting, or 500 when the transport is terminated
    // first. Never throws. Needs no `connect()`.
    boost::asio::awaitable<HTTPResponse> handleRequest(HTTPRequest request);

    // The HTTP request that carried the request `id` while the server handles it; the
    // string "5" and the number 5 name the same request.
    boost::asio::awaitable<std::optional<HTTPRequest>> httpRequestContext(const ID& id) override;

private:
    // Completed once, with the response bytes or the error that ended the wait.
    using ResponseWaiter = boost::asio::any_completion_handler<void(std::exception_ptr, std::string)>;

    StatelessHTTPServerTransport(const boost::asio::any_io_executor& executor,
                                 std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline,
                                 logging::Logger logger);

    // These run on strand_.
    boost::asio::awaitable<HTTPResponse> handleRequestOnStrand(HTTPRequest request);
    boost::asio::awaitable<HTTPResponse> handlePOSTRequest(HTTPRequest request);
    boost::asio::awaitable<HTTPResponse> handleJSONRPCRequest(Value message, std::string requestID,
                                                              HTTPRequest request);
    void route(std::string message);
    void routeResponse(const std::string& requestID, std::string message);
    void terminate();
    void resume(ResponseWaiter waiter, std::exception_ptr error, std::string response);

    const logging::Logger logger_;
    const std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline_;
    const std::shared_ptr<MessageStream> incoming_;

    // Everything below is touched only on strand_.
    boost::asio::strand<boost::asio::any_io_executor> strand_;
    bool terminated_ = false;
    bool started_ = false;
    // Keyed by request id text; a request's entries live from its hand-over to the server
    // until its response (or the termination) arrives.
    std::unordered_map<std::string, ResponseWaiter> responseWaiters_;
    std::unordered_map<std::string, HTTPRequest> httpRequestContexts_;
};

}  // namespace mcp
