// NetworkTransport: sending, the receive loop and reconnecting after a lost connection.

#include "mcp/transport/network/network_transport.hpp"

#include "mcp/protocol/mcp_error.hpp"
#include "mcp/transport/network/error_description.hpp"

#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>
#include <boost/system/errc.hpp>

#include <algorithm>
#include <limits>
#include <utility>

namespace mcp {
namespace {

namespace asio = boost::asio;
using network::ConnectionState;
using network::NetworkFrameReader;

// A read asks for at most this much, whatever larger maximum is configured.
constexpr std::size_t kLargestRead = std::size_t{64} << 10;
constexpr int kEmptyReadsBeforeWarning = 5;
constexpr auto kPauseAfterEmptyRead = std::chrono::milliseconds(100);
constexpr auto kPauseBeforeSendReconnection = std::chrono::milliseconds(500);

logging::Metadata sizeOf(std::size_t size) { return {{"size", std::to_string(size)}}; }

std::size_t readSize(const network::BufferConfiguration& buffer) {
    const std::int64_t largest = buffer.maxReceiveBufferSize.value_or(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::size_t>(std::clamp<std::int64_t>(largest, 1, kLargestRead));
}

// A write error after which the connection is worth dialling again.
bool looksBroken(const boost::system::error_code& error) {
    return error == boost::system::errc::not_connected || error == boost::system::errc::connection_reset;
}

}  // namespace

// Sending

asio::awaitable<void> NetworkTransport::send(OutgoingMessage message) {
    std::string bytes = std::move(message).text();
    bytes.push_back('\n');
    auto body = [self = shared_from_this(), bytes = std::move(bytes)]() mutable {
        return self->sendOnStrand(std::move(bytes));
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> NetworkTransport::sendOnStrand(std::string bytes) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connected_) throw MCPError::internalError("Transport not connected");
    const auto error = co_await write(bytes);
    if (!error) co_return;
    const std::string text = error.message();
    logger_.error([&] { return "Send error: " + text; });
    if (!stopping_ && reconnectionConfig_.enabled && connected_ && looksBroken(error)) {
        logger_.warning("Connection appears broken, will attempt to reconnect...");
        connected_ = false;
        startReconnection(kPauseBeforeSendReconnection);
    }
    throw MCPError::internalError("Send error: " + text);
}

asio::awaitable<boost::system::error_code> NetworkTransport::write(std::string_view bytes) {
    const auto turn = co_await writes_.take();
    co_return co_await connection_->send(bytes);
}

// Receiving

asio::awaitable<void> NetworkTransport::receiveLoop(std::weak_ptr<NetworkTransport> weak,
                                                    std::shared_ptr<network::NetworkConnection> connection,
                                                    std::shared_ptr<network::SleepSet> sleeps, std::uint64_t generation) {
    std::size_t maxRead = 0;
    std::size_t maxLine = 0;
    std::shared_ptr<MessageStream> stream;
    {
        const auto self = weak.lock();
        if (!self) co_return;
        maxRead = readSize(self->bufferConfig_);
        maxLine = self->maxLineBytes_;
        stream = self->stream_;
    }
    NetworkFrameReader reader(maxLine);
    int emptyReads = 0;
    std::exception_ptr failure;
    while (true) {
        // While the consumer's backlog is full nothing more is read. Only the stream is held
        // meanwhile; letting the transport go finishes it, which ends the wait.
        co_await stream->waitForRoom();
        {
            const auto self = weak.lock();
            if (!self || self->generation_ != generation) co_return;
            if (!self->connected_ || self->stopping_) break;
        }
        // Nothing holds the transport while the read waits: one that is let go ends here.
        auto received = co_await connection->receive(1, maxRead);
        const auto self = weak.lock();
        // Gone, or a newer connection with a loop of its own.
        if (!self || self->generation_ != generation) co_return;
        if (self->stopping_) break;
        // A failed send gave this connection up and reconnects.
        if (!self->connected_) co_return;
        if (received.error) {
            failure = std::make_exception_ptr(MCPError::transportError(UnderlyingError::from(received.error)));
            break;
        }
        if (received.content.empty() && received.isComplete) {
            self->logger_.trace("Connection completed by peer");
            failure = std::make_exception_ptr(MCPError::connectionClosed());
            break;
        }
        if (received.content.empty()) {
            if (++emptyReads >= kEmptyReadsBeforeWarning) {
                self->logger_.warning([&] {
                    return "Multiple consecutive empty reads (" + std::to_string(emptyReads) + "), possible connection issue";
                });
                if (connection->state().kind != ConnectionState::Kind::ready) {
                    self->logger_.warning("Connection no longer ready, exiting receive loop");
                    // Handled as a lost connection: nobody would read it again otherwise.
                    failure = std::make_exception_ptr(MCPError::connectionClosed());
                    break;
                }
            }
            co_await sleeps->sleep(kPauseAfterEmptyRead);
            continue;
        }
        emptyReads = 0;
        self->deliverFrames(reader, received.content);
    }

    const auto self = weak.lock();
    if (!self || self->generation_ != generation) co_return;
    if (self->stopping_) {
        self->logger_.debug("Receive loop stopping normally");
        self->stream_->finish();
    } else if (failure) {
        self->handleReceiveFailure(failure);
    }
}

void NetworkTransport::deliverFrames(NetworkFrameReader& reader, std::string_view chunk) {
    reader.append(chunk);
    while (auto frame = reader.next()) {
        switch (frame->kind) {
            case NetworkFrameReader::Frame::Kind::heartbeat:
                logger_.trace("Received heartbeat from peer");
                if (frame->heartbeat) {
                    logger_.trace([&] { return "Heartbeat timestamp: " + frame->heartbeat->timestampText(); });
                }
                break;
            case NetworkFrameReader::Frame::Kind::overlongLine:
                logger_.error("Line exceeds the limit and is skipped", [&] {
                    return logging::Metadata{{"size", std::to_string(frame->size)},
                                             {"limit", std::to_string(reader.maxLineBytes())}};
                });
                break;
            case NetworkFrameReader::Frame::Kind::message:
                logger_.debug("Message received", [&] { return sizeOf(frame->message.size()); });
                stream_->push(std::string(frame->message));
                break;
        }
    }
}

// Reconnecting

void NetworkTransport::handleReceiveFailure(std::exception_ptr failure) {
    logger_.error([&] { return "Receive error: " + network::errorDescription(failure); });
    // The reconnection under way covers this loss too.
    if (reconnecting_) return;
    const std::int64_t maxAttempts = reconnectionConfig_.maxAttempts;
    if (reconnectionConfig_.enabled && reconnectAttempt_ < maxAttempts) {
        const std::int64_t attempt = ++reconnectAttempt_;
        logger_.warning([&] {
            return "Error during receive, attempting reconnection (" + std::to_string(attempt) + "/" +
                   std::to_string(maxAttempts) + ")...";
        });
        connected_ = false;
        startReconnection(std::chrono::duration<double>(reconnectionConfig_.backoffDelay(attempt)));
        return;
    }
    connected_ = false;
    connection_->cancel();
    stream_->finish(failure);
}

void NetworkTransport::startReconnection(std::chrono::duration<double> delay) {
    if (reconnecting_) return;
    reconnecting_ = true;
    const std::weak_ptr<NetworkTransport> weak = weak_from_this();
    spawnOnStrand(strand_, reconnect(weak, sleeps_, delay), [weak](std::exception_ptr error) {
        const auto self = weak.lock();
        if (error && self) self->logger_.error([&] { return "Reconnection failed: " + network::errorDescription(error); });
    });
}

asio::awaitable<void> NetworkTransport::reconnect(std::weak_ptr<NetworkTransport> weak,
                                                  std::shared_ptr<network::SleepSet> sleeps,
                                                  std::chrono::duration<double> delay) {
    const bool slept = co_await sleeps->sleepSeconds(delay);
    const auto self = weak.lock();
    if (!self) co_return;
    if (!slept || self->stopping_) {
        self->reconnecting_ = false;
        co_return;
    }
    // The program's own connect may have begun meanwhile: it is joined, never cut off.
    if (!self->connected_ && !self->runningConnect_) self->connection_->cancel();
    std::exception_ptr failure;
    try {
        co_await self->connectOnStrand();
    } catch (...) {
        failure = std::current_exception();
    }
    self->reconnecting_ = false;
    // Given up: the consumer learns of it instead of waiting for messages that can't come.
    if (failure && !self->stopping_) {
        self->logger_.error([&] { return "Reconnection failed: " + network::errorDescription(failure); });
        self->stopping_ = true;
        self->connected_ = false;
        self->stream_->finish(failure);
    }
}

}  // namespace mcp
