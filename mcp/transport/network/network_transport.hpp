#pragma once

// NetworkTransport: MCP messages over one network connection, as newline-delimited JSON, with
// 12-byte heartbeat frames written between whole messages. It retries a connection that fails
// to open, with growing waits, and reconnects one that is lost; the message stream stays the
// same across reconnections.
//
//     auto transport = mcp::NetworkTransport::make(executor, mcp::network::TCPConnection::dial("127.0.0.1", "8080"));
//     co_await server->start(transport);
//
// The transport is an actor: its state is touched only on its strand, and its connection is
// used from there. Its loops hold it weakly, so a transport that is let go without
// `disconnect` ends its connection, its loops and its stream. A reconnection that gives up
// ends the message stream with the last error.

#include "mcp/transport/line_framer.hpp"
#include "mcp/transport/network/heartbeat.hpp"
#include "mcp/transport/network/network_configuration.hpp"
#include "mcp/transport/network/network_connection.hpp"
#include "mcp/transport/network/network_frame_reader.hpp"
#include "mcp/transport/network/sleep_set.hpp"
#include "mcp/async/shared_result.hpp"
#include "mcp/transport/transport.hpp"
#include "mcp/transport/turn_queue.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/any_io_executor.hpp>

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace mcp {

class NetworkTransport final : public Transport, public std::enable_shared_from_this<NetworkTransport> {
public:
    using Heartbeat = network::Heartbeat;
    using HeartbeatConfiguration = network::HeartbeatConfiguration;
    using ReconnectionConfiguration = network::ReconnectionConfiguration;
    using BufferConfiguration = network::BufferConfiguration;

    // A transport over `connection`, on a strand of `executor`; it does not start the
    // connection. Without a logger it logs nowhere, under the label "mcp.transport.network".
    // A line longer than `maxLineBytes` is refused (logged) and skipped.
    static std::shared_ptr<NetworkTransport> make(
        const boost::asio::any_io_executor& executor, std::shared_ptr<network::NetworkConnection> connection,
        std::optional<logging::Logger> logger = std::nullopt,
        HeartbeatConfiguration heartbeat = HeartbeatConfiguration::defaultConfiguration(),
        ReconnectionConfiguration reconnection = ReconnectionConfiguration::defaultConfiguration(),
        BufferConfiguration buffer = BufferConfiguration::defaultConfiguration(),
        std::size_t maxLineBytes = LineFramer::kDefaultMaxLineBytes);

    ~NetworkTransport() override;

    const logging::Logger& logger() const override { return logger_; }

    // Connects, retrying as configured: at most `maxAttempts` + 1 attempts, waiting
    // `backoffDelay(n)` before retry n. Returns once the connection is ready, at once when
    // connected. Throws the last attempt's error: `boost::system::system_error` with the
    // connection's error when it failed, `MCPError::internalError("Connection cancelled")`
    // when it was cancelled; and `operation_aborted` when the awaiting coroutine was
    // cancelled or `disconnect` cut a wait short. A connect while another one (or a
    // reconnection) is under way joins it and ends with its outcome.
    boost::asio::awaitable<void> connect() override;

    // Stops everything: retries under way, heartbeats, the connection and the receive loop;
    // ends the message stream normally. Does nothing when the transport is neither
    // connected nor connecting.
    boost::asio::awaitable<void> disconnect() override;

    // Writes `message` and a line feed as one write, after earlier writes. Throws
    // `MCPError::internalError("Transport not connected")` while not connected (also during a
    // reconnection), and `MCPError::internalError("Send error: ...")` when the write fails;
    // a write that finds the connection reset or not connected starts a reconnection.
    boost::asio::awaitable<void> send(OutgoingMessage message) override;

    // The incoming messages, one element per non-empty line, over every connection the
    // transport makes; the same stream on every call.
    std::shared_ptr<MessageStream> receive() override { return stream_; }

private:
    NetworkTransport(const boost::asio::any_io_executor& executor, std::shared_ptr<network::NetworkConnection> connection,
                     logging::Logger logger, HeartbeatConfiguration heartbeat, ReconnectionConfiguration reconnection,
                     BufferConfiguration buffer, std::size_t maxLineBytes);

    // Lifecycle (network_transport.cpp).
    boost::asio::awaitable<void> connectOnStrand();
    boost::asio::awaitable<void> runConnectAttempts();
    boost::asio::awaitable<void> attemptConnection();
    void handleConnectionReady();
    boost::asio::awaitable<void> sendHeartbeat();
    boost::asio::awaitable<void> disconnectOnStrand();
    static boost::asio::awaitable<void> heartbeatLoop(std::weak_ptr<NetworkTransport> weak,
                                                      std::shared_ptr<network::SleepSet> sleeps,
                                                      std::uint64_t generation, std::chrono::milliseconds pause);

    // Sending, receiving and reconnecting (network_transport_io.cpp).
    boost::asio::awaitable<void> sendOnStrand(std::string bytes);
    boost::asio::awaitable<boost::system::error_code> write(std::string_view bytes);
    static boost::asio::awaitable<void> receiveLoop(std::weak_ptr<NetworkTransport> weak,
                                                    std::shared_ptr<network::NetworkConnection> connection,
                                                    std::shared_ptr<network::SleepSet> sleeps, std::uint64_t generation);
    void deliverFrames(network::NetworkFrameReader& reader, std::string_view chunk);
    void handleReceiveFailure(std::exception_ptr failure);
    void startReconnection(std::chrono::duration<double> delay);
    static boost::asio::awaitable<void> reconnect(std::weak_ptr<NetworkTransport> weak,
                                                  std::shared_ptr<network::SleepSet> sleeps,
                                                  std::chrono::duration<double> delay);

    // Everything below is touched only on strand_.
    Strand strand_;
    const logging::Logger logger_;
    const HeartbeatConfiguration heartbeatConfig_;
    const ReconnectionConfiguration reconnectionConfig_;
    const BufferConfiguration bufferConfig_;
    const std::size_t maxLineBytes_;
    const std::shared_ptr<network::NetworkConnection> connection_;
    const std::shared_ptr<MessageStream> stream_;
    const std::shared_ptr<network::SleepSet> sleeps_;
    // Messages and heartbeats take turns, so a heartbeat never lands inside a message.
    TurnQueue writes_;

    bool connected_ = false;
    bool stopping_ = false;
    // One reconnection at a time: a failed send and a failed read of the same lost connection
    // must not both restart it.
    bool reconnecting_ = false;
    int connecting_ = 0;
    // The outcome of the connect under way, which a second connect (the program's, or a
    // reconnection's) awaits instead of starting attempts of its own on the same connection.
    std::shared_ptr<SharedResult<std::monostate>> runningConnect_;
    std::int64_t reconnectAttempt_ = 0;
    // Counts ready connections; the loops of an earlier one end when it changes.
    std::uint64_t generation_ = 0;
    std::optional<std::chrono::system_clock::time_point> lastHeartbeatTime_;
};

}  // namespace mcp
