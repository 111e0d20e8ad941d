#pragma once

// StatefulHTTPServerTransport: the server side of the Streamable HTTP transport with a
// session. The first POST, an "initialize" request, opens the session and hands the client
// its id in "MCP-Session-Id"; every later request must carry it. Each client request is
// answered at once with a Server-Sent Events stream of its own, on which the server's
// response arrives later, after which the stream ends. Notifications and responses from the
// client get 202. A GET opens the one standing stream that carries the server's own requests
// and notifications; while none is open, those the server sends while it serves a request
// (progress, log lines, sampling and the like, sent with `sendRelated`) travel on that
// request's stream instead, since a client needn't open the standing one. A GET with
// "Last-Event-ID" resumes a broken stream by replaying what the client missed. DELETE ends
// the session.
//
// The transport knows no sockets: the embedding HTTP server hands it each request as an
// `HTTPRequest` and writes out the `HTTPResponse` it returns, writing a stream reply's chunks
// as they come and ending the reply when the stream ends. One transport holds at most one
// session for its whole life; serving several clients takes a transport and a server per
// session.
//
//     auto transport = StatefulHTTPServerTransport::make(executor);
//     co_await server->start(transport);
//     HTTPResponse response = co_await transport->handleRequest(std::move(request));
//     // ... write it out; later requests of the session go to the same transport.

#include "mcp/http/detail/event_store.hpp"
#include "mcp/http/http_context_providing.hpp"
#include "mcp/http/http_validation.hpp"
#include "mcp/http/session_id_generator.hpp"
#include "mcp/transport/transport.hpp"

#include "logging/logger.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/strand.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace mcp {

