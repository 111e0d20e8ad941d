#include "mcp/transport/network/tcp_connection.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <utility>

namespace mcp::network {
namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

// A read asks for at most this much memory, whatever larger maximum it is given.
constexpr std::size_t kLargestRead = std::size_t{64} << 10;

}  // namespace

TCPConnection::TCPConnection(std::string host, std::string port, std::shared_ptr<Socket> socket)
    : host_(std::move(host)), port_(std::move(port)), accepted_(socket != nullptr), socket_(std::move(socket)) {}

std::shared_ptr<TCPConnection> TCPConnection::dial(std::string host, std::string port) {
    return std::shared_ptr<TCPConnection>(new TCPConnection(std::move(host), std::move(port), nullptr));
}

std::shared_ptr<TCPConnection> TCPConnection::accepted(tcp::socket socket) {
    return std::shared_ptr<TCPConnection>(new TCPConnection({}, {}, std::make_shared<Socket>(std::move(socket))));
}

void TCPConnection::report(ConnectionState state) {
    state_ = state;
    if (!handler_ || !executor_) return;
    asio::post(executor_, [handler = handler_, state] { handler(state); });
}

void TCPConnection::start(asio::any_io_executor executor) {
    executor_ = std::move(executor);
    const std::uint64_t attempt = ++attempt_;
    if (accepted_) {
        const bool first = !std::exchange(startedOnce_, true);
        report(first && socket_->is_open() ? ConnectionState{ConnectionState::Kind::ready, {}}
                                           : ConnectionState{ConnectionState::Kind::cancelled, {}});
        return;
    }
    socket_ = std::make_shared<Socket>(executor_);
    resolver_ = std::make_shared<tcp::resolver>(executor_);
    report({ConnectionState::Kind::preparing, {}});
    resolver_->async_resolve(
        host_, port_,
        [self = shared_from_this(), resolver = resolver_, attempt](const boost::system::error_code& error,
                                                                    const tcp::resolver::results_type& endpoints) {
            if (attempt != self->attempt_) return;
            if (error) {
                self->report({ConnectionState::Kind::failed, error});
                return;
            }
            self->connectTo(endpoints, attempt);
        });
}

void TCPConnection::connectTo(const tcp::resolver::results_type& endpoints, std::uint64_t attempt) {
    asio::async_connect(*socket_, endpoints,
                        [self = shared_from_this(), socket = socket_, attempt](const boost::system::error_code& error,
                                                                               const tcp::endpoint&) {
                            if (attempt != self->attempt_) return;
                            if (error) {
                                self->report({ConnectionState::Kind::failed, error});
                                return;
                            }
                            boost::system::error_code ignored;
                            socket->set_option(tcp::no_delay(true), ignored);
                            self->report({ConnectionState::Kind::ready, {}});
                        });
}

void TCPConnection::cancel() {
    ++attempt_;
    boost::system::error_code ignored;
    if (resolver_) resolver_->cancel();
    if (socket_) socket_->close(ignored);
    report({ConnectionState::Kind::cancelled, {}});
}

asio::awaitable<boost::system::error_code> TCPConnection::send(std::string_view bytes) {
    const auto socket = socket_;
    if (!socket || !socket->is_open()) co_return asio::error::not_connected;
    auto [error, written] = co_await asio::async_write(*socket, asio::buffer(bytes), asio::as_tuple(asio::use_awaitable));
    co_return error;
}

asio::awaitable<NetworkConnection::Received> TCPConnection::receive(std::size_t minimum, std::size_t maximum) {
    const auto socket = socket_;
    if (!socket || !socket->is_open()) co_return Received{{}, false, asio::error::not_connected};
    std::string content(std::max(minimum, std::min(maximum, kLargestRead)), '\0');
    auto [error, count] = co_await socket->async_read_some(asio::buffer(content), asio::as_tuple(asio::use_awaitable));
    if (error == asio::error::eof) co_return Received{{}, true, {}};
    if (error) co_return Received{{}, false, error};
    content.resize(count);
    co_return Received{std::move(content), false, {}};
}

}  // namespace mcp::network
