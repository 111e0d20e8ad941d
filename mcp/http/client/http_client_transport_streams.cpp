// HTTPClientTransport: the event streams. The server's own stream, kept open with GET while
// the transport is connected, and the reading of every event stream, the POST answers' too.

#include "mcp/http/client/http_client_transport.hpp"

#include "mcp/detail/number_text.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include "eventsource/net_stream_connector.hpp"
#include "logging/log_error.hpp"
#include "net/error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>

#include <algorithm>

namespace mcp {

namespace asio = boost::asio;

namespace {

std::string boolText(bool value) { return value ? "true" : "false"; }

}  // namespace

logging::Metadata HTTPClientTransport::listeningState() const {
    return {{"isConnected", boolText(connected_)}, {"isCancelled", boolText(listeningStopped_)}};
}

void HTTPClientTransport::stopListening() {
    listeningStopped_ = true;
    listeningWait_.cancel();
    if (standingStream_ != nullptr) standingStream_->stream.stop();
}

asio::awaitable<void> HTTPClientTransport::waitForInitialSessionID() {
    const std::string timeoutText = detail::doubleText(sseInitializationTimeout_);
    logger_.debug([&] { return "⏳ Waiting for session ID to be set (timeout: " + timeoutText + "s)..."; });
    const auto waitStart = std::chrono::steady_clock::now();
    listeningWait_.expires_after(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(std::max(0.0, sseInitializationTimeout_))));
    waitingForSessionID_ = true;
    auto [error] = co_await listeningWait_.async_wait(asio::as_tuple(asio::use_awaitable));
    waitingForSessionID_ = false;
    if (!error) {
        logger_.warning([&] {
            return "⏱️ Timeout waiting for session ID (" + timeoutText + "s). SSE stream will proceed anyway.";
        });
    }
    if (sessionID_) {
        logger_.debug([&] {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - waitStart);
            return "✓ Session ID received after " + std::to_string(elapsed.count()) +
                   "ms, proceeding with SSE connection";
        });
    }
}

// The standing stream: the server's own, opened with GET at once and again after every end,
// each attempt logged as an iteration of one loop, until the listening stops.
class HTTPClientTransport::StandingStream final : public EventStreamReader {
public:
    explicit StandingStream(HTTPClientTransport& transport)
        : EventStreamReader(transport, {.limits = transport.eventLimits()}) {}

    std::int64_t attempts() const noexcept { return attempt_; }

    void beginAttempt() {
        ++attempt_;
        transport_.logger_.debug("🔄 SSE retry loop iteration", [&] {
            return logging::Metadata{{"attempt", std::to_string(attempt_)},
                                     {"isFirstAttempt", boolText(attempt_ == 1)}};
        });
    }

    // Logs how the attempt went and the end of its iteration; true when another follows.
    bool endAttempt(const std::exception_ptr& failure) {
        const auto& logger = transport_.logger_;
        if (!failure) {
            logger.info("🔌 SSE stream closed gracefully, will reconnect", [&] {
                return logging::Metadata{{"attempt", std::to_string(attempt_)},
                                         {"willRetryAfter", std::to_string(transport_.retryInterval_) + "ms"}};
            });
        } else if (!transport_.isListening()) {
            logger.debug("⏹️ SSE task cancelled");
        } else {
            logger.error([&] {
                return "❌ SSE connection error (attempt #" + std::to_string(attempt_) + "): " + logging::LogError(failure).description();
            });
        }
        const bool again = transport_.isListening();
        logger.debug("🔄 End of retry loop iteration", [&] {
            auto metadata = transport_.listeningState();
            metadata.emplace("willContinue", boolText(again));
            return metadata;
        });
        return again;
    }

