#pragma once

// Client::Batch: the requests of one JSON-RPC batch, gathered by the body of
// `Client::withBatch` and sent as one array.
//
//     co_await client->withBatch([&](mcp::Client::Batch& batch) -> boost::asio::awaitable<void> {
//         auto request = mcp::makeRequest<mcp::ListTools>(mcp::ID::random(), {});
//         contexts.push_back(co_await batch.addRequest(std::move(request)));   // ends with its answer
//     });
//
// Batches were dropped from the protocol in its 2025-06-18 revision, which the client's
// handshake proposes a later one of: a server may refuse them.

#include "mcp/client/client.hpp"

#include <boost/asio/awaitable.hpp>

#include <cstddef>
#include <memory>
#include <vector>

namespace mcp {

class Client::Batch {
public:
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // Adds `request` to the batch and registers it as pending at once, so that even an
    // immediate answer finds it; returns its context, whose value is the request's own
    // answer. Throws what encoding the parameters throws (the batch is unchanged then), and
    // `MCPError` internalError "Request ID <id> is already pending" for an id in use, "The
    // batch was sent already" after `withBatch`'s body returned, and "Client disconnected"
    // once the client is gone.
    template <Method M>
    boost::asio::awaitable<RequestContext<typename M::Result>> addRequest(Request<M> request) {
        using Result = typename M::Result;
        Request<AnyMethod> erased = erasedToAnyMethod(request);
        auto outcome = SharedResult<Result>::make();
        auto adding = add(std::move(erased), Client::settling(outcome));
        co_await std::move(adding);
        const auto client = client_.lock();
        if (!client) throw MCPError::internalError("Client disconnected");
        co_return client->contextOf(std::move(request.id), std::move(outcome));
    }

    // The requests added so far. On the client's strand (the body runs there).
    std::size_t size() const noexcept { return requests_.size(); }

private:
    friend class Client;

    explicit Batch(std::weak_ptr<Client> client) : client_(std::move(client)) {}

    boost::asio::awaitable<void> add(Request<AnyMethod> request, AnyPendingRequest pending);

    // Touched only on the client's strand. The batch does not keep its client alive.
    std::weak_ptr<Client> client_;
    std::vector<Request<AnyMethod>> requests_;
    bool closed_ = false;
};

}  // namespace mcp
