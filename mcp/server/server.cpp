#include "mcp/server/server.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/detail/error_conversion.hpp"
#include "mcp/protocol/utility_messages.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/assert.hpp>

#include <stdexcept>

namespace mcp {

namespace asio = boost::asio;

namespace {

// Hands `bytes` to `transport`: as the answer to `answering`, or as a message sent while
// `relatedRequestID` is served, or plainly.
asio::awaitable<void> sendOver(Transport& transport, std::string bytes, const std::optional<ID>& answering,
                               const std::optional<ID>& relatedRequestID) {
    if (answering) {
        co_await transport.sendResponse(std::move(bytes), *answering);
    } else if (relatedRequestID) {
        co_await transport.sendRelated(std::move(bytes), *relatedRequestID);
    } else {
        co_await transport.send(std::move(bytes));
    }
}

}  // namespace

Server::Server(asio::any_io_executor executor, std::string name, std::string version, std::optional<std::string> title,
               std::optional<std::string> instructions, Capabilities capabilities, Configuration configuration)
    : strand_(strandOf(executor)),
      serverInfo_{.name = std::move(name), .title = std::move(title), .version = std::move(version)},
      instructions_(std::move(instructions)),
      capabilities_(std::move(capabilities)),
      configuration_(configuration) {}

std::size_t Server::notificationHandlerCount(std::string_view method) const {
    const auto handlers = notificationHandlers_.find(std::string(method));
    return handlers == notificationHandlers_.end() ? 0 : handlers->second.size();
}

const logging::Logger& Server::logger() const noexcept {
    return connection_ ? connection_->logger() : silentLogger_;
}

// Lifecycle

asio::awaitable<void> Server::start(std::shared_ptr<Transport> transport, InitializeHook initializeHook) {
    auto starting = [self = shared_from_this(), transport = std::move(transport),
                     hook = std::move(initializeHook)]() mutable {
        return self->startOnStrand(std::move(transport), std::move(hook));
    };
    co_await onStrand(strand_, std::move(starting));
}

asio::awaitable<void> Server::startOnStrand(std::shared_ptr<Transport> transport, InitializeHook initializeHook) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // Two loops on one server would answer every message twice.
    if (hasStarted_) throw std::logic_error("Server already started");
    hasStarted_ = true;
    connection_ = transport;
    registerDefaultHandlers(std::move(initializeHook));
    registerCancellationHandler();

    std::exception_ptr connectFailure;
    try {
        co_await transport->connect();
    } catch (...) {
        connectFailure = std::current_exception();
    }
    if (connectFailure) {
        hasStarted_ = false;
        std::rethrow_exception(connectFailure);
    }

    logger().debug("Server started", [this] {
        return logging::Logger::Metadata{{"name", name()}, {"version", version()}};
    });
    loop_ = std::make_shared<ReceiveLoop>();
    // The completion handler keeps the server alive for as long as the loop runs.
    spawnOnStrand(strand_, receive(transport, loop_),
                  asio::bind_cancellation_slot(loop_->signal.slot(), [self = shared_from_this()](std::exception_ptr error) {
                      if (!error) return;
                      self->logger().error("Fatal error in message handling loop", [&error] {
                          return logging::Logger::Metadata{{"error", detail::errorText(error)}};
                      });
                  }));
}

asio::awaitable<void> Server::stop() {
    auto stopping = [self = shared_from_this()] { return self->stopOnStrand(); };
    co_await onStrand(strand_, std::move(stopping));
}

asio::awaitable<void> Server::stopOnStrand() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (loop_) {
        loop_->cancelled = true;
        if (loop_->awaitingMessage) loop_->signal.emit(asio::cancellation_type::terminal);
        loop_.reset();
    }
    auto pending = std::exchange(pendingRequests_, {});
    for (auto& [id, request] : pending) {
        request.resume(std::make_exception_ptr(MCPError::internalError("Server disconnected")));
    }
    if (const auto transport = connection_) co_await transport->disconnect();
    connection_.reset();
    hasStarted_ = false;
}

asio::awaitable<void> Server::waitUntilCompleted() {
    auto waiting = [self = shared_from_this()] { return self->waitOnStrand(); };
    co_await onStrand(strand_, std::move(waiting));
}

