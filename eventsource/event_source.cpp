#include "eventsource/event_source.hpp"

#include "eventsource/net_stream_connector.hpp"

#include "net/error.hpp"

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
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

bool isEventSourceError(const std::exception_ptr& failure) {
    if (!failure) return false;
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
      stream_(strand_, *this, {.limits = limits}) {}

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
        self->stream_.stop();
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

asio::awaitable<void> EventSource::runConnection() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    // close() is noticed at the checks of the handler below; the steps after it (delivering a
    // block that the end of the body completed) must still be able to await the callbacks.
    co_await asio::this_coro::throw_if_cancelled(false);
    try {
        co_await stream_.run();
    } catch (const boost::system::system_error& error) {
        // close() cut the reconnection wait short.
        if (!net::isCancellation(error.code())) throw;
    }
    readyState_ = ReadyState::closed;
}

asio::awaitable<std::unique_ptr<StreamResponse>> EventSource::open(const std::string& lastEventID) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    readyState_ = ReadyState::connecting;
    Request attempt = request_;
    if (!lastEventID.empty()) attempt.headers.set("Last-Event-ID", lastEventID);
    auto response = co_await connector_->open(attempt);
    validateResponse(*response);
    co_return response;
}

asio::awaitable<void> EventSource::opened(StreamResponse&) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    readyState_ = ReadyState::open;
    if (auto callback = onOpen_) co_await callback();
}

// After close(), the next check stops the reading: a block half read when it comes is still
// completed and delivered, the events after it are not.
bool EventSource::reading() { return readyState_ != ReadyState::closed; }

asio::awaitable<bool> EventSource::event(Event& event) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (auto callback = onMessage_) co_await callback(event);
    co_return true;
}

asio::awaitable<bool> EventSource::refused(const SizeLimitError& error) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (auto callback = onError_) co_await callback(std::make_exception_ptr(error));
    co_return true;
}

std::int64_t EventSource::finalEventLimit() { return std::max<std::int64_t>(maximumFinalizationEventCount_, 0); }

asio::awaitable<bool> EventSource::ended(std::exception_ptr failure) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!reading()) co_return false;
    if (auto callback = onError_) co_await callback(failure);
    // An answer that is not an event stream will not become one: no reconnection.
    co_return !isEventSourceError(failure) && reading();
}

}  // namespace eventsource