class StatefulHTTPServerTransport final : public Transport,
                                          public HTTPContextProviding,
                                          public std::enable_shared_from_this<StatefulHTTPServerTransport> {
public:
    // The label of the logger a transport makes when it is given none.
    static constexpr std::string_view kLoggerLabel = "mcp.transport.http.server.stateful";
    // The stream id of the standing GET stream. No client request may use it as its id.
    static constexpr std::string_view kStandaloneStreamID = "_GET_stream";
    // How many of the newest events a session keeps for resumption.
    static constexpr std::size_t kMaxStoredEvents = 1000;

    // A new transport whose operations run on `strandOf(executor)`. It asks
    // `sessionIDGenerator` for the session id (a fresh UUID when none is given); without a
    // pipeline it runs `defaultValidationPipeline()`; `retryInterval` (milliseconds) goes
    // into every priming event's "retry" field when given; without a logger it logs nowhere,
    // under `kLoggerLabel`. The transport keeps shared references to the generator and the
    // pipeline.
    static std::shared_ptr<StatefulHTTPServerTransport> make(
        const boost::asio::any_io_executor& executor,
        std::shared_ptr<SessionIDGenerator> sessionIDGenerator = nullptr,
        std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline = nullptr,
        std::optional<std::int64_t> retryInterval = std::nullopt,
        std::optional<logging::Logger> logger = std::nullopt);

    // Loopback hosts and origins on any port, then Accept (JSON and event stream), Content-Type,
    // the protocol version and the session, in this order.
    static std::shared_ptr<const HTTPRequestValidationPipeline> defaultValidationPipeline();

    const logging::Logger& logger() const override { return logger_; }

    // Marks the transport started. Throws `MCPError::internalError("Transport already
    // started")` on a second call, also after termination.
    boost::asio::awaitable<void> connect() override;

    // Terminates the session for good: every open stream ends, the stored events are
    // forgotten, the incoming stream ends, later requests get 404 and later sends throw.
    boost::asio::awaitable<void> disconnect() override;

    // Routes one message from the server: a response to the stream of its request (which
    // then ends), a request or notification to the standing GET stream. Every routed message
    // is stored for replay, also when its stream isn't open. Unclassifiable messages are
    // dropped. Throws `MCPError::connectionClosed` once terminated.
    boost::asio::awaitable<void> send(OutgoingMessage message) override;

    // Routes the response to the request `id` as `send` does, without reading the message.
    boost::asio::awaitable<void> sendResponse(std::string message, const ID& id) override;

    // Routes a request or notification sent while the client's request `relatedRequestID` is
    // served: to the standing GET stream when one is open, as `send` does; otherwise to the
    // stream of that request while it awaits its response (stored with that stream's events,
    // so that a resume of it replays the message). A response, or a request already
    // answered, is routed as `send` routes it.
    boost::asio::awaitable<void> sendRelated(std::string message, const ID& relatedRequestID) override;

    // The client's messages, in arrival order; the same stream on every call.
    std::shared_ptr<MessageStream> receive() override { return incoming_; }

    // Answers one HTTP request of the session: POST, GET and DELETE as described above;
    // 404 once terminated, 405 for other methods, 400 for a missing or malformed body, then
    // whatever the validation pipeline refuses. A request whose id is "_GET_stream", or whose
    // id is that of a request still in flight, gets 400. Never throws; needs no `connect()`;
    // never waits for the server.
    boost::asio::awaitable<HTTPResponse> handleRequest(HTTPRequest request);

    // Ends the stream of request `requestID`, if one is open, for instance when its client
    // has gone. The response, when it comes, is stored for a resume.
    boost::asio::awaitable<void> closeSSEStream(std::string requestID);

    // The HTTP request that carried the request `id` while its stream is open; the string
    // "5" and the number 5 name the same request.
    boost::asio::awaitable<std::optional<HTTPRequest>> httpRequestContext(const ID& id) override;

private:
    using EventStream = AsyncQueue<std::string>;

    StatefulHTTPServerTransport(const boost::asio::any_io_executor& executor,
                                std::shared_ptr<SessionIDGenerator> sessionIDGenerator,
                                std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline,
                                std::optional<std::int64_t> retryInterval, logging::Logger logger);

    // Everything below runs on strand_, each call within one strand turn.

    // Sessions and request streams (stateful_http_server_transport.cpp).
    HTTPResponse handleRequestOnStrand(const HTTPRequest& request);
    HTTPResponse handlePOSTRequest(const HTTPRequest& request);
    HTTPResponse handleInitializationRequest(Value message, const std::string& requestID,
                                             const HTTPRequest& request);
    HTTPResponse openRequestStream(Value message, const std::string& requestID, const HTTPRequest& request);
    HTTPResponse handleDELETERequest(const HTTPRequest& request);
    // relatedRequestID: the request being served when the server sent the message, if known.
    void route(const std::string& message, const std::optional<std::string>& relatedRequestID);
    void routeToRequestStream(const std::string& message, const std::string& requestID);
    void routeResponse(const std::string& message, const std::string& requestID);
    void closeRequestStream(const std::string& requestID);
    void terminate();

    // The standing stream and resumption (stateful_http_server_transport_streams.cpp).
    HTTPResponse handleGETRequest(const HTTPRequest& request);
    void routeServerInitiatedMessage(const std::string& message);
    HTTPResponse resumeStream(const std::string& lastEventID, const HTTPRequest& request);
    void sendPrimingEvent(const std::string& streamID, EventStream& stream, std::string_view protocolVersion);
    HTTPResponse streamReply(std::shared_ptr<EventStream> stream) const;
    HTTPResponse refusal(int statusCode, MCPError error, HTTPHeaders extraHeaders = {}) const;
    HTTPValidationContext validationContext(std::string httpMethod, bool isInitializationRequest) const;

    const logging::Logger logger_;
    const std::shared_ptr<SessionIDGenerator> sessionIDGenerator_;
    const std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline_;
    const std::optional<std::int64_t> retryInterval_;
    const std::shared_ptr<MessageStream> incoming_;

    // Everything below is touched only on strand_.
    boost::asio::strand<boost::asio::any_io_executor> strand_;
    // Set once by a successful initialize and kept after termination, so that refusals can
    // still name the session.
    std::optional<std::string> sessionID_;
    bool terminated_ = false;
    bool started_ = false;
    // Keyed by stream id, which for a request stream is its request id text.
    std::unordered_map<std::string, std::shared_ptr<EventStream>> requestStreams_;
    std::unordered_map<std::string, HTTPRequest> httpRequestContexts_;
    // The ids of the client requests handed to the server and not yet answered; a second
    // request under one of these ids would share its stream and its answer.
    std::unordered_set<std::string> requestsInFlight_;
    std::shared_ptr<EventStream> standaloneStream_;
    detail::EventStore storedEvents_{kMaxStoredEvents};
};

}  // namespace mcp
