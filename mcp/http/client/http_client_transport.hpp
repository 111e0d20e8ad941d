#pragma once

// HTTPClientTransport: the client side of the Streamable HTTP transport, for talking to a
// remote MCP server at one endpoint URL. Every message sent becomes one HTTP POST; the
// server's answer (a JSON body, an event stream of messages, or nothing for 202) reaches the
// incoming stream unchanged. With `streaming` on, the transport also keeps the server's own
// event stream open with GET, reopening it after `retry` with "Last-Event-ID" whenever it
// ends, until the server answers 405 or the transport disconnects. An event stream answering
// a POST that ends (or breaks off) before the answers to the message's requests is resumed:
// after `retry`, a GET with that stream's last event id in "Last-Event-ID" picks it up, and
// the send returns once the answers have come.
// The transport keeps the session id the server gives it and the protocol version the
// client negotiated, and sends both on every request. With an authorizer it puts an
// "Authorization" header on every request and answers 401 and 403 challenges by posting
// again.
//
//     auto transport = HTTPClientTransport::make(executor, endpoint);
//     co_await transport->connect();
//     auto incoming = transport->receive();
//     co_await transport->send(OutgoingMessage::request(R"({"jsonrpc":"2.0","id":1,"method":"ping"})", 1, "ping"));
//     auto answer = co_await incoming->next();
//
// Redirects are not followed: a 3xx answer fails the send like any other unexpected status.
//
// An actor: every operation runs on the transport's strand; several sends may be in flight.

#include "mcp/http/client/awaited_responses.hpp"
#include "mcp/http/client/http_client_authorizer.hpp"
#include "mcp/transport/protocol_version_aware.hpp"
#include "mcp/transport/strand_hop.hpp"
#include "mcp/transport/transport.hpp"

#include "eventsource/event_stream.hpp"
#include "net/http_client.hpp"
#include "net/http_request.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/url/url.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

