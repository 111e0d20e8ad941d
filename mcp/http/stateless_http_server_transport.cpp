#include "mcp/http/stateless_http_server_transport.hpp"

#include "mcp/http/accept_header_validator.hpp"
#include "mcp/http/content_type_validator.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/initialize.hpp"
#include "mcp/protocol/jsonrpc_message_kind.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/transport/strand_hop.hpp"
#include "mcp/http/origin_validator.hpp"
#include "mcp/http/protocol_version_validator.hpp"


#include <boost/asio/async_result.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/assert.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <utility>

namespace mcp {
namespace {

namespace asio = boost::asio;

HTTPResponse refusal(int statusCode, MCPError error, HTTPHeaders extraHeaders = {}) {
    return HTTPResponse(HTTPResponse::Error{statusCode, std::move(error), std::nullopt, std::move(extraHeaders)});
}

logging::Metadata requestIDMetadata(const std::string& requestID) { return {{"requestID", requestID}}; }

}  // namespace

StatelessHTTPServerTransport::StatelessHTTPServerTransport(
    const asio::any_io_executor& executor, std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline,
    logging::Logger logger)
    : logger_(std::move(logger)),
      validationPipeline_(std::move(validationPipeline)),
      incoming_(MessageStream::make()),
      strand_(strandOf(executor)) {}

std::shared_ptr<StatelessHTTPServerTransport> StatelessHTTPServerTransport::make(
    const asio::any_io_executor& executor, std::shared_ptr<const HTTPRequestValidationPipeline> validationPipeline,
    std::optional<logging::Logger> logger) {
    return std::shared_ptr<StatelessHTTPServerTransport>(new StatelessHTTPServerTransport(
        executor, validationPipeline ? std::move(validationPipeline) : defaultValidationPipeline(),
        givenOrSilentLogger(std::move(logger), std::string(kLoggerLabel))));
}

std::shared_ptr<const HTTPRequestValidationPipeline> StatelessHTTPServerTransport::defaultValidationPipeline() {
    return std::make_shared<const StandardValidationPipeline>(StandardValidationPipeline::Validators{
        std::make_shared<OriginValidator>(OriginValidator::localhost(std::nullopt)),
        std::make_shared<AcceptHeaderValidator>(AcceptHeaderValidator::Mode::jsonOnly),
        std::make_shared<ContentTypeValidator>(),
        std::make_shared<ProtocolVersionValidator>(),
    });
}

// Each public operation runs a body on strand_ (onStrand).

asio::awaitable<void> StatelessHTTPServerTransport::connect() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<void> {
        if (self->started_) throw MCPError::internalError("Transport already started");
        self->started_ = true;
        self->logger_.debug("Stateless HTTP server transport started");
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatelessHTTPServerTransport::disconnect() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<void> {
        self->terminate();
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatelessHTTPServerTransport::send(OutgoingMessage outgoing) {
    auto body = [self = shared_from_this(), message = std::move(outgoing).text()]() mutable -> asio::awaitable<void> {
        self->route(std::move(message));
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StatelessHTTPServerTransport::sendResponse(std::string message, const ID& id) {
    auto body = [self = shared_from_this(), message = std::move(message),
                 requestID = id.description()]() mutable -> asio::awaitable<void> {
        if (self->terminated_) throw MCPError::connectionClosed();
        self->routeResponse(requestID, std::move(message));
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

void StatelessHTTPServerTransport::route(std::string message) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (terminated_) throw MCPError::connectionClosed();
    const auto kind = JSONRPCMessageKind::classify(message);
    if (!kind) {
        logger_.warning("Could not classify outgoing message for routing");
        return;
    }
    const auto method = [&] { return logging::Metadata{{"method", kind->method}}; };
    switch (kind->type) {
    case JSONRPCMessageKind::Type::response:
        routeResponse(kind->id.value_or(""), std::move(message));
        return;
    case JSONRPCMessageKind::Type::request:
        logger_.debug("Server-initiated request dropped in stateless mode (no GET SSE stream)", method);
        return;
    case JSONRPCMessageKind::Type::notification:
        logger_.debug("Server-initiated notification dropped in stateless mode (no GET SSE stream)", method);
        return;
    }
}

void StatelessHTTPServerTransport::routeResponse(const std::string& requestID, std::string message) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto waiter = responseWaiters_.find(requestID);
    if (waiter == responseWaiters_.end()) {
        logger_.debug("No waiter for response, may have timed out", [&] { return requestIDMetadata(requestID); });
        return;
    }
    auto handler = std::move(waiter->second);
    responseWaiters_.erase(waiter);
    resume(std::move(handler), nullptr, std::move(message));
}

asio::awaitable<HTTPResponse> StatelessHTTPServerTransport::handleRequest(HTTPRequest request) {
    auto body = [self = shared_from_this(), request = std::move(request)]() mutable {
        return self->handleRequestOnStrand(std::move(request));
    };
    co_return co_await onStrand(strand_, std::move(body));
}

asio::awaitable<HTTPResponse> StatelessHTTPServerTransport::handleRequestOnStrand(HTTPRequest request) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (terminated_) co_return refusal(404, MCPError::invalidRequest("Not Found: Transport has been terminated"));
    if (!equalsIgnoringCase(request.method, "POST")) {
        co_return refusal(405, MCPError::invalidRequest("Method Not Allowed"),
                          {{std::string(HTTPHeaderName::allow), "POST"}});
    }
    std::optional<std::string> failure;
    try {
        auto response = co_await handlePOSTRequest(std::move(request));
        co_return response;
    } catch (const std::exception& error) {
        failure = error.what();
    }
    // Only a validator that breaks its contract, or memory running out, gets here; the client
    // still gets an answer.
    co_return refusal(500, MCPError::internalError("Error processing request: " + *failure));
}

asio::awaitable<HTTPResponse> StatelessHTTPServerTransport::handlePOSTRequest(HTTPRequest request) {
    if (!request.body || request.body->empty()) {
        co_return refusal(400, MCPError::parseError("Empty request body"));
    }
    // Read once, here: the server is handed the value, and the body stays in the request,
    // which is the context of the request's handler.
    std::optional<Value> message = tryParseJSON(*request.body);
    const auto kind = message ? JSONRPCMessageKind::classifyParsed(*message) : std::nullopt;
    if (!kind) co_return refusal(400, MCPError::parseError("Invalid JSON-RPC message"));

    const HTTPValidationContext context{"POST", std::nullopt, kind->isInitializeRequest(), Version::supported()};
    if (auto refused = validationPipeline_->validate(request, context)) co_return std::move(*refused);

    if (kind->type != JSONRPCMessageKind::Type::request) {
        incoming_->push(std::move(*message));
        co_return HTTPResponse(HTTPResponse::Accepted{});
    }
    std::string requestID = kind->id.value_or("");
    auto response = co_await handleJSONRPCRequest(std::move(*message), std::move(requestID), std::move(request));
    co_return response;
}

asio::awaitable<HTTPResponse> StatelessHTTPServerTransport::handleJSONRPCRequest(Value message,
                                                                                std::string requestID,
                                                                                HTTPRequest request) {
    // The entry lives until this request's wait ends, so it also covers a response that has
    // arrived but not yet resumed us. A second waiter under the same key would strand the
    // first, so the later request is refused instead.
    if (httpRequestContexts_.contains(requestID)) {
        co_return refusal(400, MCPError::invalidRequest("Bad Request: Duplicate request id"));
    }
    httpRequestContexts_.insert_or_assign(requestID, std::move(request));

    // The initiation runs in this strand turn: the waiter is in place before the server can
    // read the message, so its response always finds it.
    auto waitForResponse = [this, &requestID, &message](ResponseWaiter waiter) {
        responseWaiters_.emplace(requestID, std::move(waiter));
        incoming_->push(std::move(message));
    };
    std::string response;
    std::optional<std::string> failure;
    try {
        response = co_await asio::async_initiate<const asio::use_awaitable_t<>&, void(std::exception_ptr, std::string)>(
            waitForResponse, asio::use_awaitable);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    httpRequestContexts_.erase(requestID);

    if (failure) co_return refusal(500, MCPError::internalError("Error processing request: " + *failure));
    co_return HTTPResponse(
        HTTPResponse::Data{std::move(response), {{std::string(HTTPHeaderName::contentType), "application/json"}}});
}

asio::awaitable<std::optional<HTTPRequest>> StatelessHTTPServerTransport::httpRequestContext(const ID& id) {
    auto body = [self = shared_from_this(),
                 requestID = id.description()]() -> asio::awaitable<std::optional<HTTPRequest>> {
        const auto found = self->httpRequestContexts_.find(requestID);
        if (found == self->httpRequestContexts_.end()) co_return std::nullopt;
        co_return found->second;
    };
    co_return co_await onStrand(strand_, std::move(body));
}

void StatelessHTTPServerTransport::terminate() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (terminated_) return;
    terminated_ = true;
    logger_.debug("Stateless HTTP server transport terminated");

    auto waiters = std::exchange(responseWaiters_, {});
    for (auto& [requestID, waiter] : waiters) {
        resume(std::move(waiter), std::make_exception_ptr(MCPError::connectionClosed()), {});
        logger_.debug("Cancelled waiter for request", [&] { return requestIDMetadata(requestID); });
    }
    httpRequestContexts_.clear();
    incoming_->finish();
}

void StatelessHTTPServerTransport::resume(ResponseWaiter waiter, std::exception_ptr error, std::string response) {
    // Posted rather than called, so the waiting request continues in a strand turn of its own
    // and not inside the send or terminate that resumed it. Every waiter belongs to a
    // coroutine running on strand_.
    asio::post(strand_, [waiter = std::move(waiter), error, response = std::move(response)]() mutable {
        std::move(waiter)(error, std::move(response));
    });
}

}  // namespace mcp
