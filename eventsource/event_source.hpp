#pragma once

#include "eventsource/event.hpp"
#include "eventsource/event_source_error.hpp"
#include "eventsource/event_stream.hpp"
#include "eventsource/parser.hpp"
#include "eventsource/ready_state.hpp"
#include "eventsource/stream_connector.hpp"

#include "net/strand_hop.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/cancellation_signal.hpp>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace eventsource {

// A Server-Sent Events client: connects, checks that the answer is an event stream, hands
// each event to the message callback, and when the body ends or the connection fails waits
// the server's reconnection time and connects again, sending the last event id in
// "Last-Event-ID". An answer that is not an event stream ends it for good, as does close().
//
//     auto source = eventsource::EventSource::create(executor, boost::urls::url(address));
//     source->onMessage([](const eventsource::Event& event) -> boost::asio::awaitable<void> {
//         handle(event.data);
//         co_return;
//     });
//
// Callbacks set right after create() are in place before the first answer: they are stored
// by tasks posted to the strand, which run before any network reply can be read.
//
// Thread safety: every operation runs on the client's own strand, so any thread may call
// them. The callbacks run on that strand one at a time, and each is awaited before the next
// bytes are read: a slow message callback slows the reading of the stream.
//
// The connections, the reconnection time and "Last-Event-ID" are an EventStream's; the client
// is its handler, deciding what the callbacks hear and when the stream ends.
class EventSource : public std::enable_shared_from_this<EventSource>, private EventStream::Handler {
public:
    using Event = eventsource::Event;
    using Parser = eventsource::Parser;
    using ReadyState = eventsource::ReadyState;

    using OpenCallback = std::function<boost::asio::awaitable<void>()>;
    using MessageCallback = std::function<boost::asio::awaitable<void>(const Event&)>;
    // Called with the failure, or with a null pointer when a body ended normally.
    using ErrorCallback = std::function<boost::asio::awaitable<void>(std::exception_ptr)>;

    static constexpr std::int64_t kDefaultMaximumFinalizationEventCount = 100;

    // A client for `url`, over an HTTP client of its own made on `executor`: a GET with
    // "Accept: text/event-stream" and "Cache-Control: no-cache" and an idle time-out of
    // 60 seconds. Starts connecting at once on `executor` when it is a strand, else on a new
    // strand of it; returns without waiting.
    static std::shared_ptr<EventSource> create(boost::asio::any_io_executor executor, boost::urls::url url);
    // The same request, sent through `connector`; the streams are read within `limits`.
    static std::shared_ptr<EventSource> create(boost::asio::any_io_executor executor, boost::urls::url url,
                                               std::shared_ptr<StreamConnector> connector,
                                               Parser::Limits limits = {});
    // A client that sends `request` (plus "Last-Event-ID" once an id has been seen) on every
    // attempt. Starts connecting at once.
    static std::shared_ptr<EventSource> create(boost::asio::any_io_executor executor, Request request,
                                               std::shared_ptr<StreamConnector> connector,
                                               Parser::Limits limits = {});

    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    // The request of every attempt; fixed at construction, so any thread may read it.
    const Request& request() const noexcept { return request_; }
    const boost::urls::url& url() const noexcept { return request_.url; }

    boost::asio::awaitable<ReadyState> readyState();

    // How many events a body's end may still complete and deliver (see the finishing rules
    // of Parser::finish); 100 by default, and a negative value counts as 0.
    boost::asio::awaitable<std::int64_t> maximumFinalizationEventCount();
    boost::asio::awaitable<void> setMaximumFinalizationEventCount(std::int64_t count);

    // Replace (or, with an empty function, remove) a callback. The new callback is stored by
    // a task posted to the strand, so it is in place once that task has run, not at once.
    // The client keeps the callback until it is replaced or the client is destroyed.
    void onOpen(OpenCallback callback);
    void onMessage(MessageCallback callback);
    // Also called, without ending the connection, with a SizeLimitError when the stream
    // held a line or an event beyond the parser's limits.
    void onError(ErrorCallback callback);

    // Stops the client for good: the state becomes closed and the running attempt is
    // cancelled. Does not wait for the attempt to end; nothing is reported after it.
    boost::asio::awaitable<void> close();

private:
    EventSource(boost::asio::any_io_executor executor, Request request, std::shared_ptr<StreamConnector> connector,
                Parser::Limits limits);

    // These run on strand_.
    void startConnection();
    boost::asio::awaitable<void> runConnection();

    // The stream's handler (on strand_ as well).
    boost::asio::awaitable<std::unique_ptr<StreamResponse>> open(const std::string& lastEventID) override;
    boost::asio::awaitable<void> opened(StreamResponse& response) override;
    bool reading() override;
    boost::asio::awaitable<bool> event(Event& event) override;
    boost::asio::awaitable<bool> refused(const SizeLimitError& error) override;
    std::int64_t finalEventLimit() override;
    boost::asio::awaitable<bool> ended(std::exception_ptr failure) override;

    // The state below is touched only on strand_.
    net::Strand strand_;
    const Request request_;
    const std::shared_ptr<StreamConnector> connector_;
    EventStream stream_;
    ReadyState readyState_ = ReadyState::connecting;
    std::int64_t maximumFinalizationEventCount_ = kDefaultMaximumFinalizationEventCount;
    OpenCallback onOpen_;
    MessageCallback onMessage_;
    ErrorCallback onError_;
    // Cancels the connection run; bound to it while it runs.
    boost::asio::cancellation_signal connectionSignal_;
    bool connectionRunning_ = false;
};

}  // namespace eventsource
