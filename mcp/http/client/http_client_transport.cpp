#include "mcp/http/client/http_client_transport.hpp"

#include "mcp/detail/whitespace.hpp"
#include "mcp/http/client/http_authentication_challenge_error.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include "net/error.hpp"

#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>

namespace mcp {

namespace asio = boost::asio;

namespace {

constexpr std::string_view kEventStream = "text/event-stream";
constexpr std::string_view kJSON = "application/json";

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

HTTPHeaders toHTTPHeaders(const net::HeaderMap& headers) { return {headers.begin(), headers.end()}; }

net::HeaderMap toHeaderMap(const HTTPHeaders& headers) {
    net::HeaderMap map;
    for (const auto& [name, value] : headers) map.add(name, value);
    return map;
}

MCPError unresolvedChallenge(int status) {
    return MCPError::internalError(status == 403 ? "Access forbidden" : "Authentication required");
}

}  // namespace

HTTPClientTransport::HTTPClientTransport(const asio::any_io_executor& executor, boost::urls::url endpoint,
                                         Options options)
    : logger_(givenOrSilentLogger(std::move(options.logger), std::string(kLoggerLabel))),
      endpoint_(std::move(endpoint)),
      streaming_(options.streaming),
      sseInitializationTimeout_(options.sseInitializationTimeout),
      authorizer_(std::move(options.authorizer)),
      requestModifier_(std::move(options.requestModifier)),
      requestTimeout_(options.requestTimeout),
      maxMessageBytes_(options.maxMessageBytes),
      maxResumptions_(options.maxResumptions),
      incoming_(MessageStream::make(kIncomingMessageCapacity)),
      strand_(strandOf(executor)),
      http_(net::HTTPClient::make(strand_, options.http)),
      shortExchanges_(net::HTTPClient::make(strand_, std::move(options.http))),
      protocolVersion_(std::move(options.protocolVersion)),
      listeningWait_(strand_) {}

std::shared_ptr<HTTPClientTransport> HTTPClientTransport::make(const asio::any_io_executor& executor,
                                                               boost::urls::url endpoint, Options options) {
    return std::shared_ptr<HTTPClientTransport>(new HTTPClientTransport(executor, std::move(endpoint), std::move(options)));
}

HTTPClientTransport::~HTTPClientTransport() {
    http_->shutdown();
    shortExchanges_->shutdown();
    incoming_->finish();
}

asio::awaitable<void> HTTPClientTransport::connect() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<void> {
        if (self->disconnected_) throw MCPError::internalError("Transport disconnected");
        if (self->connected_) co_return;
        self->connected_ = true;
        self->initialSessionIDSignalPending_ = true;
        // Logged first: the listening starts at once, on this strand.
        self->logger_.debug("HTTP transport connected");
        if (self->streaming_) {
            self->listening_ = true;
            spawnOnStrand(self->strand_, self->startListeningForServerEvents(), [self](std::exception_ptr error) {
                self->listening_ = false;
                if (!error) return;
                try {
                    std::rethrow_exception(error);
                } catch (const std::exception& failure) {
                    self->logger_.error([&] { return "SSE task failed: " + std::string(failure.what()); });
                }
            });
        }
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> HTTPClientTransport::disconnect() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<void> {
        if (!self->connected_) co_return;
        self->connected_ = false;
        self->disconnected_ = true;
        self->stopListening();
        for (auto* stream : self->answerStreams_) stream->stop();
        self->http_->shutdown();
        self->shortExchanges_->shutdown();
        self->incoming_->finish();
        self->initialSessionIDSignalPending_ = false;
        self->logger_.debug("HTTP clienttransport disconnected");
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<std::optional<std::string>> HTTPClientTransport::sessionID() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<std::optional<std::string>> {
        co_return self->sessionID_;
    };
    co_return co_await onStrand(strand_, std::move(body));
}

asio::awaitable<std::optional<std::string>> HTTPClientTransport::protocolVersion() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<std::optional<std::string>> {
        co_return self->protocolVersion_;
    };
    co_return co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> HTTPClientTransport::updateNegotiatedProtocolVersion(std::string version) {
    auto body = [self = shared_from_this(), version = std::move(version)]() mutable -> asio::awaitable<void> {
        self->protocolVersion_ = std::move(version);
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

std::optional<std::string> HTTPClientTransport::operationKey(const std::optional<std::string>& method) {
    if (!method) return std::nullopt;
    const auto trimmed = detail::trimWhitespace(*method);
    if (trimmed.empty()) return std::nullopt;
    return std::string(trimmed);
}

asio::awaitable<void> HTTPClientTransport::send(OutgoingMessage message) {
    auto body = [self = shared_from_this(), message = std::move(message)]() mutable {
        return self->sendOnStrand(std::move(message));
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> HTTPClientTransport::sendOnStrand(OutgoingMessage message) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connected_) throw MCPError::internalError("Transport not connected");
    co_await prepareAuthorization();
    auto outline = message.outline() ? *message.outline() : OutgoingMessage::outlineOf(message.text());
    const auto key = operationKey(outline.method);
    const AwaitedResponses awaited(std::move(outline.requestIDs));
    const int maxAttempts = authorizer_ ? authorizer_->maxAuthorizationAttempts() : 1;
    auto& http = awaited.empty() ? *shortExchanges_ : *http_;
    for (int resends = 0;; ++resends) {
        std::optional<HTTPAuthenticationChallengeError> challenge;
        try {
            auto response = co_await http.start(postRequest(message.text()));
            co_await processResponse(std::move(response), awaited);
            co_return;
        } catch (const HTTPAuthenticationChallengeError& error) {
            challenge = error;
        }
        if (!authorizer_) throw unresolvedChallenge(challenge->statusCode());
        bool again = false;
        try {
            again = co_await authorizer_->handleChallenge(challenge->statusCode(), toHeaderMap(challenge->headers()),
                                                          endpoint_, key, *shortExchanges_);
        } catch (const std::exception& error) {
            throw MCPError::internalError("Authorization flow failed: " + std::string(error.what()));
        }
        if (!again || resends + 1 >= maxAttempts) throw unresolvedChallenge(challenge->statusCode());
    }
}

asio::awaitable<void> HTTPClientTransport::prepareAuthorization() {
    if (!authorizer_) co_return;
    try {
        authorizer_->validateEndpointSecurity(endpoint_);
    } catch (const std::exception& error) {
        throw MCPError::internalError("Authorization flow failed: " + std::string(error.what()));
    }
    try {
        co_await authorizer_->prepareAuthorization(endpoint_, *shortExchanges_);
    } catch (const std::exception& error) {
        // The server decides whether the request goes through without it.
        logger_.debug([&] { return "Authorization preparation failed: " + std::string(error.what()); });
    }
}

net::HTTPRequest HTTPClientTransport::finish(net::HTTPRequest request) {
    if (authorizer_) {
        if (auto header = authorizer_->authorizationHeader(endpoint_)) {
            request.headers.set(HTTPHeaderName::authorization, std::move(*header));
        }
    }
    if (requestModifier_) return requestModifier_(std::move(request));
    return request;
}

net::HTTPRequest HTTPClientTransport::postRequest(const std::string& message) {
    net::HTTPRequest request;
    request.method = "POST";
    request.url = endpoint_;
    request.timeout = requestTimeout_;
    request.body = message;
    request.headers.add(HTTPHeaderName::accept, "application/json, text/event-stream");
    request.headers.add(HTTPHeaderName::contentType, "application/json");
    if (protocolVersion_) request.headers.add(HTTPHeaderName::protocolVersion, *protocolVersion_);
    if (sessionID_) request.headers.add(HTTPHeaderName::sessionID, *sessionID_);
    return finish(std::move(request));
}

void HTTPClientTransport::storeSessionID(const std::optional<std::string>& id) {
    if (!id) return;
    const bool first = !sessionID_;
    sessionID_ = *id;
    if (first) triggerInitialSessionIDSignal();
    logger_.debug("Session ID received", [&] { return logging::Metadata{{"sessionID", *id}}; });
}

void HTTPClientTransport::triggerInitialSessionIDSignal() {
    if (!initialSessionIDSignalPending_) {
        logger_.debug("✗ No continuation to trigger - signal already consumed or SSE task not waiting");
        return;
    }
    initialSessionIDSignalPending_ = false;
    if (waitingForSessionID_) listeningWait_.cancel();
    logger_.debug("✓ Initial session ID signal triggered for SSE task");
}

void HTTPClientTransport::processHTTPResponse(int status, const std::string& contentType,
                                              const net::HeaderMap& headers) {
    if (status >= 200 && status <= 299) return;
    switch (status) {
        case 400: throw MCPError::internalError("Bad request");
        case 401:
        case 403: throw HTTPAuthenticationChallengeError(status, toHTTPHeaders(headers));
        case 404:
            if (sessionID_) {
                logger_.warning("Session has expired");
                sessionID_.reset();
                throw MCPError::internalError("Session expired");
            }
            throw MCPError::internalError("Endpoint not found");
        case 405:
            if (streaming_) {
                stopListening();
                throw MCPError::internalError("Server does not support streaming");
            }
            throw MCPError::internalError("Method not allowed");
        case 408: throw MCPError::internalError("Request timeout");
        case 429: throw MCPError::internalError("Too many requests");
        default: break;
    }
    if (status >= 500 && status <= 599) throw MCPError::internalError("Server error: " + std::to_string(status));
    throw MCPError::internalError("Unexpected HTTP response: " + std::to_string(status) + " (" + contentType + ")");
}

asio::awaitable<void> HTTPClientTransport::processResponse(net::ResponseStream response, AwaitedResponses awaited) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const std::string contentType = response.header(HTTPHeaderName::contentType).value_or("");
    storeSessionID(response.header(HTTPHeaderName::sessionID));
    processHTTPResponse(response.status(), contentType, response.headers());
    if (contains(contentType, kEventStream)) {
        logger_.trace("Received SSE response, processing in streaming task");
        co_await readAnswerStream(std::move(response), std::move(awaited));
        co_return;
    }
    if (contains(contentType, kJSON)) {
        std::string body;
        try {
            body = co_await response.readAll(maxMessageBytes_);
        } catch (const boost::system::system_error& error) {
            if (error.code() != net::Error::bodyTooLarge) throw;
            throw MCPError::internalError("Response too large: more than " + std::to_string(maxMessageBytes_) +
                                          " bytes");
        }
        logger_.trace("Received JSON response",
                      [&] { return logging::Metadata{{"size", std::to_string(body.size())}}; });
        if (awaited.empty()) {
            incoming_->push(std::move(body));
        } else {
            auto reading = AwaitedResponses::read(std::move(body));
            awaited.strikeAnswered(reading.shape);
            incoming_->push(std::move(reading.message));
        }
        // The body was the one place its answers could come: what it lacks never comes.
        if (!awaited.empty()) throw awaited.unanswered("the answer does not hold it");
        co_return;
    }
    // The body is left unread, so its connection can't be reused.
    response.discard();
    if (!awaited.empty()) throw awaited.unanswered("the answer holds no message");
    logger_.warning([&] { return "Unexpected content type: " + contentType; });
}

}  // namespace mcp
