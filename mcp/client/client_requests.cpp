// What the client writes: requests and their pending entries, notifications, responses.

#include "mcp/client/client.hpp"

#include "mcp/protocol/detail/error_conversion.hpp"

#include <boost/assert.hpp>

namespace mcp {

namespace asio = boost::asio;

asio::awaitable<void> Client::sendRequest(ID id, std::string method, Value message, AnyPendingRequest pending) {
    auto sending = [self = shared_from_this(), id = std::move(id), method = std::move(method),
                    message = std::move(message), pending = std::move(pending)]() mutable {
        return self->sendRequestOnStrand(std::move(id), std::move(method), std::move(message), std::move(pending));
    };
    co_await onStrand(strand_, std::move(sending));
}

asio::awaitable<void> Client::sendRequestOnStrand(ID id, std::string method, Value message,
                                                  AnyPendingRequest pending) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connection_) throw MCPError::internalError("Client connection not initialized");
    if (connectionLost_) throw MCPError::internalError("Client connection lost");
    auto outgoing = OutgoingMessage::request(writeJSON(message), id, std::move(method));
    // Registered before the bytes leave, so that even an immediate answer finds its entry.
    registerPendingRequest(id, std::move(pending));
    spawnOnStrand(strand_, transmitRequest(connection_, std::move(id), std::move(outgoing)),
                  [self = shared_from_this()](std::exception_ptr error) {
                      if (!error) return;
                      self->logger().error("Failed to send request", [&error] {
                          return logging::Logger::Metadata{{"error", detail::errorText(error)}};
                      });
                  });
    co_return;
}

asio::awaitable<void> Client::transmitRequest(std::shared_ptr<Transport> transport, ID id, OutgoingMessage message) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    std::exception_ptr failure;
    try {
        co_await transport->send(std::move(message));
    } catch (...) {
        failure = std::current_exception();
    }
    // Unless an answer, a cancellation or a disconnect came first, the failed send is the
    // request's outcome.
    if (failure) {
        if (auto request = removePendingRequest(id)) request->resume(failure);
    }
}

void Client::registerPendingRequest(const ID& id, AnyPendingRequest pending) {
    // One entry per id: a second would take the first one's place, and the first caller
    // would never hear back.
    if (!pendingRequests_.try_emplace(id, std::move(pending)).second) {
        throw MCPError::internalError("Request ID " + id.description() + " is already pending");
    }
}

std::optional<AnyPendingRequest> Client::removePendingRequest(const ID& id) {
    auto node = pendingRequests_.extract(id);
    if (!node) return std::nullopt;
    return std::move(node.mapped());
}

void Client::failPendingRequests(const MCPError& error) {
    auto pending = std::exchange(pendingRequests_, {});
    const auto failure = std::make_exception_ptr(error);
    for (auto& [id, request] : pending) request.resume(failure);
}

asio::awaitable<void> Client::sendNotification(Value message, std::string method) {
    auto sending = [self = shared_from_this(), message = std::move(message), method = std::move(method)]() mutable {
        return self->sendNotificationOnStrand(std::move(message), std::move(method));
    };
    co_await onStrand(strand_, std::move(sending));
}

asio::awaitable<void> Client::sendNotificationOnStrand(Value message, std::string method) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto transport = connection_;
    if (!transport) throw MCPError::internalError("Client connection not initialized");
    auto sending = transport->send(OutgoingMessage::notification(writeJSON(message), std::move(method)));
    co_await std::move(sending);
}

asio::awaitable<void> Client::sendResponse(const Response<AnyMethod>& response) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto transport = connection_;
    if (!transport) throw MCPError::internalError("Client connection not initialized");
    // The client answers only requests it has read, id and all.
    BOOST_ASSERT(response.id);
    auto sending = transport->sendResponse(writeJSON(encode(response)), *response.id);
    co_await std::move(sending);
}

}  // namespace mcp
