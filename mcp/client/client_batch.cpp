// The client's own cancellation of its requests, and batches.

#include "mcp/client/client_batch.hpp"

#include "mcp/async/cancellation_error.hpp"
#include "mcp/protocol/detail/error_conversion.hpp"

#include <boost/assert.hpp>

namespace mcp {

namespace asio = boost::asio;

// Cancellation

asio::awaitable<void> Client::cancelRequest(ID id, std::optional<std::string> reason) {
    auto cancelling = [self = shared_from_this(), id = std::move(id), reason = std::move(reason)]() mutable {
        return self->cancelRequestOnStrand(std::move(id), std::move(reason));
    };
    co_await onStrand(strand_, std::move(cancelling));
}

asio::awaitable<void> Client::cancelRequestOnStrand(ID id, std::optional<std::string> reason) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // The waiter is released first: whatever happens to the notice, it waits no longer.
    if (auto pending = removePendingRequest(id)) pending->resume(std::make_exception_ptr(CancellationError()));
    auto message = makeMessage<CancelledNotification>({.requestID = std::move(id), .reason = std::move(reason)});
    Value encoded = encode(message);
    auto sending = sendNotificationOnStrand(std::move(encoded), std::move(message.method));
    co_await std::move(sending);
}

asio::awaitable<void> Client::abandonRequestOnStrand(ID id) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // A request settled meanwhile is none of the server's business any more.
    if (!pendingRequests_.contains(id)) co_return;
    auto cancelling = cancelRequestOnStrand(std::move(id), std::nullopt);
    co_await std::move(cancelling);
}

void Client::abandonRequest(ID id) {
    spawnOnStrand(strand_, abandonRequestOnStrand(std::move(id)), [self = shared_from_this()](std::exception_ptr error) {
        if (!error) return;
        self->logger().error("Failed to send cancellation", [&error] {
            return logging::Logger::Metadata{{"error", detail::errorText(error)}};
        });
    });
}

// Batches

asio::awaitable<void> Client::Batch::add(Request<AnyMethod> request, AnyPendingRequest pending) {
    const auto client = client_.lock();
    if (!client) throw MCPError::internalError("Client disconnected");
    auto body = [](Batch& batch, std::shared_ptr<Client> owner, Request<AnyMethod> added,
                   AnyPendingRequest entry) -> asio::awaitable<void> {
        BOOST_ASSERT(owner->strand_.running_in_this_thread());
        // A request added after the batch went out would wait for an answer that never comes.
        if (batch.closed_) throw MCPError::internalError("The batch was sent already");
        owner->registerPendingRequest(added.id, std::move(entry));
        batch.requests_.push_back(std::move(added));
        co_return;
    };
    auto adding = [&batch = *this, body, client, request = std::move(request), pending = std::move(pending)]() mutable {
        return body(batch, client, std::move(request), std::move(pending));
    };
    co_await onStrand(client->strand_, std::move(adding));
}

asio::awaitable<void> Client::withBatch(std::function<asio::awaitable<void>(Batch&)> body) {
    auto batching = [self = shared_from_this(), body = std::move(body)]() mutable {
        return self->withBatchOnStrand(std::move(body));
    };
    co_await onStrand(strand_, std::move(batching));
}

asio::awaitable<void> Client::withBatchOnStrand(std::function<asio::awaitable<void>(Batch&)> body) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto transport = connection_;
    if (!transport) throw MCPError::internalError("Client connection not initialized");

    Batch batch(weak_from_this());
    std::exception_ptr failure;
    try {
        co_await body(batch);
    } catch (...) {
        failure = std::current_exception();
    }
    batch.closed_ = true;

    if (!failure && batch.requests_.empty()) {
        logger().debug("Batch requested but no requests were added.");
        co_return;
    }
    if (!failure) {
        logger().debug("Sending batch request", [&batch] {
            return logging::Logger::Metadata{{"count", std::to_string(batch.requests_.size())}};
        });
        try {
            Value::Array requests;
            std::vector<ID> ids;
            requests.reserve(batch.requests_.size());
            ids.reserve(batch.requests_.size());
            for (const auto& request : batch.requests_) {
                requests.push_back(encode(request));
                ids.push_back(request.id);
            }
            std::string bytes = writeJSON(Value(std::move(requests)));
            auto sending = transport->send(OutgoingMessage::batch(std::move(bytes), std::move(ids)));
            co_await std::move(sending);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (!failure) co_return;
    // Requests that never went out would wait for answers that never come.
    for (const auto& request : batch.requests_) {
        if (auto pending = removePendingRequest(request.id)) pending->resume(failure);
    }
    std::rethrow_exception(failure);
}

}  // namespace mcp