namespace mcp {

// How an `HTTPClientTransport` is made; every field has a usable default.
struct HTTPClientTransportOptions {
    // The HTTP client's settings: TLS authorities, limits, resolver, connector.
    net::HTTPClientOptions http;
    // Whether connect() starts listening on the server's own event stream.
    bool streaming = true;
    // How long, in seconds, the listening waits for a session id before it starts anyway.
    double sseInitializationTimeout = 10;
    // Sent as "MCP-Protocol-Version" until the client sets the negotiated version.
    std::optional<std::string> protocolVersion;
    std::shared_ptr<HTTPClientAuthorizer> authorizer;
    // Applied to every finished request just before it is sent; may change anything.
    std::function<net::HTTPRequest(net::HTTPRequest)> requestModifier;
    std::optional<logging::Logger> logger;
    // The idle timeout of every request: long, because a tool call may wait on a person
    // before its answer comes.
    std::chrono::milliseconds requestTimeout = std::chrono::minutes(11);
    // The largest JSON answer, and the longest event-stream line and event, taken in.
    std::size_t maxMessageBytes = 64 * 1024 * 1024;
    // How often the event stream answering one POST is resumed, in all, before its requests
    // fail: a server that closes the stream after every event (to be polled) needs a
    // resumption per event.
    int maxResumptions = 100;
};

class HTTPClientTransport final : public Transport,
                                  public ProtocolVersionAware,
                                  public std::enable_shared_from_this<HTTPClientTransport> {
public:
    // The label of the logger a transport makes when it is given none.
    static constexpr std::string_view kLoggerLabel = "mcp.transport.http.client";

    using Options = HTTPClientTransportOptions;

    // A transport for `endpoint`; makes no request. Throws what the HTTP client's construction
    // throws (an unreadable TLS authority).
    static std::shared_ptr<HTTPClientTransport> make(const boost::asio::any_io_executor& executor,
                                                     boost::urls::url endpoint, Options options = {});

    ~HTTPClientTransport() override;

    const logging::Logger& logger() const override { return logger_; }
    const boost::urls::url& endpoint() const noexcept { return endpoint_; }
    double sseInitializationTimeout() const noexcept { return sseInitializationTimeout_; }

    // Starts the transport, and with `streaming` the listening on the server's own stream,
    // which holds the transport until disconnect(). A second call does nothing. Throws
    // `MCPError::internalError` after disconnect(): a new connection takes a new transport.
    boost::asio::awaitable<void> connect() override;

    // Cancels every request in flight (their sends fail with the HTTP client's "cancelled"
    // error) and ends the incoming stream after what it holds. Never throws.
    boost::asio::awaitable<void> disconnect() override;

    // Posts `message` and returns once its answer has been handled: for an event stream that
    // ended before the answers to the message's requests, once its resumption brought them.
    // Throws `MCPError::internalError` with the texts of the status table ("Bad request",
    // "Session expired", "Server error: 503", ...), "Transport not connected",
    // "Authentication required" / "Access forbidden", "Authorization flow failed: ...";
    // the HTTP client's errors (cancelled, timed out, network) pass through unchanged. A
    // resumption fails with "HTTP error: <status>" when its GET is refused, and with "Event
    // stream ended before the response" after three GETs in a row that brought no new event.
    // A message holding requests fails with "No response to request <ids>: <why>" when its
    // answer ends (after any resumption, at most `maxResumptions`) without a response the
    // client can read for each of them: nothing else would ever answer them. The message's
    // requests and method are taken from what its sender tells; text alone is read for them.
    boost::asio::awaitable<void> send(OutgoingMessage message) override;

    // The incoming messages: each JSON answer whole (a batch answer is one element), and the
    // data of each event of an event stream. A message read to strike off the answers a POST
    // awaits comes as the value read, so that the client needn't read it again; the others as
    // text. The same stream on every call; it ends at disconnect().
    std::shared_ptr<MessageStream> receive() override { return incoming_; }

    boost::asio::awaitable<std::optional<std::string>> sessionID();
    boost::asio::awaitable<std::optional<std::string>> protocolVersion();
    // Sends `version` as "MCP-Protocol-Version" on every later request.
    boost::asio::awaitable<void> updateNegotiatedProtocolVersion(std::string version);
    // The client's way of calling updateNegotiatedProtocolVersion() after the handshake.
    boost::asio::awaitable<void> setNegotiatedProtocolVersion(std::string version) override {
        co_await updateNegotiatedProtocolVersion(std::move(version));
    }

    // The key of the operation, for the authorizer, of a message of `method`: the method
    // trimmed of white space, or absent for a message without one (a response, a batch) or
    // with nothing but white space.
    static std::optional<std::string> operationKey(const std::optional<std::string>& method);

private:
    HTTPClientTransport(const boost::asio::any_io_executor& executor, boost::urls::url endpoint, Options options);

    // These run on strand_.
    boost::asio::awaitable<void> sendOnStrand(OutgoingMessage message);
    // Checks the endpoint with the authorizer and lets it prepare; throws when it refuses.
    boost::asio::awaitable<void> prepareAuthorization();
    // Sets the authorizer's "Authorization" header, when it has one, then applies the
    // request modifier.
    net::HTTPRequest finish(net::HTTPRequest request);
    net::HTTPRequest postRequest(const std::string& message);
    boost::asio::awaitable<void> processResponse(net::ResponseStream response, AwaitedResponses awaited);
    void processHTTPResponse(int status, const std::string& contentType, const net::HeaderMap& headers);
    void storeSessionID(const std::optional<std::string>& id);
    void triggerInitialSessionIDSignal();

    // The reading of the transport's event streams, each an eventsource::EventStream: what
    // becomes of every event, alike on the server's own stream and on a POST's answer. The
    // subclasses open the connections and decide on reconnecting. (On strand_.)
    class EventStreamReader : public eventsource::EventStream::Handler {
    public:
        EventStreamReader(HTTPClientTransport& transport, eventsource::EventStream::Options options);

        boost::asio::awaitable<void> opened(eventsource::StreamResponse& response) override;
        boost::asio::awaitable<bool> event(eventsource::Event& event) override;
        boost::asio::awaitable<bool> refused(const eventsource::SizeLimitError& error) override;
        void chunkHandled() override;

        eventsource::EventStream stream;

    protected:
        // Whether events are still wanted at all; the first one read after that stops the
        // reading.
        virtual bool stillWanted() const = 0;
        // Whether the events of the connection read so far bring everything it was opened for.
        virtual bool satisfied() const { return false; }
        virtual bool isStandingStream() const { return false; }
        void takeAnnouncedRetry();
        // Logs the end of a body that was read to its end or stopped for want of readers.
        void logCompleted() const;

        HTTPClientTransport& transport_;
        // The stream's last non-empty event id, resumed from: an empty "id" leaves it as it
        // was (the EventStream's own id would be forgotten there). Ids belong to their stream:
        // the standing stream resumes from its own, never from one of a POST answer's stream.
        std::optional<std::string> lastEventID_;
        // Of the connection being read.
        std::int64_t eventsProcessed_ = 0;
        bool hadData_ = false;
        bool bodyOpened_ = false;
        bool answered_ = false;
        std::optional<std::int64_t> announcedRetry_;
    };
    // The server's own stream (http_client_transport_streams.cpp).
    class StandingStream;
    // A POST's answer and its resumptions (http_client_transport_resumption.cpp).
    class AnswerStream;

    // The server's own event stream (on strand_ as well).
    boost::asio::awaitable<void> startListeningForServerEvents();
    boost::asio::awaitable<void> waitForInitialSessionID();
    // One GET of the standing stream, resuming after `lastEventID` when there is one; null when
    // the transport is not connected.
    boost::asio::awaitable<std::unique_ptr<eventsource::StreamResponse>> connectToEventStream(
        const std::optional<std::string>& lastEventID);
    // A GET of an event stream, resuming after `lastEventID` when there is one.
    net::HTTPRequest eventStreamRequest(const std::optional<std::string>& lastEventID);
    // Hands the data of one event on to the incoming stream, once there is room for it.
    boost::asio::awaitable<void> passOn(std::string data);

    // The resumption of POST answers (on strand_ as well).
    // Reads the event stream answering a POST, and resumes it when it ends before `awaited`.
    boost::asio::awaitable<void> readAnswerStream(net::ResponseStream response, AwaitedResponses awaited);
    void stopListening();
    bool isListening() const noexcept { return connected_ && !listeningStopped_; }
    // "isConnected" and "isCancelled", as the listening's records show them.
    logging::Metadata listeningState() const;
    eventsource::Parser::Limits eventLimits() const noexcept {
        return {.maxLineBytes = maxMessageBytes_, .maxEventBytes = maxMessageBytes_};
    }

    const logging::Logger logger_;
    const boost::urls::url endpoint_;
    const bool streaming_;
    const double sseInitializationTimeout_;
    const std::shared_ptr<HTTPClientAuthorizer> authorizer_;
    const std::function<net::HTTPRequest(net::HTTPRequest)> requestModifier_;
    const std::chrono::milliseconds requestTimeout_;
    const std::size_t maxMessageBytes_;
    const int maxResumptions_;
    const std::shared_ptr<MessageStream> incoming_;

    // Everything below is touched only on strand_.
    Strand strand_;
    // Requests, whose answers may come as streams that hold their connections for long, and
    // the GETs of event streams.
    std::shared_ptr<net::HTTPClient> http_;
    // Messages that carry no request (answers to the server, notifications) and the
    // authorization's own exchanges, each over at once: connections of their own, so that they
    // never queue behind streams holding every connection, while those streams may wait on them.
    std::shared_ptr<net::HTTPClient> shortExchanges_;
    std::optional<std::string> sessionID_;
    std::optional<std::string> protocolVersion_;
    bool connected_ = false;
    bool disconnected_ = false;
    // True from connect() until the first session id arrives (or disconnect()).
    bool initialSessionIDSignalPending_ = false;
    // The listening's waits: for the first session id, and between two GETs. Cancelled by the
    // first session id (during the first wait) and by stopListening().
    boost::asio::steady_timer listeningWait_;
    bool waitingForSessionID_ = false;
    bool listening_ = false;
    bool listeningStopped_ = false;
    // The standing stream while it runs, stopped when the listening stops.
    EventStreamReader* standingStream_ = nullptr;
    std::int64_t retryInterval_ = 3000;
    // The answers awaited by the POSTs whose event streams are read or resumed: an answer may
    // come on any stream, the standing one too.
    std::unordered_set<AwaitedResponses*> awaitedResponses_;
    // The streams of the POST answers being read or resumed, which disconnect() stops.
    std::unordered_set<eventsource::EventStream*> answerStreams_;
};

}  // namespace mcp
