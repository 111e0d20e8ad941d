#include "app/host/mcp_host.hpp"

#include "app/host/connection_settings.hpp"
#include "app/host/host_connection.hpp"

#include "mcp/protocol/id.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/as_tuple.hpp>
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
      strand_(mcp::strandOf(executor_)),
      slots_(limits.maxConnections, limits.giveWayAfter) {}

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
        // An accept loop waiting for room then finds its acceptor closed.
        if (roomWait_) roomWait_->cancel();
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
    mcp::spawnOnStrand(strand_, std::move(retrying), [](std::exception_ptr) {});
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
    mcp::spawnOnStrand(strand_, std::move(loop), [](std::exception_ptr) {});
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
        // Meanwhile the peer waits as it would in the listen queue, and the ones after it do.
        auto place = co_await waitForPlace(acceptor);
        if (!place) co_return;
        serve(std::move(socket), std::move(place));
    }
}

asio::awaitable<std::shared_ptr<ConnectionSlots::Place>> MCPHost::waitForPlace(
    const std::shared_ptr<tcp::acceptor>& acceptor) {
    for (;;) {
        auto admission = slots_.admit(ConnectionSlots::Clock::now());
        if (admission.displaced) admission.displaced->reading->cut();
        if (admission.place) co_return std::move(admission.place);

        // A close of a connection cancels the wait (wakeAcceptLoop); it is posted here, so it
        // comes after the wait has begun.
        auto wait = std::make_shared<asio::steady_timer>(strand_, admission.askAgainAt);
        roomWait_ = wait;
        co_await wait->async_wait(asio::as_tuple(asio::use_awaitable));
        if (roomWait_ == wait) roomWait_.reset();
        if (!acceptor->is_open()) co_return nullptr;
    }
}

void MCPHost::wakeAcceptLoop() {
    asio::post(strand_, [self = shared_from_this()] {
        if (self->roomWait_) self->roomWait_->cancel();
    });
}

void MCPHost::serve(tcp::socket socket, std::shared_ptr<ConnectionSlots::Place> place) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto executor = socket.get_executor();
    // Counted where it happens, on the connection's thread: nothing is handed to the host's
    // strand for it, unless the accept loop waits for room. Held weakly: the place holds the
    // reading, which holds these callbacks.
    ConnectionReading::Events events;
    events.awaitingPeer = [weakSelf = weak_from_this(), weakPlace = std::weak_ptr(place)](bool waiting) {
        const auto self = weakSelf.lock();
        const auto reading = weakPlace.lock();
        if (self && reading && self->slots_.awaitingPeer(*reading, waiting)) self->wakeAcceptLoop();
    };
    events.ended = [weakSelf = weak_from_this(), weakPlace = std::weak_ptr(place)] {
        const auto self = weakSelf.lock();
        const auto ended = weakPlace.lock();
        if (self && ended) self->slots_.readingEnded(*ended);
    };
    place->reading = ConnectionReading::make(executor, std::move(events));

    ConnectionWork work{limits_, launchID_, {}, {}};
    work.serve = [self = shared_from_this(), token = token_](mcp::HTTPRequest request) {
        return self->dependencies_.serve(std::move(request), token);
    };
    if (const auto& check = dependencies_.checkHead) {
        work.checkHead = [check, token = token_](const mcp::HTTPRequest& head) { return check(head, token); };
    }
    auto connection = serveConnection(std::move(socket), std::move(work), place->reading);
    // However the connection ended, its socket is closed with its coroutine frame.
    mcp::spawnOnStrand(mcp::strandOf(executor), std::move(connection),
                       [self = shared_from_this(), place](std::exception_ptr) {
                           if (self->slots_.closed(*place)) self->wakeAcceptLoop();
                       });
}

void MCPHost::report(ListenerReport report) {
    auto& status = dependencies_.status;
    dependencies_.main.post([&status, report = std::move(report)] { status.apply(report); });
}

}  // namespace app
