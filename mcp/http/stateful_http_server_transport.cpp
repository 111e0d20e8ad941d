#include "mcp/http/stateful_http_server_transport.hpp"

#include "eventsource/writer.hpp"
#include "mcp/http/accept_header_validator.hpp"
#include "mcp/http/content_type_validator.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/protocol/initialize.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/jsonrpc_message_kind.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/transport/strand_hop.hpp"
#include "mcp/http/origin_validator.hpp"
#include "mcp/http/protocol_version_validator.hpp"
#include "mcp/http/session_validator.hpp"
#include "mcp/http/sse_event.hpp"


#include <boost/asio/co_spawn.hpp>
#include <boost/assert.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>
#include <utility>

namespace mcp {
namespace {

namespace asio = boost::asio;

logging::Metadata requestIDMetadata(const std::string& requestID) { return {{"requestID", requestID}}; }

// A session id travels in an HTTP header, so it must be visible ASCII throughout.
bool isValidSessionID(std::string_view id) {
    return !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x21 && byte <= 0x7E;
    });
}

// The revision the client asks for: an initialize request names it in its parameters, any
// other request in its header; without either, the latest.
std::string requestedProtocolVersion(const Value& message, const HTTPRequest& request) {
    const auto* object = message.objectValue();
    const Value* method = object ? object->find("method") : nullptr;
    const Value* params = object ? object->find("params") : nullptr;
    if (method && method->stringValue() && *method->stringValue() == "initialize" && params &&
        params->objectValue()) {
        const Value* version = params->objectValue()->find("protocolVersion");
        if (version && version->stringValue()) return *version->stringValue();
    }
    if (auto header = request.header(HTTPHeaderName::protocolVersion)) return *header;
    return Version::latest();
}

}  // namespace

StatefulHTTPServerTransport::StatefulHTTPServerTransport(
    const asio::any_io_executor& executor, std::shared_ptr<SessionIDGenerator> sessionIDGenerator,
    std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline, std::optional<std::int64_t> retryInterval,
    logging::Logger logger)
    : logger_(std::move(logger)),
      sessionIDGenerator_(std::move(sessionIDGenerator)),
      validationPipeline_(std::move(validationPipeline)),
      retryInterval_(retryInterval),
      incoming_(MessageStream::make()),
      strand_(strandOf(executor)) {}

std::shared_ptr<StatefulHTTPServerTransport> StatefulHTTPServerTransport::make(
    const asio::any_io_executor& executor, std::shared_ptr<SessionIDGenerator> sessionIDGenerator,
    std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline, std::optional<std::int64_t> retryInterval,
    std::optional<logging::Logger> logger) {
    return std::shared_ptr<StatefulHTTPServerTransport>(new StatefulHTTPServerTransport(
        executor, sessionIDGenerator ? std::move(sessionIDGenerator) : std::make_shared<UUIDSessionIDGenerator>(),
        validationPipeline ? std::move(validationPipeline) : defaultValidationPipeline(), retryInterval,
        givenOrSilentLogger(std::move(logger), std::string(kLoggerLabel))));
}

std::shared_ptr<const HTTPRequestValidationPipeline> StatefulHTTPServerTransport::defaultValidationPipeline() {
    return std::make_shared<const StandardValidationPipeline>(StandardValidationPipeline::Validators{
        std::make_shared<OriginValidator>(OriginValidator::localhost(std::nullopt)),
        std::make_shared<AcceptHeaderValidator>(AcceptHeaderValidator::Mode::sseRequired),
        std::make_shared<ContentTypeValidator>(),
        std::make_shared<ProtocolVersionValidator>(),
        std::make_shared<SessionValidator>(),
    });
}

// Each public operation runs a body on strand_ (onStrand).