    asio::awaitable<std::unique_ptr<eventsource::StreamResponse>> open(const std::string&) override {
        if (attempt_ > 1) transport_.logger_.debug("✓ Wait complete, reconnecting now");
        transport_.logger_.debug(
            [&] { return "📡 Calling connectToEventStream (attempt #" + std::to_string(attempt_) + ")"; });
        auto response = co_await transport_.connectToEventStream(lastEventID_);
        // Not connected: the attempt ends here, and with it the loop.
        if (!response) endAttempt(nullptr);
        co_return response;
    }

    asio::awaitable<bool> ended(std::exception_ptr failure) override {
        if (!failure) logCompleted();
        const bool again = endAttempt(failure);
        if (again) beginAttempt();
        co_return again;
    }

    std::chrono::milliseconds reconnectionTime(std::chrono::milliseconds) override {
        transport_.logger_.debug("⏳ Waiting before SSE reconnection", [&] {
            return logging::Metadata{{"retryMs", std::to_string(transport_.retryInterval_)}};
        });
        return std::chrono::milliseconds(transport_.retryInterval_);
    }

protected:
    bool stillWanted() const override { return transport_.isListening(); }
    bool isStandingStream() const override { return true; }

private:
    std::int64_t attempt_ = 0;
};

asio::awaitable<void> HTTPClientTransport::startListeningForServerEvents() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connected_) co_return;
    if (!sessionID_ && initialSessionIDSignalPending_) {
        co_await waitForInitialSessionID();
    } else {
        logger_.debug("✓ Session ID already available, proceeding with SSE connection immediately");
    }
    logger_.debug("🔄 Starting SSE retry loop", [&] { return listeningState(); });
    StandingStream standing(*this);
    if (isListening()) {
        standing.beginAttempt();
        standingStream_ = &standing;
        try {
            co_await standing.stream.run();
        } catch (...) {
            // The wait before a reconnection was cut short.
            standing.endAttempt(std::current_exception());
        }
        standingStream_ = nullptr;
    }
    logger_.debug("⏹️ SSE retry loop exited", [&] {
        auto metadata = listeningState();
        metadata.emplace("totalAttempts", std::to_string(standing.attempts()));
        return metadata;
    });
}

net::HTTPRequest HTTPClientTransport::eventStreamRequest(const std::optional<std::string>& lastEventID) {
    net::HTTPRequest request;
    request.method = "GET";
    request.url = endpoint_;
    request.timeout = requestTimeout_;
    request.headers.add(HTTPHeaderName::accept, "text/event-stream");
    request.headers.add(HTTPHeaderName::cacheControl, "no-cache");
    if (protocolVersion_) request.headers.add(HTTPHeaderName::protocolVersion, *protocolVersion_);
    if (sessionID_) request.headers.add(HTTPHeaderName::sessionID, *sessionID_);
    if (lastEventID) {
        request.headers.add(HTTPHeaderName::lastEventID, *lastEventID);
        logger_.info("→ Resuming SSE stream with Last-Event-ID",
                     [&] { return logging::Metadata{{"lastEventID", *lastEventID}}; });
    } else {
        logger_.info("→ Connecting to SSE stream (no last event ID to resume from)");
    }
    return finish(std::move(request));
}

asio::awaitable<std::unique_ptr<eventsource::StreamResponse>> HTTPClientTransport::connectToEventStream(
    const std::optional<std::string>& lastEventID) {
    if (!connected_) {
        logger_.debug("⚠️ Skipping connectToEventStream - transport not connected");
        co_return nullptr;
    }
    co_await prepareAuthorization();
    logger_.debug("🔌 Preparing SSE connection request");
    auto request = eventStreamRequest(lastEventID);
    logger_.debug("Starting SSE connection");
    auto response = co_await http_->start(std::move(request));
    // The listening may have stopped while the request was on its way.
    if (!isListening()) net::fail(net::Error::cancelled);
    if (response.status() != 200) {
        if (response.status() == 405) stopListening();
        throw MCPError::internalError("HTTP error: " + std::to_string(response.status()));
    }
    storeSessionID(response.header(HTTPHeaderName::sessionID));
    co_return std::make_unique<eventsource::NetStreamResponse>(std::move(response));
}

