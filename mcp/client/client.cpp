// The client's lifecycle: connecting, the handshake and disconnecting.

#include "mcp/client/client.hpp"

#include "mcp/protocol/detail/error_conversion.hpp"
#include "mcp/transport/protocol_version_aware.hpp"

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/assert.hpp>

#include <algorithm>

namespace mcp {

namespace asio = boost::asio;

Client::Client(asio::any_io_executor executor, std::string name, std::string version, std::optional<std::string> title,
               std::optional<std::string> description, std::optional<std::string> websiteURL,
               std::optional<std::vector<Icon>> icons, Capabilities capabilities, Configuration configuration)
    : strand_(strandOf(executor)),
      clientInfo_{.name = std::move(name),
                  .title = std::move(title),
                  .version = std::move(version),
                  .description = std::move(description),
                  .websiteURL = std::move(websiteURL),
                  .icons = std::move(icons)},
      capabilities_(std::move(capabilities)),
      configuration_(configuration) {}

Client::Client(asio::any_io_executor executor, Options options)
    : Client(std::move(executor), std::move(options.name), std::move(options.version), std::move(options.title),
             std::move(options.description), std::move(options.websiteURL), std::move(options.icons),
             std::move(options.capabilities), options.configuration) {}

const logging::Logger& Client::logger() const noexcept {
    return connection_ ? connection_->logger() : silentLogger_;
}

// Connecting

asio::awaitable<Initialize::Result> Client::connect(std::shared_ptr<Transport> transport) {
    auto connecting = [self = shared_from_this(), transport = std::move(transport)]() mutable {
        return self->connectOnStrand(std::move(transport));
    };
    co_return co_await onStrand(strand_, std::move(connecting));
}

asio::awaitable<Initialize::Result> Client::connectOnStrand(std::shared_ptr<Transport> transport) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // Two connections would mean two loops answering the same server requests, and the first
    // connection's requests could never be answered once it is dropped.
    if (connection_) co_await disconnectOnStrand();
    connection_ = transport;
    connectionLost_ = false;

    std::exception_ptr connectFailure;
    try {
        co_await transport->connect();
    } catch (...) {
        connectFailure = std::current_exception();
    }
    if (connectFailure) {
        // Without a loop nothing would ever read the answer to a request sent through it; and
        // what the transport did start (a listening stream, a child's pipes) ends here.
        if (connection_ == transport) connection_.reset();
        co_await asio::this_coro::reset_cancellation_state();
        co_await transport->disconnect();
        std::rethrow_exception(connectFailure);
    }
    if (connection_ != transport) throw MCPError::internalError("Client disconnected");

    logger().debug("Client connected", [this] {
        return logging::Logger::Metadata{{"name", clientInfo_.name}, {"version", clientInfo_.version}};
    });
    startMessageLoop(transport);
    registerCancellationHandler();
    std::exception_ptr handshakeFailure;
    try {
        co_return co_await performInitialization();
    } catch (...) {
        handshakeFailure = std::current_exception();
    }
    // A connection without a handshake serves nothing, and its transport would go on listening
    // for the server: the caller gets the error and nothing to let go. A cancelled connect
    // lets it go too, so the cancellation must not cut the disconnect short.
    co_await asio::this_coro::reset_cancellation_state();
    if (connection_ == transport) co_await disconnectOnStrand();
    std::rethrow_exception(handshakeFailure);
}

void Client::startMessageLoop(std::shared_ptr<Transport> transport) {
    loop_ = std::make_shared<MessageLoop>();
    const auto slot = loop_->signal.slot();
    // The completion handler keeps the client alive for as long as the loop runs.
    spawnOnStrand(strand_, receive(std::move(transport), loop_),
                  asio::bind_cancellation_slot(slot, [self = shared_from_this()](std::exception_ptr error) {
                      if (!error) return;
                      self->logger().error("Error in message handling loop", [&error] {
                          return logging::Logger::Metadata{{"error", detail::errorText(error)}};
                      });
                  }));
}

void Client::registerCancellationHandler() {
    // Once per client: the registry outlives connections, and a second handler would only
    // find nothing left to cancel.
    if (cancellationHandlerRegistered_) return;
    cancellationHandlerRegistered_ = true;
    onNotification<CancelledNotification>(
        [weak = weak_from_this()](Message<CancelledNotification> message) -> asio::awaitable<void> {
            if (const auto self = weak.lock()) self->cancelServerRequest(message);
            co_return;
        });
}

// The handshake

namespace {

// How an unsupported protocol version is named in an error: as it came when it reads as a
// version might, else not at all, as it came from a peer that may send anything.
std::string versionText(const std::string& version) {
    constexpr std::size_t kLongestShown = 32;
    const bool printable = std::all_of(version.begin(), version.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    if (version.empty() || version.size() > kLongestShown || !printable) return "a protocol version";
    return "protocol version \"" + version + "\"";
}

}  // namespace

asio::awaitable<Initialize::Result> Client::initialize() {
    auto initializing = [self = shared_from_this()] { return self->performInitialization(); };
    co_return co_await onStrand(strand_, std::move(initializing));
}

asio::awaitable<Initialize::Result> Client::performInitialization() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    auto request = makeRequest<Initialize>(ID::random(), {.protocolVersion = Version::latest(),
                                                          .capabilities = capabilities_,
                                                          .clientInfo = clientInfo_});
    auto sending = send(std::move(request));
    const auto context = co_await std::move(sending);
    Initialize::Result result = co_await context.value();

    if (!Version::supported().contains(result.protocolVersion)) {
        // A revision this client can't speak ends the connection: going on would only talk
        // past the server, and the text would go into every later request's headers as it came.
        auto error = MCPError::internalError("The server answered with " + versionText(result.protocolVersion) +
                                             ", which this client does not support");
        co_await disconnectOnStrand();
        throw error;
    }
    serverCapabilities_ = result.capabilities;
    serverVersion_ = result.protocolVersion;
    instructions_ = result.instructions;
    if (auto* aware = dynamic_cast<ProtocolVersionAware*>(connection_.get())) {
        const auto holder = connection_;
        co_await aware->setNegotiatedProtocolVersion(result.protocolVersion);
    }
    auto notifying = notify(makeMessage<InitializedNotification>());
    co_await std::move(notifying);
    co_return result;
}

// Disconnecting

asio::awaitable<void> Client::disconnect() {
    auto disconnecting = [self = shared_from_this()] { return self->disconnectOnStrand(); };
    co_await onStrand(strand_, std::move(disconnecting));
}

asio::awaitable<void> Client::disconnectOnStrand() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // Every line goes to the logger of the connection found here, also after it is gone.
    const logging::Logger log = logger();
    log.debug("Initiating client disconnect...");

    // Taken in one step, so that whatever runs during the waits below finds no connection
    // and no pending request.
    auto loop = std::exchange(loop_, nullptr);
    auto connection = std::exchange(connection_, nullptr);
    connectionLost_ = false;
    failPendingRequests(MCPError::internalError("Client disconnected"));
    log.debug("Pending requests cancelled.");

    if (loop) {
        loop->cancelled = true;
        loop->signal.emit(asio::cancellation_type::terminal);
        log.debug("Message loop task cancellation requested.");
    }
    if (connection) {
        co_await connection->disconnect();
        log.debug("Transport disconnected.");
    }
    if (loop) {
        co_await loop->finished->value();
        log.debug("Client message loop task finished.");
    }
    log.debug("Client disconnect complete.");
}

}  // namespace mcp
