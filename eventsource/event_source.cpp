#include "eventsource/event_source.hpp"

#include "eventsource/net_stream_connector.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>

#include <algorithm>
#include <cctype>

namespace eventsource {

namespace asio = boost::asio;

namespace {

constexpr std::string_view kEventStreamType = "text/event-stream";

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

void validateResponse(const StreamResponse& response) {
    if (response.status() != 200) throw EventSourceError::invalidHTTPStatus(response.status());
    auto contentType = response.header("Content-Type");
    // A parameter after the media type, such as a charset, is allowed.
    if (!contentType || !startsWithIgnoringCase(*contentType, kEventStreamType)) {
        throw EventSourceError::invalidContentType(std::move(contentType));
    }
}

// Takes out what is still queued without delivering it.
void dropQueued(Parser& parser) {
    while (parser.hasQueuedEvent()) {
        try {
            parser.getNextEvent();
        } catch (const SizeLimitError&) {
            // A refusal of an event that is dropped anyway has nothing left to report.
        }
    }
}

bool isEventSourceError(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const EventSourceError&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

std::shared_ptr<EventSource> EventSource::create(asio::any_io_executor executor, boost::urls::url url) {
    auto connector = std::make_shared<NetStreamConnector>(net::HTTPClient::make(executor));
    return create(std::move(executor), std::move(url), std::move(connector));
}

std::shared_ptr<EventSource> EventSource::create(asio::any_io_executor executor, boost::urls::url url,
                                                 std::shared_ptr<StreamConnector> connector, Parser::Limits limits) {
    Request request{.url = std::move(url)};
    request.headers.set("Accept", kEventStreamType);
    request.headers.set("Cache-Control", "no-cache");
    return create(std::move(executor), std::move(request), std::move(connector), limits);
}

std::shared_ptr<EventSource> EventSource::create(asio::any_io_executor executor, Request request,
                                                 std::shared_ptr<StreamConnector> connector, Parser::Limits limits) {
    std::shared_ptr<EventSource> source(
        new EventSource(std::move(executor), std::move(request), std::move(connector), limits));
    asio::post(source->strand_, [weak = std::weak_ptr(source)] {
        if (auto self = weak.lock()) self->startConnection();
    });
    return source;
}

EventSource::EventSource(asio::any_io_executor executor, Request request, std::shared_ptr<StreamConnector> connector,
                         Parser::Limits limits)
    : strand_(net::strandOf(executor)),
      request_(std::move(request)),
      connector_(std::move(connector)),
      limits_(limits) {}

asio::awaitable<ReadyState> EventSource::readyState() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<ReadyState> { co_return self->readyState_; };
    co_return co_await net::onStrand(strand_, std::move(body));
}

asio::awaitable<std::int64_t> EventSource::maximumFinalizationEventCount() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<std::int64_t> {
        co_return self->maximumFinalizationEventCount_;
    };
    co_return co_await net::onStrand(strand_, std::move(body));
}

asio::awaitable<void> EventSource::setMaximumFinalizationEventCount(std::int64_t count) {
    auto body = [self = shared_from_this(), count]() -> asio::awaitable<void> {
        self->maximumFinalizationEventCount_ = count;
        co_return;
    };
    co_await net::onStrand(strand_, std::move(body));
}

void EventSource::onOpen(OpenCallback callback) {
    asio::post(strand_, [weak = weak_from_this(), callback = std::move(callback)]() mutable {
        if (auto self = weak.lock()) self->onOpen_ = std::move(callback);
    });
}

void EventSource::onMessage(MessageCallback callback) {
    asio::post(strand_, [weak = weak_from_this(), callback = std::move(callback)]() mutable {
        if (auto self = weak.lock()) self->onMessage_ = std::move(callback);
    });
}

void EventSource::onError(ErrorCallback callback) {
    asio::post(strand_, [weak = weak_from_this(), callback = std::move(callback)]() mutable {
        if (auto self = weak.lock()) self->onError_ = std::move(callback);
    });
}

asio::awaitable<void> EventSource::close() {
    auto body = [self = shared_from_this()]() -> asio::awaitable<void> {
        self->readyState_ = ReadyState::closed;
        if (self->currentResponse_ != nullptr) self->currentResponse_->cancel();
        if (self->connectionRunning_) {
            self->connectionRunning_ = false;
            // Posted, because close() may be awaited by a callback inside the run itself:
            // cancelling at once would cancel this very close() instead of the run's wait.
            asio::post(self->strand_, [source = self] {
                source->connectionSignal_.emit(asio::cancellation_type::terminal);
            });
        }
        co_return;
    };
    co_await net::onStrand(strand_, std::move(body));
}

void EventSource::startConnection() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    connectionRunning_ = true;
    // The run holds the client for as long as it lasts; it catches every failure itself.
    net::spawnOnStrand(
        strand_, runConnection(),
        asio::bind_cancellation_slot(connectionSignal_.slot(), [self = shared_from_this()](std::exception_ptr) {
            // The run reports its failures through the error callback; only running out of
            // memory could end it with one.
            self->connectionRunning_ = false;
        }));
}

