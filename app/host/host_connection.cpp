#include "app/host/host_connection.hpp"

#include "app/host/http_request_reader.hpp"
#include "app/host/http_response_writer.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/deferred.hpp>
#include <boost/asio/experimental/parallel_group.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <utility>

namespace app {

namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

// The most a single read asks of the connection.
constexpr std::size_t kReadChunk = 65'536;

// One read of at most into.size() bytes: their number, or 0 when the peer closes or errs, or
// the deadline passes first.
asio::awaitable<std::size_t> readBefore(tcp::socket& socket, asio::steady_timer& deadline, std::span<char> into) {
    auto [order, readError, count, waitError] =
        co_await asio::experimental::make_parallel_group(
            socket.async_read_some(asio::buffer(into.data(), into.size()), asio::deferred),
            deadline.async_wait(asio::deferred))
            .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
    if (order[0] != 0 || readError) co_return 0;
    co_return count;
}

// Feeds the reader until the request is complete or can't be read. The head must be complete
// within the head deadline of accepting; while the body is read, each read has the idle
// deadline.
asio::awaitable<HTTPRequestReader::Status> readRequest(tcp::socket& socket, HTTPRequestReader& reader,
                                                       const HostLimits& limits) {
    asio::steady_timer deadline(socket.get_executor());
    deadline.expires_after(limits.headDeadline);
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadChunk);
    while (reader.status() == HTTPRequestReader::Status::reading) {
        if (reader.readingBody()) deadline.expires_after(limits.bodyIdleDeadline);
        const auto count = co_await readBefore(socket, deadline, {buffer.get(), kReadChunk});
        if (count == 0) co_return HTTPRequestReader::Status::dropped;
        reader.feed({buffer.get(), count});
    }
    co_return reader.status();
}

// Ends the sending side, then reads and drops what the peer still sends until it closes, goes
// quiet for the idle deadline or has sent as much as a body may hold. A peer whose unread bytes
// are still queued when the socket closes gets a reset, which can destroy the answer before
// it reads it.
asio::awaitable<void> drainInput(tcp::socket& socket, const HostLimits& limits) {
    boost::system::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_send, ignored);
    asio::steady_timer deadline(socket.get_executor());
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadChunk);
    for (std::size_t drained = 0; drained <= HTTPRequestReader::kMaxContentLength;) {
        deadline.expires_after(limits.bodyIdleDeadline);
        const auto count = co_await readBefore(socket, deadline, {buffer.get(), kReadChunk});
        if (count == 0) co_return;
        drained += count;
    }
}

mcp::HTTPResponse lengthRequired() {
    return mcp::HTTPResponse::Error{
        411,
        mcp::MCPError::invalidRequest(
            "Length Required: Send the body with a Content-Length header; transfer codings are not supported"),
        std::nullopt,
        {}};
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
    co_await asio::async_write(socket, asio::buffer(bytes), asio::as_tuple(asio::use_awaitable));
}

}  // namespace

asio::awaitable<void> serveConnection(tcp::socket socket, HostLimits limits, std::string launchID,
                                      ConnectionServe serve) {
    HTTPRequestReader reader;
    switch (co_await readRequest(socket, reader, limits)) {
    case HTTPRequestReader::Status::complete: {
        const auto response = co_await answer(serve, reader.takeRequest());
        co_await write(socket, response, launchID);
        break;
    }
    case HTTPRequestReader::Status::lengthRequired:
        co_await write(socket, lengthRequired(), launchID);
        co_await drainInput(socket, limits);
        break;
    case HTTPRequestReader::Status::reading:
    case HTTPRequestReader::Status::dropped:
        break;
    }
    boost::system::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

}  // namespace app
