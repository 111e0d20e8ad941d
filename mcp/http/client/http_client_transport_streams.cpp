// HTTPClientTransport: the event streams. The server's own stream, kept open with GET while
// the transport is connected, and the reading of every event stream, the POST answers' too.

#include "mcp/http/client/http_client_transport.hpp"

#include "mcp/detail/number_text.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include "eventsource/parser.hpp"
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

void HTTPClientTransport::stopListening() {
    listeningStopped_ = true;
    listeningWait_.cancel();
    activeGET_.cancel();
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

asio::awaitable<void> HTTPClientTransport::startListeningForServerEvents() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connected_) co_return;
    if (!sessionID_ && initialSessionIDSignalPending_) {
        co_await waitForInitialSessionID();
    } else {
        logger_.debug("✓ Session ID already available, proceeding with SSE connection immediately");
    }
    const auto state = [this] {
        return logging::Metadata{{"isConnected", boolText(connected_)}, {"isCancelled", boolText(listeningStopped_)}};
    };
    logger_.debug("🔄 Starting SSE retry loop", state);
    std::int64_t attempt = 0;
    bool firstAttempt = true;
    while (isListening()) {
        ++attempt;
        logger_.debug("🔄 SSE retry loop iteration", [&] {
            return logging::Metadata{{"attempt", std::to_string(attempt)}, {"isFirstAttempt", boolText(firstAttempt)}};
        });
        try {
            if (!firstAttempt) {
                logger_.debug("⏳ Waiting before SSE reconnection",
                              [&] { return logging::Metadata{{"retryMs", std::to_string(retryInterval_)}}; });
                listeningWait_.expires_after(std::chrono::milliseconds(retryInterval_));
                co_await listeningWait_.async_wait(asio::use_awaitable);
                logger_.debug("✓ Wait complete, reconnecting now");
            }
            firstAttempt = false;
            logger_.debug([&] { return "📡 Calling connectToEventStream (attempt #" + std::to_string(attempt) + ")"; });
            co_await connectToEventStream();
            logger_.info("🔌 SSE stream closed gracefully, will reconnect", [&] {
                return logging::Metadata{{"attempt", std::to_string(attempt)},
                                         {"willRetryAfter", std::to_string(retryInterval_) + "ms"}};
            });
        } catch (const std::exception& error) {
            if (!isListening()) {
                logger_.debug("⏹️ SSE task cancelled");
            } else {
                logger_.error([&] {
                    return "❌ SSE connection error (attempt #" + std::to_string(attempt) + "): " + error.what();
                });
            }
        }
        logger_.debug("🔄 End of retry loop iteration", [&] {
            auto metadata = state();
            metadata.emplace("willContinue", boolText(isListening()));
            return metadata;
        });
    }
    logger_.debug("⏹️ SSE retry loop exited", [&] {
        auto metadata = state();
        metadata.emplace("totalAttempts", std::to_string(attempt));
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

asio::awaitable<void> HTTPClientTransport::connectToEventStream() {
    if (!connected_) {
        logger_.debug("⚠️ Skipping connectToEventStream - transport not connected");
        co_return;
    }
    co_await prepareAuthorization();
    logger_.debug("🔌 Preparing SSE connection request");
    auto request = eventStreamRequest(standingStreamLastEventID_);
    logger_.debug("Starting SSE connection");
    auto response = co_await http_->start(std::move(request));
    activeGET_ = response.cancelHandle();
    // The listening may have stopped while the request was on its way.
    if (!isListening()) net::fail(net::Error::cancelled);
    if (response.status() != 200) {
        if (response.status() == 405) stopListening();
        throw MCPError::internalError("HTTP error: " + std::to_string(response.status()));
    }
    storeSessionID(response);
    try {
        co_await processSSE(response, standingStreamLastEventID_, StreamKind::standing, nullptr);
    } catch (...) {
        activeGET_ = {};
        throw;
    }
    activeGET_ = {};
}

asio::awaitable<bool> HTTPClientTransport::processSSE(net::ResponseStream& response,
                                                      std::optional<std::string>& lastEventID, StreamKind kind,
                                                      AwaitedResponses* awaited) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    logger_.debug("📥 Starting SSE event processing");
    eventsource::Parser parser(eventsource::Parser::Limits{.maxLineBytes = maxMessageBytes_,
                                                           .maxEventBytes = maxMessageBytes_});
    std::int64_t eventsProcessed = 0;
    bool hadData = false;
    const bool isStandingStream = kind == StreamKind::standing;
    const auto stillWanted = [&] { return isStandingStream ? isListening() : connected_; };
    std::optional<std::int64_t> announcedRetry;
    const auto takeAnnouncedRetry = [&] {
        if (const auto retry = parser.announcedReconnectionTime(); retry && retry != announcedRetry) {
            announcedRetry = retry;
            // The parser keeps the value within 100 ms ... 60 s.
            retryInterval_ = *retry;
            logger_.debug("SSE retry interval updated",
                          [&] { return logging::Metadata{{"retryMs", std::to_string(retryInterval_)}}; });
        }
    };
    const auto completed = [&] {
        logger_.debug("✓ SSE event stream completed", [&] {
            return logging::Metadata{{"eventsProcessed", std::to_string(eventsProcessed)},
                                     {"hadData", boolText(hadData)}};
        });
        return hadData;
    };
    bool ended = false;
    while (!ended) {
        std::string chunk = co_await response.readSome();
        if (chunk.empty()) {
            parser.finish();
            ended = true;
        } else {
            parser.consume(std::string_view(chunk));
        }
        while (true) {
            std::optional<eventsource::Event> event;
            try {
                event = parser.getNextEvent();
            } catch (const eventsource::SizeLimitError& error) {
                // A POST's answer may be the one refused: its sender must not wait for it.
                if (!isStandingStream) throw MCPError::internalError("Event too large: " + std::string(error.what()));
                logger_.error([&] { return "SSE event dropped: " + std::string(error.what()); });
                continue;
            }
            if (!event) break;
            ++eventsProcessed;
            if (!stillWanted()) {
                logger_.debug("⏹️ SSE processing cancelled",
                              [&] { return logging::Metadata{{"eventsProcessed", std::to_string(eventsProcessed)}}; });
                response.discard();
                co_return completed();
            }
            logger_.trace("SSE event received", [&] {
                return logging::Metadata{{"type", event->event.value_or("message")}, {"id", event->id.value_or("none")}};
            });
            if (event->id && !event->id->empty()) {
                lastEventID = *event->id;
                logger_.debug("Stored event ID for resumability",
                              [&] { return logging::Metadata{{"eventID", *event->id}}; });
            }
            takeAnnouncedRetry();
            if (!event->data.empty()) {
                // A consumer that falls behind holds the stream here: nothing more is read
                // until it takes some (the rest of this chunk waits in the parser).
                co_await incoming_->waitForRoom();
                const bool answersAwaited = std::any_of(awaitedResponses_.begin(), awaitedResponses_.end(),
                                                        [](const auto* answers) { return !answers->empty(); });
                if (answersAwaited) {
                    auto reading = AwaitedResponses::read(std::move(event->data));
                    for (auto* answers : awaitedResponses_) answers->strikeAnswered(reading.shape);
                    incoming_->push(std::move(reading.message));
                } else {
                    incoming_->push(std::move(event->data));
                }
                hadData = true;
            }
            // A resuming GET may be held open after the answers; nothing more is wanted of it.
            if (kind == StreamKind::resumedAnswer && awaited->empty()) {
                response.discard();
                co_return hadData;
            }
        }
        // A "retry" counts also in a block that makes no event, as a server's lone "retry:" block.
        takeAnnouncedRetry();
    }
    co_return completed();
}

}  // namespace mcp