asio::awaitable<bool> EventSource::stopping() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    const auto state = co_await asio::this_coro::cancellation_state;
    co_return readyState_ == ReadyState::closed || state.cancelled() != asio::cancellation_type::none;
}

asio::awaitable<void> EventSource::runConnection() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // close() is noticed at the checks below; the steps after it (delivering a block that the
    // end of the body completed) must still be able to await the callbacks.
    co_await asio::this_coro::throw_if_cancelled(false);
    // One parser for all attempts, so that the last id and the reconnection time carry over.
    Parser parser(limits_);
    asio::steady_timer reconnectionTimer(strand_);
    bool stop = co_await stopping();
    while (!stop) {
        readyState_ = ReadyState::connecting;
        Request attempt = request_;
        if (!parser.getLastEventID().empty()) attempt.headers.set("Last-Event-ID", parser.getLastEventID());

        std::exception_ptr failure;
        bool finishBody = false;
        try {
            auto response = co_await connector_->open(attempt);
            validateResponse(*response);
            readyState_ = ReadyState::open;
            currentResponse_ = response.get();
            const auto forget = [this](StreamResponse*) { currentResponse_ = nullptr; };
            const std::unique_ptr<StreamResponse, decltype(forget)> reading(response.get(), forget);
            if (auto callback = onOpen_) co_await callback();
            finishBody = co_await readEvents(*response, parser);
        } catch (...) {
            failure = std::current_exception();
        }

        if (!failure) {
            if (finishBody) co_await deliverFinishedEvents(parser);
            if (co_await stopping()) break;
            if (auto callback = onError_) co_await callback(nullptr);
            if (co_await stopping()) break;
        } else {
            if (co_await stopping()) break;
            if (auto callback = onError_) co_await callback(failure);
            if (isEventSourceError(failure) || co_await stopping()) break;
        }

        // The parser keeps the server's "retry" within bounds, so the wait is never
        // unreasonably long or short whatever the server sends.
        reconnectionTimer.expires_after(std::chrono::milliseconds(parser.getReconnectionTime()));
        const auto [waitError] = co_await reconnectionTimer.async_wait(asio::as_tuple(asio::use_awaitable));
        stop = waitError || co_await stopping();
    }
    readyState_ = ReadyState::closed;
}

// Reads one body. Returns true when it ended, or when the reading stopped between chunks: then
// the caller completes the block that was being read. Returns false when the reading stopped
// between the events of one chunk; the events after that point are dropped, as if their bytes
// had not been read.
asio::awaitable<bool> EventSource::readEvents(StreamResponse& response, Parser& parser) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    for (;;) {
        if (co_await stopping()) co_return true;
        auto chunk = co_await response.read();
        if (!chunk) co_return true;
        if (co_await stopping()) co_return true;
        parser.consume(*chunk);
        while (parser.hasQueuedEvent()) {
            if (co_await stopping()) {
                dropQueued(parser);
                co_return false;
            }
            co_await deliver(parser);
        }
    }
}

// Hands the oldest queued entry to its callback: an event to onMessage, a refusal to onError.
asio::awaitable<void> EventSource::deliver(Parser& parser) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    std::optional<Event> event;
    std::exception_ptr refusal;
    try {
        event = parser.getNextEvent();
    } catch (const SizeLimitError&) {
        refusal = std::current_exception();
    }
    if (refusal) {
        if (auto callback = onError_) co_await callback(refusal);
    } else if (event) {
        if (auto callback = onMessage_) co_await callback(*event);
    }
}

asio::awaitable<void> EventSource::deliverFinishedEvents(Parser& parser) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    parser.finish();
    const std::int64_t limit = std::max<std::int64_t>(maximumFinalizationEventCount_, 0);
    for (std::int64_t taken = 0; parser.hasQueuedEvent(); ++taken) {
        if (taken == limit) break;
        co_await deliver(parser);
    }
    // What passed the limit is dropped, not left for the next connection to deliver.
    dropQueued(parser);
}

}  // namespace eventsource