asio::awaitable<void> Server::waitOnStrand() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto loop = loop_;
    if (!loop || loop->finished) co_return;
    auto initiation = [loop](auto waiter) { loop->waiters.emplace_back(std::move(waiter)); };
    co_await asio::async_initiate<decltype(asio::use_awaitable), void()>(std::move(initiation), asio::use_awaitable);
}

// Writing

asio::awaitable<void> Server::sendOnStrand(Value message, std::optional<ID> relatedRequestID) {
    auto sending = [self = shared_from_this(), message = std::move(message),
                    relatedRequestID = std::move(relatedRequestID)]() mutable {
        return self->sendMessage(std::move(message), std::nullopt, std::move(relatedRequestID));
    };
    co_await onStrand(strand_, std::move(sending));
}

asio::awaitable<void> Server::sendMessage(Value message, std::optional<ID> answering,
                                          std::optional<ID> relatedRequestID) {
    if (!connection_) throw MCPError::internalError("Server connection not initialized");
    return sendBytes(writeJSON(message, KeyOrder::sorted), std::move(answering), std::move(relatedRequestID));
}

asio::awaitable<void> Server::sendBytes(std::string bytes, std::optional<ID> answering,
                                        std::optional<ID> relatedRequestID) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto transport = connection_;
    if (!transport) throw MCPError::internalError("Server connection not initialized");
    co_await sendOver(*transport, std::move(bytes), answering, relatedRequestID);
}

asio::awaitable<void> Server::cancelRequest(ID id, std::optional<std::string> reason) {
    auto message = makeMessage<CancelledNotification>({.requestID = std::move(id), .reason = std::move(reason)});
    co_await notify(std::move(message));
}

// Requests to the client

void Server::startRequest(ID id, Value message, AnyPendingRequest pending, std::optional<ID> relatedRequestID) {
    // Posted, never run at once, even from the strand: a request that fails before its first
    // wait (a send that throws straight away) would otherwise resume its caller inside
    // `sendRequest`'s initiation, which still uses its own state and the caller's cancellation
    // slot afterwards.
    auto sending = [self = shared_from_this(), id = std::move(id), message = std::move(message),
                    pending = std::move(pending), relatedRequestID = std::move(relatedRequestID)]() mutable {
        spawnOnStrand(self->strand_,
                      self->sendRequestOnStrand(std::move(id), std::move(message), std::move(pending),
                                                std::move(relatedRequestID)),
                      [self](std::exception_ptr error) {
                          if (!error) return;
                          self->logger().error("Failed to send request", [&error] {
                              return logging::Logger::Metadata{{"error", detail::errorText(error)}};
                          });
                      });
    };
    asio::post(strand_, std::move(sending));
}

asio::awaitable<void> Server::sendRequestOnStrand(ID id, Value message, AnyPendingRequest pending,
                                                  std::optional<ID> relatedRequestID) {
    const auto transport = connection_;
    std::string bytes;
    std::exception_ptr failure;
    try {
        if (!transport) throw MCPError::internalError("Server connection not initialized");
        bytes = writeJSON(message, KeyOrder::sorted);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        pending.resume(failure);
        co_return;
    }

    // A caller that reuses the id of a request still pending takes its place; the one it
    // replaces still gets an answer.
    if (auto replaced = removePendingRequest(id)) {
        replaced->resume(std::make_exception_ptr(MCPError::internalError("Request ID " + id.description() + " reused")));
    }
    pendingRequests_.emplace(id, std::move(pending));

    try {
        co_await sendOver(*transport, std::move(bytes), std::nullopt, relatedRequestID);
    } catch (...) {
        failure = std::current_exception();
    }
    // Unless an answer or `stop` came first, the failed send is the request's outcome.
    if (failure) {
        if (auto request = removePendingRequest(id)) request->resume(failure);
    }
}

std::optional<AnyPendingRequest> Server::removePendingRequest(const ID& id) {
    auto node = pendingRequests_.extract(id);
    if (!node) return std::nullopt;
    return std::move(node.mapped());
}

}  // namespace mcp
