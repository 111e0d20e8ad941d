#include "mcp/transport/in_memory_transport.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

namespace mcp {
namespace {

logging::Metadata sizeOf(const std::string& message) { return {{"size", std::to_string(message.size())}}; }

}  // namespace

InMemoryTransport::InMemoryTransport(const boost::asio::any_io_executor& executor, logging::Logger logger)
    : strand_(strandOf(executor)), logger_(std::move(logger)) {}

std::shared_ptr<InMemoryTransport> InMemoryTransport::make(const boost::asio::any_io_executor& executor,
                                                           std::optional<logging::Logger> logger) {
    return std::shared_ptr<InMemoryTransport>(
        new InMemoryTransport(executor, givenOrSilentLogger(std::move(logger), "mcp.transport.in-memory")));
}

std::pair<std::shared_ptr<InMemoryTransport>, std::shared_ptr<InMemoryTransport>> InMemoryTransport::createConnectedPair(
    const boost::asio::any_io_executor& executor, std::optional<logging::Logger> logger) {
    std::shared_ptr<InMemoryTransport> client(
        new InMemoryTransport(executor, givenOrSilentLogger(logger, "mcp.transport.in-memory.client")));
    std::shared_ptr<InMemoryTransport> server(
        new InMemoryTransport(executor, givenOrSilentLogger(logger, "mcp.transport.in-memory.server")));
    // Neither transport is in use yet, so setting the peers needs no strand.
    client->peer_ = server;
    client->paired_ = true;
    server->peer_ = client;
    server->paired_ = true;
    return {client, server};
}

boost::asio::awaitable<void> InMemoryTransport::connect() {
    auto body = [self = shared_from_this()]() -> boost::asio::awaitable<void> {
        if (self->connected_) {
            self->logger_.debug("Transport already connected");
            co_return;
        }
        if (!self->paired_) {
            throw MCPError::internalError("Transport not paired. Use createConnectedPair() to create paired transports.");
        }
        self->connected_ = true;
        self->hasConnected_ = true;
        self->logger_.info("Transport connected successfully");
    };
    co_await onStrand(strand_, std::move(body));
}

boost::asio::awaitable<void> InMemoryTransport::disconnect() {
    auto body = [self = shared_from_this()]() -> boost::asio::awaitable<void> {
        if (!self->connected_) co_return;
        self->connected_ = false;
        if (self->stream_) {
            self->stream_->finish();
            self->stream_.reset();
        }
        if (auto peer = self->peer_.lock()) co_await peer->handlePeerDisconnection();
        self->logger_.info("Transport disconnected");
    };
    co_await onStrand(strand_, std::move(body));
}

boost::asio::awaitable<void> InMemoryTransport::handlePeerDisconnection() {
    auto body = [self = shared_from_this()]() -> boost::asio::awaitable<void> {
        // Behind the deliveries and receive() calls already queued, as in deliver().
        co_await boost::asio::post(boost::asio::use_awaitable);
        if (!self->connected_) co_return;
        if (self->stream_) {
            self->stream_->finish(std::make_exception_ptr(MCPError::connectionClosed()));
            self->stream_.reset();
        }
        self->connected_ = false;
        self->logger_.info("Peer transport disconnected");
        co_return;
    };
    co_await onStrand(strand_, std::move(body));
}

boost::asio::awaitable<void> InMemoryTransport::send(OutgoingMessage outgoing) {
    auto body = [self = shared_from_this(), message = std::move(outgoing).text()]() mutable -> boost::asio::awaitable<void> {
        if (!self->connected_) throw MCPError::internalError("Transport not connected");
        auto peer = self->peer_.lock();
        if (!peer) throw MCPError::internalError("No paired transport");
        self->logger_.debug("Sending message", [&] { return sizeOf(message); });
        if (!co_await peer->deliver(std::move(message))) throw MCPError::internalError("Peer not connected");
    };
    co_await onStrand(strand_, std::move(body));
}

boost::asio::awaitable<bool> InMemoryTransport::deliver(std::string message) {
    auto body = [self = shared_from_this(), message = std::move(message)]() mutable -> boost::asio::awaitable<bool> {
        // onStrand runs the body at once when the caller already stands in this strand's
        // context (after a completion dispatched from it, or a peer on the same strand); going to
        // the back of the queue keeps a delivery behind a receive() posted before it.
        co_await boost::asio::post(boost::asio::use_awaitable);
        // A side that has never connected keeps what arrives for its first stream, as a socket
        // buffers for a peer that has yet to read; one that has disconnected takes nothing.
        if (!self->connected_ && self->hasConnected_) {
            self->logger_.warning("Received message while disconnected");
            co_return false;
        }
        self->logger_.debug("Message received", [&] { return sizeOf(message); });
        if (self->stream_) {
            self->stream_->push(std::move(message));
        } else {
            self->incoming_.push_back(std::move(message));
        }
        co_return true;
    };
    co_return co_await onStrand(strand_, std::move(body));
}

std::shared_ptr<MessageStream> InMemoryTransport::receive() {
    auto stream = MessageStream::make();
    // Posted, not run here: the strand runs it before any delivery posted after this call,
    // so no message can slip between the queued ones and the new stream.
    boost::asio::post(strand_, [self = shared_from_this(), stream] {
        while (!self->incoming_.empty()) {
            stream->push(std::move(self->incoming_.front()));
            self->incoming_.pop_front();
        }
        // A stream made before connecting ends here; what arrives later waits for the next
        // stream instead of vanishing into this finished one.
        if (self->connected_) {
            self->stream_ = stream;
        } else {
            stream->finish();
        }
    });
    return stream;
}

}  // namespace mcp
