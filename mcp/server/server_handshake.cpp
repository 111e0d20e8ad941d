// The handlers the server brings itself: "initialize", "ping" and "notifications/cancelled",
// and the checks of what the client declared in its handshake.

#include "mcp/server/server.hpp"

#include "mcp/protocol/utility_messages.hpp"

#include <string>

namespace mcp {

namespace asio = boost::asio;

void Server::registerDefaultHandlers(InitializeHook initializeHook) {
    // The handlers refer to the server weakly: they live in its own registry.
    withMethodHandler<Initialize>([weak = weak_from_this(), hook = std::move(initializeHook)](
                                      Initialize::Parameters params) -> asio::awaitable<Initialize::Result> {
        const auto self = weak.lock();
        if (!self) throw MCPError::internalError("Server was deallocated");
        auto result = co_await self->initialize(std::move(params), hook);
        co_return result;
    });
    withMethodHandler<Ping>([](Empty) -> asio::awaitable<Empty> { co_return Empty{}; });
}

void Server::registerCancellationHandler() {
    if (cancellationHandlerRegistered_) return;
    cancellationHandlerRegistered_ = true;
    onNotification<CancelledNotification>(
        [weak = weak_from_this()](Message<CancelledNotification> message) -> asio::awaitable<void> {
            if (const auto self = weak.lock()) self->cancelIncomingRequest(message);
            co_return;
        });
}

asio::awaitable<Initialize::Result> Server::initialize(Initialize::Parameters params, const InitializeHook& hook) {
    // A second "initialize" is refused also while the first still awaits the hook; otherwise
    // both could pass this check and both succeed.
    if (isInitialized_ || isInitializing_) throw MCPError::invalidRequest("Server is already initialized");
    isInitializing_ = true;
    if (hook) {
        std::exception_ptr failure;
        try {
            co_await hook(params.clientInfo, params.capabilities);
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            isInitializing_ = false;
            std::rethrow_exception(failure);
        }
    }
    std::string version = Version::negotiate(params.protocolVersion);
    setInitialState(std::move(params.clientInfo), std::move(params.capabilities), version);
    isInitializing_ = false;
    co_return Initialize::Result{
        .protocolVersion = std::move(version),
        .capabilities = capabilities_,
        .serverInfo = serverInfo_,
        .instructions = instructions_,
        ._meta = std::nullopt,
    };
}

void Server::setInitialState(ClientInfo clientInfo, ClientCapabilities clientCapabilities, std::string protocolVersion) {
    clientInfo_ = std::move(clientInfo);
    clientCapabilities_ = std::move(clientCapabilities);
    protocolVersion_ = std::move(protocolVersion);
    isInitialized_ = true;
}

void Server::cancelIncomingRequest(const Message<CancelledNotification>& message) {
    const auto& [requestID, reason] = message.params;
    const auto& log = logger();
    const std::string reasonText = reason.value_or("none");
    log.debug("Received cancellation notification", [&] {
        return logging::Logger::Metadata{{"requestId", requestID ? requestID->description() : "none"},
                                         {"reason", reasonText}};
    });
    if (!requestID) {
        log.warning("Received cancellation notification with no requestId (violates spec MUST)",
                    [&] { return logging::Logger::Metadata{{"reason", reasonText}}; });
        return;
    }
    const auto task = removePendingRequestTask(*requestID);
    if (!task) {
        log.trace("Cancellation notification for unknown or completed request",
                  [&] { return logging::Logger::Metadata{{"requestId", requestID->description()}}; });
        return;
    }
    task->cancelled = true;
    task->signal.emit(asio::cancellation_type::terminal);
    log.debug("Cancelled request", [&] { return logging::Logger::Metadata{{"requestId", requestID->description()}}; });
}

void Server::checkClientCapability(ClientFeature feature) const {
    if (!configuration_.strict) return;
    if (!clientCapabilities_) throw MCPError::methodNotFound("Client capabilities not initialized");
    bool declared = false;
    std::string displayName;
    switch (feature) {
        case ClientFeature::sampling:
            declared = clientCapabilities_->sampling.has_value();
            displayName = "Sampling";
            break;
        case ClientFeature::elicitation:
            declared = clientCapabilities_->elicitation.has_value();
            displayName = "Elicitation";
            break;
        case ClientFeature::roots:
            declared = clientCapabilities_->roots.has_value();
            displayName = "Roots";
            break;
    }
    if (!declared) throw MCPError::methodNotFound(displayName + " is not supported by the client");
}

}  // namespace mcp
