#pragma once

// InMemoryTransport: two endpoints in one process, typically a server and a client, joined
// without any operating-system channel: what one side sends arrives whole, as one element, in
// the other side's receive stream.
//
//     auto [client, server] = InMemoryTransport::createConnectedPair(io.get_executor());
//     co_await client->connect();
//     co_await server->connect();
//     auto incoming = server->receive();
//     co_await client->send(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");

#include "mcp/transport/transport.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/any_io_executor.hpp>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace mcp {

class InMemoryTransport final : public Transport, public std::enable_shared_from_this<InMemoryTransport> {
public:
    // The client end and the server end of a new pair, both unconnected; each side is
    // connected by its own owner. Without a logger the two log nowhere, under the labels
    // "mcp.transport.in-memory.client" and "mcp.transport.in-memory.server". Each end holds
    // its peer weakly: once one end is destroyed, the other's sends fail.
    static std::pair<std::shared_ptr<InMemoryTransport>, std::shared_ptr<InMemoryTransport>> createConnectedPair(
        const boost::asio::any_io_executor& executor, std::optional<logging::Logger> logger = std::nullopt);

    // A transport without a peer ("mcp.transport.in-memory"); it can never connect.
    static std::shared_ptr<InMemoryTransport> make(const boost::asio::any_io_executor& executor,
                                                   std::optional<logging::Logger> logger = std::nullopt);

    const logging::Logger& logger() const override { return logger_; }

    // Throws `MCPError::internalError` when the transport has no peer; connecting twice is
    // harmless. Connecting one side does not connect the other.
    boost::asio::awaitable<void> connect() override;

    // Ends this side's stream normally and the peer's with `MCPError::connectionClosed`;
    // both sides end up unconnected and may connect again.
    boost::asio::awaitable<void> disconnect() override;

    // Delivers `message` to the peer and returns once it is queued there. A peer that has
    // not connected yet keeps the message for its first stream. Throws
    // `MCPError::internalError` when this side is not connected ("Transport not connected"),
    // the peer is gone ("No paired transport") or the peer has disconnected ("Peer not
    // connected"; the peer logs a warning): a message is never dropped silently.
    boost::asio::awaitable<void> send(OutgoingMessage message) override;

    // A new stream that first yields the messages that arrived while no stream existed, then
    // each message as it arrives. A stream made before `connect` ends at once after the
    // queued messages (later messages wait for the next stream); a second call leaves the
    // first stream open but silent.
    std::shared_ptr<MessageStream> receive() override;

private:
    InMemoryTransport(const boost::asio::any_io_executor& executor, logging::Logger logger);

    // False when this side has disconnected and so refuses the message.
    boost::asio::awaitable<bool> deliver(std::string message);
    boost::asio::awaitable<void> handlePeerDisconnection();

    // Everything below is touched only on strand_.
    Strand strand_;
    const logging::Logger logger_;
    bool paired_ = false;
    bool connected_ = false;
    bool hasConnected_ = false;
    std::weak_ptr<InMemoryTransport> peer_;
    std::deque<std::string> incoming_;
    std::shared_ptr<MessageStream> stream_;
};

}  // namespace mcp
