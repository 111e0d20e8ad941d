#include "app/host/mcp_host.hpp"

#include "app/host/connection_settings.hpp"
#include "app/host/host_connection.hpp"

#include "mcp/protocol/id.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/socket_base.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>

#include <algorithm>
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
    co_await mcp::onStrand(strand_, std::move(body));
}

asio::awaitable<void> MCPHost::restart() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (retryPause_) {
        retryPause_->cancel();
        retryPause_.reset();
    }
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

    if (listen(generation, static_cast<std::uint16_t>(port))) co_return;
    retryPause_ = std::make_shared<asio::steady_timer>(strand_);
    auto retrying = [self = shared_from_this(), generation, port = static_cast<std::uint16_t>(port),
                     pause = retryPause_] { return self->retryListening(generation, port, pause); };
    asio::co_spawn(strand_, std::move(retrying), [](std::exception_ptr) {});
}

bool MCPHost::listen(std::uint64_t generation, std::uint16_t port) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    auto acceptor = std::make_shared<tcp::acceptor>(strand_);
    const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
    boost::system::error_code error;
    acceptor->open(endpoint.protocol(), error);
    // Address reuse only (never port reuse): a second program must not share the port.
    if (!error) acceptor->set_option(asio::socket_base::reuse_address(true), error);
    if (!error) acceptor->bind(endpoint, error);
    if (!error) acceptor->listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        report({generation, ListenerReport::State::failed, "Port " + std::to_string(port) + ": " + error.message()});
        return false;
    }

    acceptor_ = acceptor;
    report({generation, ListenerReport::State::ready, {}});
    auto loop = [self = shared_from_this(), acceptor] { return self->accept(acceptor); };
    // The loop ends when a restart closes its acceptor, and the restart reports that; the
    // program writes no log for anything else.
    asio::co_spawn(strand_, std::move(loop), [](std::exception_ptr) {});
    return true;
}

asio::awaitable<void> MCPHost::retryListening(std::uint64_t generation, std::uint16_t port,
                                              std::shared_ptr<asio::steady_timer> pause) {
    // Any local program can hold the port for a while (it lies in the range the system hands
    // out for outgoing connections), so a failed listener isn't given up.
    for (auto wait = limits_.firstListenRetry;; wait = std::min(2 * wait, limits_.longestListenRetry)) {
        pause->expires_after(wait);
        co_await pause->async_wait(asio::as_tuple(asio::use_awaitable));
        // A restart has taken over; a retryListeningNow cancels the wait and goes on.
        if (generation != generation_ || retryPause_ != pause) co_return;
        if (listen(generation, port)) break;
    }
    retryPause_.reset();
}

void MCPHost::retryListeningNow() {
    asio::post(strand_, [self = shared_from_this()] {
        if (self->retryPause_) self->retryPause_->cancel();
    });
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
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (connections_ >= limits_.maxConnections && !makeRoom()) {
        boost::system::error_code ignored;
        socket.close(ignored);
        return;
    }
    ++connections_;
    auto admitted = std::make_shared<Admitted>();
    const auto executor = socket.get_executor();
    // Held weakly: the reading holds this callback, and the host and the connection hold the
    // reading.
    admitted->reading = ConnectionReading::make(
        executor, [weakSelf = weak_from_this(), weakAdmitted = std::weak_ptr<Admitted>(admitted)] {
            const auto self = weakSelf.lock();
            if (!self) return;
            asio::post(self->strand_, [self, weakAdmitted] {
                if (const auto finished = weakAdmitted.lock()) self->reading_.remove(finished);
            });
        });
    reading_.push_back(admitted);

    ConnectionWork work{limits_, launchID_, {}, {}};
    work.serve = [self = shared_from_this(), token = token_](mcp::HTTPRequest request) {
        return self->dependencies_.serve(std::move(request), token);
    };
    if (const auto& check = dependencies_.checkHead) {
        work.checkHead = [check, token = token_](const mcp::HTTPRequest& head) { return check(head, token); };
    }
    auto connection = serveConnection(std::move(socket), std::move(work), admitted->reading);
    // However the connection ended, its socket is closed with its coroutine frame.
    asio::co_spawn(executor, std::move(connection), [self = shared_from_this(), admitted](std::exception_ptr) {
        asio::post(self->strand_, [self, admitted] {
            self->reading_.remove(admitted);
            if (!admitted->released) --self->connections_;
        });
    });
}

bool MCPHost::makeRoom() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // A peer that sends its request slowly, or not at all, gives way to a newer one: a few slow
    // peers can't keep everyone else out. Connections being served are never cut.
    if (reading_.empty()) return false;
    const auto oldest = reading_.front();
    reading_.pop_front();
    oldest->released = true;
    --connections_;
    oldest->reading->cut();
    return true;
}

void MCPHost::report(ListenerReport report) {
    auto& status = dependencies_.status;
    dependencies_.main.post([&status, report = std::move(report)] { status.apply(report); });
}

}  // namespace app
