#include "app/host/host_connection.hpp"

#include "app/host/http_request_reader.hpp"
#include "app/host/http_response_writer.hpp"

#include "mcp/protocol/mcp_error.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/deferred.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/experimental/parallel_group.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace app {

namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

// The most a single read asks of the connection.
constexpr std::size_t kReadChunk = 65'536;

// How many turns of its strand a request's serving is given before the peer is watched while
// it goes on (answerWhilePeerStays).
constexpr int kTurnsBeforeWatchingThePeer = 32;

// Puts the socket in non-blocking mode once: asking again would cost a system call each time.
bool makeNonBlocking(tcp::socket& socket) {
    boost::system::error_code error;
    if (!socket.non_blocking()) socket.non_blocking(true, error);
    return !error;
}

// One read of at most into.size() bytes: their number, or 0 when the peer closes or errs, or
// the reading's deadline passes first. Tells the reading while it waits for the peer.
asio::awaitable<std::size_t> readBefore(tcp::socket& socket, ConnectionReading& reading, std::span<char> into) {
    auto& deadline = reading.deadline();
    if (deadline.expiry() <= asio::steady_timer::clock_type::now()) co_return 0;
    // A request is mostly in the socket by the time it is read: take what is there without
    // setting up a wait on the socket and the deadline together.
    if (makeNonBlocking(socket)) {
        boost::system::error_code error;
        const auto ready = socket.read_some(asio::buffer(into.data(), into.size()), error);
        if (!error) co_return ready;
        if (error != asio::error::would_block && error != asio::error::try_again) co_return 0;
    }

    reading.awaitingPeer(true);
    auto [order, readError, count, waitError] =
        co_await asio::experimental::make_parallel_group(
            socket.async_read_some(asio::buffer(into.data(), into.size()), asio::deferred),
            deadline.async_wait(asio::deferred))
            .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
    reading.awaitingPeer(false);
    if (order[0] != 0 || readError) co_return 0;
    co_return count;
}

// Feeds the reader until the request is complete, can't be read (the reader's status stays
// `reading` when the peer closes or the deadline passes), or is refused on its head: then the
// refusal.
asio::awaitable<std::optional<mcp::HTTPResponse>> readRequest(tcp::socket& socket, HTTPRequestReader& reader,
                                                              ConnectionReading& reading, const ConnectionWork& work,
                                                              asio::steady_timer::time_point accepted) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadChunk);
    bool headRead = false;
    while (reader.status() == HTTPRequestReader::Status::reading) {
        const auto count = co_await readBefore(socket, reading, {buffer.get(), kReadChunk});
        if (count == 0) co_return std::nullopt;
        reader.feed({buffer.get(), count});
        const auto announced = reader.announcedLength();
        if (headRead || !announced) continue;
        headRead = true;
        reading.extendTo(accepted + work.limits.readDeadline);
        // Whether the body came with the head or not, so that the answer doesn't depend on how
        // the bytes arrived.
        if (*announced > 0 && work.checkHead) {
            if (auto refusal = work.checkHead(reader.head())) co_return refusal;
        }
    }
    co_return std::nullopt;
}

// Ends the sending side, then reads and drops what the peer still sends until it closes, the
// deadline passes or it has sent as much as a body may hold. A peer whose unread bytes are
// still queued when the socket closes gets a reset, which can destroy the answer before it
// reads it.
asio::awaitable<void> drainInput(tcp::socket& socket, ConnectionReading& reading) {
    boost::system::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_send, ignored);
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadChunk);
    for (std::size_t drained = 0; drained <= HTTPRequestReader::kMaxContentLength;) {
        const auto count = co_await readBefore(socket, reading, {buffer.get(), kReadChunk});
        if (count == 0) co_return;
        drained += count;
    }
}

mcp::HTTPResponse refusing(int statusCode, std::string detail) {
    return mcp::HTTPResponse::Error{statusCode, mcp::MCPError::invalidRequest(std::move(detail)), std::nullopt, {}};
}

// The answer to a request that the reader refused on its head, if it did.
std::optional<mcp::HTTPResponse> framingRefusal(const HTTPRequestReader& reader) {
    using Reason = HTTPRequestReader::BadRequestReason;
    switch (reader.status()) {
    case HTTPRequestReader::Status::lengthRequired:
        return refusing(411,
                       "Length Required: Send the body with a Content-Length header; transfer codings are not supported");
    case HTTPRequestReader::Status::badRequest:
        return refusing(400, reader.badRequestReason() == Reason::repeatedHost
                                ? "Bad Request: Send one Host header"
                                : "Bad Request: Send the body's length in decimal digits alone, in one Content-Length "
                                  "header");
    default: return std::nullopt;
    }
}

// What serve gives, or the internal error it failed with: a request that was read always gets
// an answer.
asio::awaitable<mcp::HTTPResponse> answer(const ConnectionServe& serve, mcp::HTTPRequest request) {
    std::optional<mcp::MCPError> failure;
    try {
        co_return co_await serve(std::move(request));
    } catch (const std::exception& error) {
        failure = mcp::MCPError::internalError(error.what());
    } catch (...) {
        failure = mcp::MCPError::internalError();
    }
    co_return mcp::HTTPResponse::Error{500, std::move(*failure), std::nullopt, {}};
}

