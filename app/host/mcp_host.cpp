#include "app/host/mcp_host.hpp"

#include "app/host/connection_settings.hpp"
#include "app/host/host_connection.hpp"

#include "mcp/protocol/id.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/socket_base.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <chrono>
#include <exception>
#include <utility>

namespace app {

namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

// How long the listener rests after a failed accept (out of descriptors, say) before the next.
constexpr auto kAcceptRetryPause = std::chrono::milliseconds(100);

std::string newLaunchID() {
    return *mcp::ID::random().stringValue();
}

}  // namespace

std::shared_ptr<MCPHost> MCPHost::make(asio::any_io_executor executor, Dependencies dependencies,
                                       HostLimits limits) {
    return std::shared_ptr<MCPHost>(new MCPHost(std::move(executor), std::move(dependencies), limits));
}

MCPHost::MCPHost(asio::any_io_executor executor, Dependencies dependencies, HostLimits limits)
    : executor_(std::move(executor)),
      dependencies_(std::move(dependencies)),
      limits_(limits),
      launchID_(newLaunchID()),
      strand_(asio::make_strand(executor_)) {}

asio::awaitable<void> MCPHost::start() {
    auto body = [self = shared_from_this()] { return self->restart(); };
    co_await asio::co_spawn(strand_, std::move(body), asio::use_awaitable);
}

asio::awaitable<void> MCPHost::restart() {
    if (acceptor_) {
        boost::system::error_code ignored;
        acceptor_->close(ignored);
        acceptor_.reset();
        report({generation_, ListenerReport::State::cancelled, {}});
    }
    const auto generation = ++generation_;

    std::int64_t port = 0;
    try {
        port = configuredPort(dependencies_.settings);
        token_ = accessToken(dependencies_.settings, dependencies_.random);
    } catch (const std::exception& error) {
        report({generation, ListenerReport::State::notCreated, error.what()});
        co_return;
    }

    auto acceptor = std::make_shared<tcp::acceptor>(strand_);
    const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), static_cast<unsigned short>(port));
    boost::system::error_code error;
    acceptor->open(endpoint.protocol(), error);
    // Address reuse only (never port reuse): a second program must not share the port.
    if (!error) acceptor->set_option(asio::socket_base::reuse_address(true), error);
    if (!error) acceptor->bind(endpoint, error);
    if (!error) acceptor->listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        report({generation, ListenerReport::State::failed, "Port " + std::to_string(port) + ": " + error.message()});
        co_return;
    }

    acceptor_ = acceptor;
    report({generation, ListenerReport::State::ready, {}});
    auto loop = [self = shared_from_this(), acceptor] { return self->accept(acceptor); };
    // The loop ends when a restart closes its acceptor, and the restart reports that; the
    // program writes no log for anything else.
    asio::co_spawn(strand_, std::move(loop), [](std::exception_ptr) {});
}

asio::awaitable<void> MCPHost::accept(std::shared_ptr<tcp::acceptor> acceptor) {
    for (;;) {
        auto [error, socket] =
            co_await acceptor->async_accept(asio::make_strand(executor_), asio::as_tuple(asio::use_awaitable));
        if (!acceptor->is_open()) co_return;
        if (error) {
            asio::steady_timer pause(strand_, kAcceptRetryPause);
            co_await pause.async_wait(asio::as_tuple(asio::use_awaitable));
            continue;
        }
        admit(std::move(socket));
    }
}

void MCPHost::admit(tcp::socket socket) {
    if (connections_ >= limits_.maxConnections) {
        boost::system::error_code ignored;
        socket.close(ignored);
        return;
    }
    ++connections_;
    auto serve = [self = shared_from_this()](mcp::HTTPRequest request) -> asio::awaitable<mcp::HTTPResponse> {
        auto token = co_await self->currentToken();
        co_return co_await self->dependencies_.serve(std::move(request), std::move(token));
    };
    auto executor = socket.get_executor();
    auto connection = serveConnection(std::move(socket), limits_, launchID_, std::move(serve));
    // However the connection ended, its socket is closed with its coroutine frame.
    asio::co_spawn(executor, std::move(connection), [self = shared_from_this()](std::exception_ptr) {
        asio::post(self->strand_, [self] { --self->connections_; });
    });
}

asio::awaitable<std::string> MCPHost::currentToken() {
    auto read = [self = shared_from_this()]() -> asio::awaitable<std::string> { co_return self->token_; };
    co_return co_await asio::co_spawn(strand_, std::move(read), asio::use_awaitable);
}

void MCPHost::report(ListenerReport report) {
    auto& status = dependencies_.status;
    dependencies_.main.post([&status, report = std::move(report)] { status.apply(report); });
}

}  // namespace app
