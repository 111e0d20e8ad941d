// HTTPClientTransport: the resumption of an event stream answering a POST. A server may end
// such a stream (or lose its connection) before the answer, and expects the client to pick
// it up with a GET that names the stream's last event in "Last-Event-ID", after the wait its
// "retry" announced. Event ids belong to their stream: the standing stream is not involved.

#include "mcp/http/client/http_client_transport.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include "net/error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>

namespace mcp {

namespace asio = boost::asio;

namespace {

// GETs in a row that bring no new event before a resumption gives up: the server has nothing
// more to give for that stream.
constexpr int kMaxFruitlessResumptions = 3;

// A stream can be taken up again after it broke off, but not after it was cancelled.
bool isResumableBreak(const boost::system::system_error& error) { return !net::isCancellation(error.code()); }

}  // namespace

asio::awaitable<void> HTTPClientTransport::readAnswerStream(net::ResponseStream& response, AwaitedResponses awaited) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    awaitedResponses_.insert(&awaited);
    std::exception_ptr failure;
    try {
        co_await readOrResumeAnswerStream(response, awaited);
    } catch (...) {
        failure = std::current_exception();
    }
    awaitedResponses_.erase(&awaited);
    if (failure) std::rethrow_exception(failure);
}

asio::awaitable<void> HTTPClientTransport::readOrResumeAnswerStream(net::ResponseStream& response,
                                                                    AwaitedResponses& awaited) {
    std::optional<std::string> lastEventID;
    std::exception_ptr breakage;
    try {
        if (!co_await processSSE(response, lastEventID, StreamKind::postAnswer, &awaited)) {
            // The standing stream is left alone: cancelling it would only lose its events.
            logger_.debug("POST SSE stream closed without data");
        }
    } catch (const boost::system::system_error& error) {
        if (!isResumableBreak(error) || !connected_) throw;
        breakage = std::current_exception();
    }
    if (awaited.empty() || !connected_) {
        if (breakage) std::rethrow_exception(breakage);
        co_return;
    }
    if (!lastEventID) {
        // Nothing tells the server where to pick up, and no other stream is bound to bring
        // the answer: waiting on would be waiting for ever.
        if (breakage) std::rethrow_exception(breakage);
        logger_.warning("POST SSE stream ended before its response, without an event ID to resume from");
        throw awaited.unanswered("the event stream ended without it, with no event ID to resume from");
    }
    co_await resumeAnswerStream(std::move(*lastEventID), awaited);
}

asio::awaitable<void> HTTPClientTransport::resumeAnswerStream(std::string lastEventID, AwaitedResponses& awaited) {
    for (int fruitless = 0, resumptions = 0;; ++resumptions) {
        // New event ids alone are no sign of an answer on its way: a server may hand out a
        // fresh one on every stream and never the answer.
        if (resumptions >= maxResumptions_) {
            throw awaited.unanswered("the event stream was resumed " + std::to_string(resumptions) +
                                     " times without bringing it");
        }
        co_await waitBeforeResuming();
        // The answers may have come on another stream meanwhile.
        if (awaited.empty()) co_return;
        auto response = co_await http_->start(eventStreamRequest(lastEventID));
        if (response.status() != 200) {
            response.discard();
            throw MCPError::internalError("HTTP error: " + std::to_string(response.status()));
        }
        storeSessionID(response);
        std::optional<std::string> reached = lastEventID;
        try {
            co_await processSSE(response, reached, StreamKind::resumedAnswer, &awaited);
        } catch (const boost::system::system_error& error) {
            if (!isResumableBreak(error) || !connected_) throw;
            logger_.debug([&] { return "Resumed SSE stream broke off: " + std::string(error.what()); });
        }
        if (awaited.empty()) co_return;
        if (!connected_) net::fail(net::Error::cancelled);
        fruitless = *reached == lastEventID ? fruitless + 1 : 0;
        if (fruitless >= kMaxFruitlessResumptions) {
            throw MCPError::internalError("Event stream ended before the response");
        }
        lastEventID = std::move(*reached);
    }
}

asio::awaitable<void> HTTPClientTransport::waitBeforeResuming() {
    logger_.debug("⏳ Waiting before resuming POST SSE stream",
                  [&] { return logging::Metadata{{"retryMs", std::to_string(retryInterval_)}}; });
    asio::steady_timer wait(strand_, std::chrono::milliseconds(retryInterval_));
    resumptionWaits_.insert(&wait);
    co_await wait.async_wait(asio::as_tuple(asio::use_awaitable));
    resumptionWaits_.erase(&wait);
    if (!connected_) net::fail(net::Error::cancelled);
}

}  // namespace mcp
