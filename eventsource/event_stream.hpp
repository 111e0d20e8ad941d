#pragma once

// EventStream: one stream of Server-Sent Events, read over as many connections as it takes.
// It opens a connection through its handler, reads the body through a parser (within the
// parser's limits) and hands each event on; when the connection ends, the handler decides
// whether to go on. Then it waits the reconnection time, which honours the server's "retry"
// within the limits, and opens the next connection with the stream's last event id for
// "Last-Event-ID". Every reconnecting reader of the library runs on it: EventSource, and the
// HTTP client transport's standing stream and its resumption of a POST's answer.
//
//     class Feed final : public eventsource::EventStream::Handler { ... };
//     Feed feed;
//     eventsource::EventStream stream(strand, feed, {.maxConnections = 10});
//     co_await stream.run();
//
// Each connection starts with a fresh parser that goes on from the last event id: a block
// that a broken connection left half read never runs into the next connection's bytes.
//
// Not thread-safe: run(), stop() and the accessors are called on one strand, which also
// calls the handler.

#include "eventsource/event.hpp"
#include "eventsource/parser.hpp"
#include "eventsource/size_limit_error.hpp"
#include "eventsource/stream_connector.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace eventsource {

// run() gave up: the stream used every connection it was allowed.
class ConnectionLimitError : public std::runtime_error {
public:
    // "Event stream given up after <connections> connections".
    explicit ConnectionLimitError(std::size_t connections);

    std::size_t connections() const noexcept { return connections_; }

private:
    std::size_t connections_;
};

class EventStream {
public:
    struct Options {
        // The bounds of every line and event, and of the server's "retry".
        Parser::Limits limits;
        // The connections made in all, the first one included, before run() gives up with
        // ConnectionLimitError instead of waiting for another; 0 for no bound.
        std::size_t maxConnections = 0;
    };

    // What the stream's owner decides and hears. Every member is called on the coroutine
    // that runs the stream; a coroutine member may suspend it (a slow consumer holds the
    // reading there).
    class Handler {
    public:
        virtual ~Handler() = default;

        // Opens the next connection. `lastEventID` is the id of the stream's last "id" line
        // (empty before any, and after an empty one), to be sent as "Last-Event-ID" when not
        // empty. Throws to fail the attempt, which ended() then hears; returns null to end the
        // stream without a connection.
        virtual boost::asio::awaitable<std::unique_ptr<StreamResponse>> open(const std::string& lastEventID) = 0;

        // The connection's answer is in; its body is read next.
        virtual boost::asio::awaitable<void> opened(StreamResponse&) { co_return; }

        // Whether the body is still wanted, asked before each read, before the bytes read are
        // parsed, and before each event they complete is handed on. At a read, false ends the
        // body as if the server had ended it (its last block is completed and handed on);
        // between events it ends the body at once, the rest dropped.
        virtual bool reading() { return true; }

        // An event of the body. False stops the reading at once: the rest of the body is
        // dropped, its last block is not completed, and the connection counts as ended.
        virtual boost::asio::awaitable<bool> event(Event& event) = 0;

        // A block refused for its size, in the place of its event; false as for event().
        virtual boost::asio::awaitable<bool> refused(const SizeLimitError& error) = 0;

        // The events of one chunk of the body, or of its end, have been handed on.
        virtual void chunkHandled() {}

        // How many entries (events and refusals) the end of a body may still complete and
        // hand on; those after them are dropped.
        virtual std::int64_t finalEventLimit() { return std::numeric_limits<std::int64_t>::max(); }

        // The connection ended: with its failure (from open(), opened(), the body, or a
        // member above), or with null when its body ended or its reading stopped. True to
        // connect again after the reconnection time. What it throws ends run().
        virtual boost::asio::awaitable<bool> ended(std::exception_ptr failure) = 0;

        // The wait before the next connection, asked once, just before it. `announced` is the
        // stream's own: the server's last "retry" within the limits, else 3000 ms.
        virtual std::chrono::milliseconds reconnectionTime(std::chrono::milliseconds announced) {
            return announced;
        }
    };

    // A stream whose waits run on `executor` (the owner's strand). Keeps a reference to
    // `handler`, which must outlive it.
    EventStream(const boost::asio::any_io_executor& executor, Handler& handler, Options options);

    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // Reads connection after connection until the handler's ended() says no more, open()
    // returns null, or stop(). `first`, when given, is an answer already open (to a POST,
    // say), read as the first connection. Throws what ended() throws, ConnectionLimitError at
    // the bound, and net::Error::cancelled (a boost::system::system_error) when stop() or the
    // cancellation of the awaiting coroutine cuts a wait for the next connection short.
    boost::asio::awaitable<void> run(std::unique_ptr<StreamResponse> first = nullptr);

    // Ends the stream: no further connection is made, a wait for one ends at once, and the
    // body being read is cancelled (its read under way, and every later one, fails).
    void stop();

    // The id of the last "id" line of any connection so far; empty before any (and after an
    // empty one).
    const std::string& lastEventID() const noexcept { return lastEventID_; }

    // The reconnection time announced on the connection being read, as
    // Parser::announcedReconnectionTime; nothing before its first accepted "retry" line.
    std::optional<std::int64_t> announcedReconnectionTime() const noexcept;

    // The connections opened or attempted so far, the one being read included.
    std::size_t connections() const noexcept { return connections_; }

private:
    boost::asio::awaitable<void> read(StreamResponse& response);
    boost::asio::awaitable<bool> handOn(Parser& parser, bool bodyEnded);
    boost::asio::awaitable<void> waitToReconnect();

    Handler& handler_;
    const Options options_;
    boost::asio::steady_timer wait_;
    std::string lastEventID_;
    std::chrono::milliseconds reconnectionTime_{Parser::kDefaultReconnectionTime};
    std::size_t connections_ = 0;
    bool stopped_ = false;
    // The connection being read and its parser, while run() reads one.
    StreamResponse* current_ = nullptr;
    const Parser* parser_ = nullptr;
};

}  // namespace eventsource
