// HTTPClientTransport: the resumption of an event stream answering a POST. A server may end
// such a stream (or lose its connection) before the answer, and expects the client to pick
// it up with a GET that names the stream's last event in "Last-Event-ID", after the wait its
// "retry" announced. Event ids belong to their stream: the standing stream is not involved.

#include "mcp/http/client/http_client_transport.hpp"

#include "mcp/http/http_header_name.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include "eventsource/net_stream_connector.hpp"
#include "logging/log_error.hpp"
#include "net/error.hpp"

#include <boost/assert.hpp>

#include <algorithm>

namespace mcp {

namespace asio = boost::asio;

namespace {

// GETs in a row that bring no new event before a resumption gives up: the server has nothing
// more to give for that stream.
constexpr int kMaxFruitlessResumptions = 3;

// A stream can be taken up again after it broke off, but not after it was cancelled.
bool isResumableBreak(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const boost::system::system_error& error) {
        return !net::isCancellation(error.code());
    } catch (...) {
        return false;
    }
}

}  // namespace

// The POST's answer is the stream's first connection; each resumption is a GET of its own.
class HTTPClientTransport::AnswerStream final : public EventStreamReader {
public:
    AnswerStream(HTTPClientTransport& transport, AwaitedResponses& awaited)
        : EventStreamReader(transport, {.limits = transport.eventLimits(),
                                        .maxConnections = static_cast<std::size_t>(
                                            std::max(transport.maxResumptions_, 0)) + 1}),
          awaited_(awaited) {}

    asio::awaitable<std::unique_ptr<eventsource::StreamResponse>> open(const std::string&) override {
        auto& transport = transport_;
        bodyOpened_ = false;
        if (!transport.connected_) net::fail(net::Error::cancelled);
        // The answers may have come on another stream during the wait.
        if (awaited_.empty()) co_return nullptr;
        resumedFrom_ = lastEventID_;
        auto response = co_await transport.http_->start(transport.eventStreamRequest(lastEventID_));
        if (response.status() != 200) {
            response.discard();
            throw MCPError::internalError("HTTP error: " + std::to_string(response.status()));
        }
        transport.storeSessionID(response.header(HTTPHeaderName::sessionID));
        co_return std::make_unique<eventsource::NetStreamResponse>(std::move(response));
    }

    asio::awaitable<bool> ended(std::exception_ptr failure) override {
        const auto& logger = transport_.logger_;
        const bool resumed = stream.connections() > 1;
        // Only a body that broke off is taken up again: a GET that failed fails the send.
        if (failure && (!bodyOpened_ || !isResumableBreak(failure) || !transport_.connected_)) {
            std::rethrow_exception(failure);
        }
        if (!failure) {
            if (!answered_) logCompleted();
            // The standing stream is left alone: cancelling it would only lose its events.
            if (!resumed && !hadData_) logger.debug("POST SSE stream closed without data");
        }
        if (!resumed) {
            if (awaited_.empty() || !transport_.connected_) {
                if (failure) std::rethrow_exception(failure);
                co_return false;
            }
            if (!lastEventID_) {
                // Nothing tells the server where to pick up, and no other stream is bound to
                // bring the answer: waiting on would be waiting for ever.
                if (failure) std::rethrow_exception(failure);
                logger.warning("POST SSE stream ended before its response, without an event ID to resume from");
                throw awaited_.unanswered("the event stream ended without it, with no event ID to resume from");
            }
            co_return true;
        }
        if (failure) {
            logger.debug([&] { return "Resumed SSE stream broke off: " + logging::LogError(failure).description(); });
        }
        if (awaited_.empty()) co_return false;
        if (!transport_.connected_) net::fail(net::Error::cancelled);
        // New event ids alone are no sign of an answer on its way: a server may hand out a
        // fresh one on every stream and never the answer; the bound on connections ends that.
        fruitless_ = lastEventID_ == resumedFrom_ ? fruitless_ + 1 : 0;
        if (fruitless_ >= kMaxFruitlessResumptions) {
            throw MCPError::internalError("Event stream ended before the response");
        }
        co_return true;
    }

    std::chrono::milliseconds reconnectionTime(std::chrono::milliseconds) override {
        transport_.logger_.debug("⏳ Waiting before resuming POST SSE stream", [&] {
            return logging::Metadata{{"retryMs", std::to_string(transport_.retryInterval_)}};
        });
        return std::chrono::milliseconds(transport_.retryInterval_);
    }

protected:
    bool stillWanted() const override { return transport_.connected_; }
    bool satisfied() const override { return stream.connections() > 1 && awaited_.empty(); }

private:
    AwaitedResponses& awaited_;
    // Where the resumption under way picked the stream up.
    std::optional<std::string> resumedFrom_;
    int fruitless_ = 0;
};

asio::awaitable<void> HTTPClientTransport::readAnswerStream(net::ResponseStream response, AwaitedResponses awaited) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    AnswerStream answer(*this, awaited);
    awaitedResponses_.insert(&awaited);
    answerStreams_.insert(&answer.stream);
    std::exception_ptr failure;
    try {
        co_await answer.stream.run(std::make_unique<eventsource::NetStreamResponse>(std::move(response)));
    } catch (const eventsource::ConnectionLimitError& error) {
        failure = std::make_exception_ptr(awaited.unanswered(
            "the event stream was resumed " + std::to_string(error.connections() - 1) + " times without bringing it"));
    } catch (...) {
        failure = std::current_exception();
    }
    answerStreams_.erase(&answer.stream);
    awaitedResponses_.erase(&awaited);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace mcp