HTTPClientTransport::EventStreamReader::EventStreamReader(HTTPClientTransport& transport,
                                                          eventsource::EventStream::Options options)
    : stream(transport.strand_, *this, options), transport_(transport) {}

asio::awaitable<void> HTTPClientTransport::EventStreamReader::opened(eventsource::StreamResponse&) {
    BOOST_ASSERT(transport_.strand_.running_in_this_thread());
    transport_.logger_.debug("📥 Starting SSE event processing");
    eventsProcessed_ = 0;
    hadData_ = false;
    bodyOpened_ = true;
    answered_ = false;
    announcedRetry_.reset();
    co_return;
}

void HTTPClientTransport::EventStreamReader::takeAnnouncedRetry() {
    if (const auto retry = stream.announcedReconnectionTime(); retry && retry != announcedRetry_) {
        announcedRetry_ = retry;
        // The parser keeps the value within 100 ms ... 60 s.
        transport_.retryInterval_ = *retry;
        transport_.logger_.debug("SSE retry interval updated", [&] {
            return logging::Metadata{{"retryMs", std::to_string(transport_.retryInterval_)}};
        });
    }
}

// A "retry" counts also in a block that makes no event, as a server's lone "retry:" block.
void HTTPClientTransport::EventStreamReader::chunkHandled() { takeAnnouncedRetry(); }

void HTTPClientTransport::EventStreamReader::logCompleted() const {
    transport_.logger_.debug("✓ SSE event stream completed", [&] {
        return logging::Metadata{{"eventsProcessed", std::to_string(eventsProcessed_)},
                                 {"hadData", boolText(hadData_)}};
    });
}

asio::awaitable<bool> HTTPClientTransport::EventStreamReader::refused(const eventsource::SizeLimitError& error) {
    // A POST's answer may be the one refused: its sender must not wait for it.
    if (!isStandingStream()) throw MCPError::internalError("Event too large: " + std::string(error.what()));
    transport_.logger_.error([&] { return "SSE event dropped: " + std::string(error.what()); });
    co_return true;
}

asio::awaitable<bool> HTTPClientTransport::EventStreamReader::event(eventsource::Event& event) {
    const auto& logger = transport_.logger_;
    ++eventsProcessed_;
    if (!stillWanted()) {
        logger.debug("⏹️ SSE processing cancelled",
                     [&] { return logging::Metadata{{"eventsProcessed", std::to_string(eventsProcessed_)}}; });
        co_return false;
    }
    logger.trace("SSE event received", [&] {
        return logging::Metadata{{"type", event.event.value_or("message")}, {"id", event.id.value_or("none")}};
    });
    if (event.id && !event.id->empty()) {
        lastEventID_ = *event.id;
        logger.debug("Stored event ID for resumability", [&] { return logging::Metadata{{"eventID", *event.id}}; });
    }
    takeAnnouncedRetry();
    if (!event.data.empty()) {
        co_await transport_.passOn(std::move(event.data));
        hadData_ = true;
    }
    // A resuming GET may be held open after the answers; nothing more is wanted of it.
    if (satisfied()) {
        answered_ = true;
        co_return false;
    }
    co_return true;
}

asio::awaitable<void> HTTPClientTransport::passOn(std::string data) {
    // A consumer that falls behind holds the stream here: nothing more is read until it takes
    // some (the rest of this chunk waits in the parser).
    co_await incoming_->waitForRoom();
    const bool answersAwaited = std::any_of(awaitedResponses_.begin(), awaitedResponses_.end(),
                                            [](const auto* answers) { return !answers->empty(); });
    if (!answersAwaited) {
        incoming_->push(std::move(data));
        co_return;
    }
    auto reading = AwaitedResponses::read(std::move(data));
    for (auto* answers : awaitedResponses_) answers->strikeAnswered(reading.shape);
    incoming_->push(std::move(reading.message));
}

}  // namespace mcp