asio::awaitable<void> write(tcp::socket& socket, const mcp::HTTPResponse& response, std::string_view launchID) {
    const auto bytes = httpResponseBytes(response, launchID);
    std::string_view left = bytes;
    // Most answers fit in the socket's buffer at once: write them here rather than through a
    // wait whose end would be handed to another thread.
    if (makeNonBlocking(socket)) {
        boost::system::error_code error;
        while (!left.empty() && !error) left.remove_prefix(socket.write_some(asio::buffer(left), error));
        if (error && error != asio::error::would_block && error != asio::error::try_again) co_return;
    }
    if (!left.empty()) co_await asio::async_write(socket, asio::buffer(left), asio::as_tuple(asio::use_awaitable));
}

// Until the peer goes away, waits for ready to expire, reading and dropping what the peer
// sends meanwhile (up to what a body may hold; beyond it, the peer is no longer watched).
// Returns false when the peer has closed its side or failed.
asio::awaitable<bool> peerStaysUntil(tcp::socket& socket, asio::steady_timer& ready) {
    std::unique_ptr<char[]> buffer;
    boost::system::error_code error;
    if (!makeNonBlocking(socket)) co_return false;
    for (std::size_t dropped = 0; !error && dropped <= HTTPRequestReader::kMaxContentLength;) {
        if (ready.expiry() <= asio::steady_timer::clock_type::now()) co_return true;
        auto [order, waitError, readyError] =
            co_await asio::experimental::make_parallel_group(socket.async_wait(tcp::socket::wait_read, asio::deferred),
                                                             ready.async_wait(asio::deferred))
                .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
        if (order[0] == 1) co_return true;
        if (waitError) co_return false;
        if (!buffer) buffer = std::make_unique_for_overwrite<char[]>(kReadChunk);
        const auto count = socket.read_some(asio::buffer(buffer.get(), kReadChunk), error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            error.clear();
            continue;
        }
        if (error || count == 0) co_return false;
        dropped += count;
    }
    if (error) co_return false;
    co_await ready.async_wait(asio::as_tuple(asio::use_awaitable));
    co_return true;
}

// Serves request and writes its answer, unless the peer goes away first: the connection then
// ends at once, which frees its place among the host's connections, and the answer is dropped
// when it comes. The serving itself is never cut short: a tool may be waiting for the user.
asio::awaitable<void> answerWhilePeerStays(tcp::socket& socket, const ConnectionWork& work,
                                           mcp::HTTPRequest request) {
    struct Answering {
        explicit Answering(const asio::any_io_executor& executor)
            : ready(executor, asio::steady_timer::time_point::max()) {}
        std::optional<mcp::HTTPResponse> response;
        // Expires when the response is there.
        asio::steady_timer ready;
    };
    const auto executor = socket.get_executor();
    auto answering = std::make_shared<Answering>(executor);
    auto serving = [serve = work.serve, request = std::move(request), answering]() mutable -> asio::awaitable<void> {
        answering->response = co_await answer(serve, std::move(request));
        answering->ready.expires_at(asio::steady_timer::time_point::min());
    };
    // answer never throws; the serving runs on the connection's strand, as this does, and
    // starts at once, on this thread.
    mcp::spawnOnStrand(mcp::strandOf(executor), std::move(serving), [](std::exception_ptr) {});

    // Most answers (a tool list, an initialize) take a few turns of the strand and wait on
    // nothing outside it: they are written on the thread that read the request. A watch on the
    // peer, once begun, ends through the system's event queue, which wakes another thread.
    for (int turn = 0; turn < kTurnsBeforeWatchingThePeer && !answering->response; ++turn) {
        co_await asio::post(executor, asio::use_awaitable);
    }
    if (!answering->response && !co_await peerStaysUntil(socket, answering->ready)) co_return;
    co_await write(socket, *answering->response, work.launchID);
}

}  // namespace

std::shared_ptr<ConnectionReading> ConnectionReading::make(const asio::any_io_executor& strand, Events events) {
    return std::shared_ptr<ConnectionReading>(new ConnectionReading(strand, std::move(events)));
}

ConnectionReading::ConnectionReading(const asio::any_io_executor& strand, Events events)
    : deadline_(strand), events_(std::move(events)) {}

void ConnectionReading::cut() {
    asio::post(deadline_.get_executor(), [self = shared_from_this()] {
        self->cut_ = true;
        // Also ends a wait that starts later, and so the reading whatever step it is at.
        self->deadline_.expires_at(asio::steady_timer::time_point::min());
    });
}

void ConnectionReading::extendTo(asio::steady_timer::time_point deadline) {
    if (!cut_) deadline_.expires_at(deadline);
}

void ConnectionReading::awaitingPeer(bool waiting) {
    if (events_.awaitingPeer) events_.awaitingPeer(waiting);
}

void ConnectionReading::end() {
    events_.awaitingPeer = {};
    if (auto ended = std::exchange(events_.ended, {})) ended();
}

asio::awaitable<void> serveConnection(tcp::socket socket, ConnectionWork work,
                                      std::shared_ptr<ConnectionReading> reading) {
    const auto accepted = asio::steady_timer::clock_type::now();
    reading->extendTo(accepted + work.limits.headDeadline);
    HTTPRequestReader reader;
    auto refusal = co_await readRequest(socket, reader, *reading, work, accepted);
    if (!refusal) refusal = framingRefusal(reader);
    if (refusal) {
        co_await write(socket, *refusal, work.launchID);
        reading->extendTo(accepted + work.limits.readDeadline);
        co_await drainInput(socket, *reading);
    }
    reading->end();
    if (!refusal && reader.status() == HTTPRequestReader::Status::complete) {
        co_await answerWhilePeerStays(socket, work, reader.takeRequest());
    }
    boost::system::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

}  // namespace app
