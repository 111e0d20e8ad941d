#include "eventsource/event_stream.hpp"

#include "net/error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <utility>

namespace eventsource {

namespace asio = boost::asio;

ConnectionLimitError::ConnectionLimitError(std::size_t connections)
    : std::runtime_error("Event stream given up after " + std::to_string(connections) + " connections"),
      connections_(connections) {}

EventStream::EventStream(const asio::any_io_executor& executor, Handler& handler, Options options)
    : handler_(handler), options_(options), wait_(executor) {}

std::optional<std::int64_t> EventStream::announcedReconnectionTime() const noexcept {
    if (parser_ == nullptr) return std::nullopt;
    return parser_->announcedReconnectionTime();
}

void EventStream::stop() {
    stopped_ = true;
    wait_.cancel();
    if (current_ != nullptr) current_->cancel();
}

asio::awaitable<void> EventStream::run(std::unique_ptr<StreamResponse> first) {
    while (!stopped_) {
        ++connections_;
        std::exception_ptr failure;
        try {
            // Not a conditional expression: GCC 12 mishandles the lifetime of a co_await's
            // result inside one.
            std::unique_ptr<StreamResponse> response = std::move(first);
            if (!response) response = co_await handler_.open(lastEventID_);
            if (!response) co_return;
            co_await read(*response);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!co_await handler_.ended(std::move(failure))) co_return;
        if (options_.maxConnections != 0 && connections_ >= options_.maxConnections) {
            throw ConnectionLimitError(connections_);
        }
        co_await waitToReconnect();
    }
}

asio::awaitable<void> EventStream::waitToReconnect() {
    if (!stopped_) {
        wait_.expires_after(handler_.reconnectionTime(reconnectionTime_));
        const auto [error] = co_await wait_.async_wait(asio::as_tuple(asio::use_awaitable));
        if (!error && !stopped_) co_return;
    }
    net::fail(net::Error::cancelled);
}

asio::awaitable<void> EventStream::read(StreamResponse& response) {
    // The stream's last event id and reconnection time are what each connection's parser
    // made of them, also when the connection fails.
    Parser parser(options_.limits, lastEventID_);
    current_ = &response;
    parser_ = &parser;
    const auto keep = [this](Parser* connection) {
        lastEventID_ = connection->getLastEventID();
        if (const auto announced = connection->announcedReconnectionTime()) {
            reconnectionTime_ = std::chrono::milliseconds(*announced);
        }
        current_ = nullptr;
        parser_ = nullptr;
    };
    const std::unique_ptr<Parser, decltype(keep)> kept(&parser, keep);

    co_await handler_.opened(response);
    for (;;) {
        if (!handler_.reading()) break;
        auto chunk = co_await response.read();
        if (!chunk || !handler_.reading()) break;
        parser.consume(std::string_view(*chunk));
        // Nothing more is read once the handler has stopped the reading.
        if (!co_await handOn(parser, false)) co_return;
        handler_.chunkHandled();
    }
    parser.finish();
    if (!co_await handOn(parser, true)) co_return;
    handler_.chunkHandled();
}

// Hands the parser's queued entries on in order; at the end of the body, at most the
// handler's final limit of them, the others staying behind in the parser, which ends with the
// connection. False when the handler stopped the reading.
asio::awaitable<bool> EventStream::handOn(Parser& parser, bool bodyEnded) {
    const std::int64_t limit = bodyEnded ? handler_.finalEventLimit() : std::numeric_limits<std::int64_t>::max();
    for (std::int64_t taken = 0; parser.hasQueuedEvent() && taken < limit; ++taken) {
        if (!bodyEnded && !handler_.reading()) co_return false;
        // Taken in place: the parser reuses an event's storage for those after it.
        Event* event = nullptr;
        std::optional<SizeLimitError> refusal;
        try {
            event = parser.takeNextEvent();
        } catch (const SizeLimitError& error) {
            refusal = error;
        }
        bool goOn = false;
        if (event) {
            goOn = co_await handler_.event(*event);
        } else {
            goOn = co_await handler_.refused(*refusal);
        }
        if (!goOn) co_return false;
    }
    co_return true;
}

}  // namespace eventsource
