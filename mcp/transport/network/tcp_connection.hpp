#pragma once

// TCPConnection: a NetworkConnection over TCP with Asio. A dialling connection resolves and
// connects to its host and port at every `start`, with a new socket each time, since a
// cancelled or failed socket can't connect again. An accepted connection wraps a socket that a
// listener accepted: nothing can dial it again, so only its first `start` reports `ready`;
// later ones report `cancelled`. Give its transport `ReconnectionConfiguration::disabled()`.
//
//     auto connection = mcp::network::TCPConnection::dial("127.0.0.1", "8080");
//     auto transport = mcp::NetworkTransport::make(executor, connection);
//
// Used from one strand, the one given to `start`.

#include "mcp/transport/network/network_connection.hpp"

#include <boost/asio/ip/tcp.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace mcp::network {

class TCPConnection final : public NetworkConnection, public std::enable_shared_from_this<TCPConnection> {
public:
    static std::shared_ptr<TCPConnection> dial(std::string host, std::string port);
    static std::shared_ptr<TCPConnection> accepted(boost::asio::ip::tcp::socket socket);

    ConnectionState state() const override { return state_; }
    void setStateHandler(StateHandler handler) override { handler_ = std::move(handler); }
    void start(boost::asio::any_io_executor executor) override;
    void cancel() override;
    boost::asio::awaitable<boost::system::error_code> send(std::string_view bytes) override;
    boost::asio::awaitable<Received> receive(std::size_t minimum, std::size_t maximum) override;

private:
    using Socket = boost::asio::ip::tcp::socket;

    TCPConnection(std::string host, std::string port, std::shared_ptr<Socket> socket);

    void connectTo(const boost::asio::ip::tcp::resolver::results_type& endpoints, std::uint64_t attempt);
    // Records `state` and tells the handler of this moment, later, on the strand.
    void report(ConnectionState state);

    const std::string host_;
    const std::string port_;
    const bool accepted_;
    boost::asio::any_io_executor executor_;
    std::shared_ptr<Socket> socket_;
    std::shared_ptr<boost::asio::ip::tcp::resolver> resolver_;
    ConnectionState state_;
    StateHandler handler_;
    // Completions of an earlier start, arriving after a cancel, are ignored.
    std::uint64_t attempt_ = 0;
    bool startedOnce_ = false;
};

}  // namespace mcp::network
