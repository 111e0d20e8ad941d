#include "mcp/transport/network/network_transport.hpp"

#include "mcp/protocol/mcp_error.hpp"
#include "mcp/transport/network/error_description.hpp"

#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>
#include <boost/system/system_error.hpp>

#include <utility>

namespace mcp {
namespace {

namespace asio = boost::asio;
using network::ConnectionState;

constexpr auto kFirstHeartbeatDelay = std::chrono::seconds(1);
constexpr auto kPauseAfterFailedHeartbeat = std::chrono::seconds(2);

bool isTerminal(const ConnectionState& state) {
    return state.kind == ConnectionState::Kind::ready || state.kind == ConnectionState::Kind::failed ||
           state.kind == ConnectionState::Kind::cancelled;
}

// Counts a running connect for as long as it lives.
class Counted {
public:
    explicit Counted(int& count) : count_(count) { ++count_; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    ~Counted() { --count_; }

private:
    int& count_;
};

}  // namespace

NetworkTransport::NetworkTransport(const asio::any_io_executor& executor,
                                   std::shared_ptr<network::NetworkConnection> connection, logging::Logger logger,
                                   HeartbeatConfiguration heartbeat, ReconnectionConfiguration reconnection,
                                   BufferConfiguration buffer, std::size_t maxLineBytes)
    : strand_(strandOf(executor)),
      logger_(std::move(logger)),
      heartbeatConfig_(heartbeat),
      reconnectionConfig_(reconnection),
      bufferConfig_(buffer),
      maxLineBytes_(maxLineBytes),
      connection_(std::move(connection)),
      stream_(MessageStream::make(kIncomingMessageCapacity)),
      sleeps_(std::make_shared<network::SleepSet>(strand_)) {}

std::shared_ptr<NetworkTransport> NetworkTransport::make(const asio::any_io_executor& executor,
                                                         std::shared_ptr<network::NetworkConnection> connection,
                                                         std::optional<logging::Logger> logger,
                                                         HeartbeatConfiguration heartbeat,
                                                         ReconnectionConfiguration reconnection,
                                                         BufferConfiguration buffer, std::size_t maxLineBytes) {
    return std::shared_ptr<NetworkTransport>(
        new NetworkTransport(executor, std::move(connection), givenOrSilentLogger(std::move(logger), "mcp.transport.network"),
                             heartbeat, reconnection, buffer, maxLineBytes));
}

NetworkTransport::~NetworkTransport() {
    // The loops hold the transport weakly and wait on the connection and the sleeps: ending
    // those lets them see it is gone. The strand may be running elsewhere, so post.
    stream_->finish();
    asio::post(strand_, [connection = connection_, sleeps = sleeps_] {
        sleeps->cancelAll();
        connection->cancel();
    });
}

// Connecting

asio::awaitable<void> NetworkTransport::connect() {
    auto body = [self = shared_from_this()] { return self->connectOnStrand(); };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> NetworkTransport::connectOnStrand() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (connected_) co_return;
    // Two runs would take turns at the one connection's state handler, and the one left
    // without it would wait for ever.
    if (const auto running = runningConnect_) {
        co_await running->value();
        co_return;
    }
    const auto outcome = SharedResult<std::monostate>::make();
    runningConnect_ = outcome;
    std::exception_ptr failure;
    try {
        co_await runConnectAttempts();
    } catch (...) {
        failure = std::current_exception();
    }
    runningConnect_.reset();
    if (failure) {
        outcome->fail(failure);
        std::rethrow_exception(failure);
    }
    outcome->succeed({});
}

asio::awaitable<void> NetworkTransport::runConnectAttempts() {
    const Counted running(connecting_);
    stopping_ = false;
    reconnectAttempt_ = 0;
    const std::int64_t maxAttempts = reconnectionConfig_.maxAttempts;
    while (!connected_ && reconnectAttempt_ <= maxAttempts) {
        std::exception_ptr failure;
        try {
            co_await attemptConnection();
            co_return;
        } catch (...) {
            failure = std::current_exception();
        }
        const auto cancellation = (co_await asio::this_coro::cancellation_state).cancelled();
        if (cancellation != asio::cancellation_type::none || stopping_ || !reconnectionConfig_.enabled ||
            reconnectAttempt_ >= maxAttempts) {
            std::rethrow_exception(failure);
        }
        const std::int64_t attempt = ++reconnectAttempt_;
        logger_.debug([&] {
            return "Attempting reconnection (" + std::to_string(attempt) + "/" + std::to_string(maxAttempts) + ")...";
        });
        if (!co_await sleeps_->sleepSeconds(std::chrono::duration<double>(reconnectionConfig_.backoffDelay(attempt)))) {
            throw boost::system::system_error(asio::error::operation_aborted);
        }
        connection_->cancel();
    }
    throw MCPError::internalError("Failed to connect after " + std::to_string(reconnectAttempt_) + " attempts");
}

asio::awaitable<void> NetworkTransport::attemptConnection() {
    auto states = AsyncQueue<ConnectionState>::make();
    connection_->setStateHandler([states](ConnectionState state) {
        states->push(state);
        if (isTerminal(state)) states->finish();
    });
    // The attempt watches the connection only until its first terminal state, however it ends.
    struct Unwatch {
        network::NetworkConnection& connection;
        ~Unwatch() { connection.setStateHandler({}); }
    } unwatch{*connection_};
    connection_->start(strand_);

    while (true) {
        std::optional<ConnectionState> state;
        try {
            state = co_await states->next();
        } catch (...) {
            // The caller gave up waiting: the half-made connection must not become ready later
            // with nobody to use it.
            connection_->cancel();
            throw;
        }
        if (!state) throw MCPError::internalError("Connection cancelled");
        switch (state->kind) {
            case ConnectionState::Kind::ready:
                handleConnectionReady();
                co_return;
            case ConnectionState::Kind::failed:
                logger_.error([&] { return "Connection failed: " + state->error.message(); });
                throw boost::system::system_error(state->error);
            case ConnectionState::Kind::cancelled:
                logger_.warning("Connection cancelled");
                throw MCPError::internalError("Connection cancelled");
            case ConnectionState::Kind::waiting:
                logger_.debug([&] { return "Connection waiting: " + state->error.message(); });
                break;
            case ConnectionState::Kind::preparing:
                logger_.debug("Connection preparing...");
                break;
            case ConnectionState::Kind::setup:
                logger_.debug("Connection setup...");
                break;
        }
    }
}

void NetworkTransport::handleConnectionReady() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    connected_ = true;
    reconnectAttempt_ = 0;
    const std::uint64_t generation = ++generation_;
    logger_.debug("Network transport connected successfully");
    // The handlers hold the transport weakly too, or they would keep it alive for the loops.
    const std::weak_ptr<NetworkTransport> weak = weak_from_this();
    spawnOnStrand(strand_, receiveLoop(weak, connection_, sleeps_, generation), [weak](std::exception_ptr error) {
        const auto self = weak.lock();
        if (error && self) self->logger_.error([&] { return "Receive error: " + network::errorDescription(error); });
    });
    if (heartbeatConfig_.enabled) {
        spawnOnStrand(strand_, heartbeatLoop(weak, sleeps_, generation, heartbeatConfig_.pause()),
                      [weak](std::exception_ptr error) {
                          const auto self = weak.lock();
                          if (error && self) {
                              self->logger_.warning([&] { return "Heartbeat failed: " + network::errorDescription(error); });
                          }
                      });
    }
}

// Heartbeats

asio::awaitable<void> NetworkTransport::heartbeatLoop(std::weak_ptr<NetworkTransport> weak,
                                                      std::shared_ptr<network::SleepSet> sleeps, std::uint64_t generation,
                                                      std::chrono::milliseconds pause) {
    if (!co_await sleeps->sleep(kFirstHeartbeatDelay)) co_return;
    while (true) {
        std::exception_ptr failure;
        {
            const auto self = weak.lock();
            // A newer connection runs a loop of its own.
            if (!self || self->stopping_ || !self->connected_ || self->generation_ != generation) co_return;
            try {
                co_await self->sendHeartbeat();
            } catch (...) {
                failure = std::current_exception();
            }
            if (failure) self->logger_.warning([&] { return "Heartbeat failed: " + network::errorDescription(failure); });
            // A disconnect that cut the write short has cancelled every sleep already: a
            // sleep begun now would outlast it.
            if (self->stopping_ || !self->connected_ || self->generation_ != generation) co_return;
        }
        if (!co_await sleeps->sleep(failure ? std::chrono::milliseconds(kPauseAfterFailedHeartbeat) : pause)) co_return;
    }
}

asio::awaitable<void> NetworkTransport::sendHeartbeat() {
    if (!connected_ || stopping_) co_return;
    const std::string frame = Heartbeat().data();
    const auto error = co_await write(frame);
    if (error) throw boost::system::system_error(error);
    lastHeartbeatTime_ = std::chrono::system_clock::now();
    logger_.trace("Heartbeat sent");
}

// Disconnecting

asio::awaitable<void> NetworkTransport::disconnect() {
    auto body = [self = shared_from_this()] { return self->disconnectOnStrand(); };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> NetworkTransport::disconnectOnStrand() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connected_ && connecting_ == 0 && !reconnecting_) co_return;
    connected_ = false;
    stopping_ = true;
    sleeps_->cancelAll();
    connection_->cancel();
    stream_->finish();
    logger_.debug("Network transport disconnected");
    co_return;
}

}  // namespace mcp