asio::awaitable<void> StatefulHTTPServerTransport::connect() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<void> {
        if (self->started_) throw MCPError::internalError("Transport already started");
        self->started_ = true;
        self->logger_.debug("Stateful HTTP server transport started");
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatefulHTTPServerTransport::disconnect() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<void> {
        self->terminate();
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatefulHTTPServerTransport::send(OutgoingMessage outgoing) {
    auto body = [self = shared_from_this(), message = std::move(outgoing).text()]() -> asio::awaitable<void> {
        self->route(message, std::nullopt);
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatefulHTTPServerTransport::sendRelated(std::string message, const ID& relatedRequestID) {
    auto body = [self = shared_from_this(), message = std::move(message),
                 requestID = relatedRequestID.description()]() -> asio::awaitable<void> {
        self->route(message, requestID);
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatefulHTTPServerTransport::sendResponse(std::string message, const ID& id) {
    auto body = [self = shared_from_this(), message = std::move(message),
                 requestID = id.description()]() -> asio::awaitable<void> {
        if (self->terminated_) throw MCPError::connectionClosed();
        self->routeResponse(message, requestID);
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<HTTPResponse> StatefulHTTPServerTransport::handleRequest(HTTPRequest request) {
    auto body = [self = shared_from_this(), request = std::move(request)]() -> asio::awaitable<HTTPResponse> {
        co_return self->handleRequestOnStrand(request);
    };
    co_return co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatefulHTTPServerTransport::closeSSEStream(std::string requestID) {
    auto body = [self = shared_from_this(), requestID = std::move(requestID)]() -> asio::awaitable<void> {
        self->closeRequestStream(requestID);
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<std::optional<HTTPRequest>> StatefulHTTPServerTransport::httpRequestContext(const ID& id) {
    auto body = [self = shared_from_this(),
                 requestID = id.description()]() -> asio::awaitable<std::optional<HTTPRequest>> {
        const auto found = self->httpRequestContexts_.find(requestID);
        if (found == self->httpRequestContexts_.end()) co_return std::nullopt;
        co_return found->second;
    };
    co_return co_await onStrand(strand_, std::move(body));
}

HTTPResponse StatefulHTTPServerTransport::handleRequestOnStrand(const HTTPRequest& request) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (terminated_) return refusal(404, MCPError::invalidRequest("Not Found: Session has been terminated"));
    try {
        if (equalsIgnoringCase(request.method, "POST")) return handlePOSTRequest(request);
        if (equalsIgnoringCase(request.method, "GET")) return handleGETRequest(request);
        if (equalsIgnoringCase(request.method, "DELETE")) return handleDELETERequest(request);
    } catch (const std::exception& error) {
        // Only a validator or generator that breaks its contract, or memory running out, gets
        // here; the client still gets an answer.
        return refusal(500, MCPError::internalError(std::string("Error processing request: ") + error.what()));
    }
    return refusal(405, MCPError::invalidRequest("Method Not Allowed"),
                   {{std::string(HTTPHeaderName::allow), "GET, POST, DELETE"}});
}

HTTPResponse StatefulHTTPServerTransport::handlePOSTRequest(const HTTPRequest& request) {
    if (!request.body || request.body->empty()) return refusal(400, MCPError::parseError("Empty request body"));
    // Read once, here: the server is handed the value.
    std::optional<Value> message = tryParseJSON(*request.body);
    const auto kind = message ? JSONRPCMessageKind::classifyParsed(*message) : std::nullopt;
    if (!kind) return refusal(400, MCPError::parseError("Invalid JSON-RPC message"));

    if (auto refused = validationPipeline_->validate(request, validationContext("POST", kind->isInitializeRequest()))) {
        return std::move(*refused);
    }

    if (kind->type != JSONRPCMessageKind::Type::request) {
        incoming_->push(std::move(*message));
        HTTPHeaders headers;
        if (sessionID_) headers.emplace_back(HTTPHeaderName::sessionID, *sessionID_);
        return HTTPResponse(HTTPResponse::Accepted{std::move(headers)});
    }

    const std::string requestID = kind->id.value_or("");
    // Its events would be taken for those of the standing stream on a resume.
    if (requestID == kStandaloneStreamID) {
        return refusal(400, MCPError::invalidRequest("Bad Request: Request id _GET_stream is reserved"));
    }
    // The id becomes part of the ids of its stream's events, where a line break or NUL would end
    // the field and let the rest of the id write events of its own into the client's stream.
    if (!eventsource::isValidSSEField(requestID)) {
        return refusal(400, MCPError::invalidRequest("Bad Request: Request id can't hold a line break or NUL"));
    }
    // A second stream under the same id would take the first one's place and leave its reply
    // open for good, and the server would answer only one of the two.
    if (requestsInFlight_.contains(requestID)) {
        return refusal(400, MCPError::invalidRequest("Bad Request: Duplicate request id"));
    }
    if (kind->isInitializeRequest()) return handleInitializationRequest(std::move(*message), requestID, request);
    return openRequestStream(std::move(*message), requestID, request);
}

HTTPResponse StatefulHTTPServerTransport::handleInitializationRequest(Value message,
                                                                      const std::string& requestID,
                                                                      const HTTPRequest& request) {
    if (sessionID_) return refusal(400, MCPError::invalidRequest("Bad Request: Session already initialized"));

    std::string sessionID = sessionIDGenerator_->generateSessionID();
    if (!isValidSessionID(sessionID)) {
        logger_.error("Generated session ID contains invalid characters");
        return HTTPResponse(HTTPResponse::Error{
            500, MCPError::internalError("Internal error: Invalid session ID generated"), std::nullopt, {}});
    }
    sessionID_ = std::move(sessionID);
    logger_.info("Session initialized", [&] { return logging::Metadata{{"sessionID", *sessionID_}}; });
    return openRequestStream(std::move(message), requestID, request);
}

HTTPResponse StatefulHTTPServerTransport::openRequestStream(Value message, const std::string& requestID,
                                                            const HTTPRequest& request) {
    auto stream = EventStream::make();
    requestStreams_.insert_or_assign(requestID, stream);
    httpRequestContexts_.insert_or_assign(requestID, request);
    requestsInFlight_.insert(requestID);
    // The stream is in place and primed before the server can see the request, so its
    // response always finds the stream and always follows the priming event.
    sendPrimingEvent(requestID, *stream, requestedProtocolVersion(message, request));
    incoming_->push(std::move(message));
    return streamReply(std::move(stream));
}

HTTPResponse StatefulHTTPServerTransport::handleDELETERequest(const HTTPRequest& request) {
    if (auto refused = validationPipeline_->validate(request, validationContext("DELETE", false))) {
        return std::move(*refused);
    }
    terminate();
    HTTPHeaders headers;
    if (sessionID_) headers.emplace_back(HTTPHeaderName::sessionID, *sessionID_);
    return HTTPResponse(HTTPResponse::OK{std::move(headers)});
}

void StatefulHTTPServerTransport::route(const std::string& message,
                                        const std::optional<std::string>& relatedRequestID) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (terminated_) throw MCPError::connectionClosed();
    const auto kind = JSONRPCMessageKind::classify(message);
    if (!kind) {
        logger_.warning("Could not classify outgoing message for routing");
        return;
    }
    if (kind->type == JSONRPCMessageKind::Type::response) {
        routeResponse(message, kind->id.value_or(""));
        return;
    }
    // The server's own requests and notifications go to the standing stream while one is open,
    // also when they concern a request whose stream is open. Without it, one sent while a
    // request is served goes where its client is listening anyway: that request's stream. A
    // client that never opens the standing stream would otherwise never see a tool's progress,
    // nor the sampling request the tool then waits on for good.
    if (relatedRequestID && !standaloneStream_ && requestsInFlight_.contains(*relatedRequestID)) {
        routeToRequestStream(message, *relatedRequestID);
        return;
    }
    routeServerInitiatedMessage(message);
}

void StatefulHTTPServerTransport::routeResponse(const std::string& message, const std::string& requestID) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    routeToRequestStream(message, requestID);
    if (const auto stream = requestStreams_.find(requestID); stream != requestStreams_.end()) {
        stream->second->finish();
        requestStreams_.erase(stream);
    }
    httpRequestContexts_.erase(requestID);
    requestsInFlight_.erase(requestID);
}

void StatefulHTTPServerTransport::routeToRequestStream(const std::string& message, const std::string& requestID) {
    const std::string eventID = storedEvents_.store(requestID, message);
    if (const auto stream = requestStreams_.find(requestID); stream != requestStreams_.end()) {
        stream->second->push(eventsource::encodeSSEEvent(makeMessageEvent(message, eventID)));
        return;
    }
    logger_.debug("No active stream for request, message stored for replay",
                  [&] { return requestIDMetadata(requestID); });
}

void StatefulHTTPServerTransport::closeRequestStream(const std::string& requestID) {
    const auto stream = requestStreams_.find(requestID);
    if (stream == requestStreams_.end()) return;
    stream->second->finish();
    requestStreams_.erase(stream);
    httpRequestContexts_.erase(requestID);
}

void StatefulHTTPServerTransport::terminate() {
    if (terminated_) return;
    terminated_ = true;
    logger_.info("Terminating session", [&] { return logging::Metadata{{"sessionID", sessionID_.value_or("none")}}; });

    for (auto& [streamID, stream] : std::exchange(requestStreams_, {})) stream->finish();
    httpRequestContexts_.clear();
    requestsInFlight_.clear();
    if (auto standalone = std::exchange(standaloneStream_, nullptr)) standalone->finish();
    storedEvents_.clear();
    incoming_->finish();
}

HTTPResponse StatefulHTTPServerTransport::refusal(int statusCode, MCPError error, HTTPHeaders extraHeaders) const {
    return HTTPResponse(HTTPResponse::Error{statusCode, std::move(error), sessionID_, std::move(extraHeaders)});
}

HTTPValidationContext StatefulHTTPServerTransport::validationContext(std::string httpMethod,
                                                                     bool isInitializationRequest) const {
    return HTTPValidationContext{std::move(httpMethod), sessionID_, isInitializationRequest, Version::supported()};
}

}  // namespace mcp
