#pragma once

// ResponseStream: a response whose head has arrived and whose body is read piece by piece,
// as it arrives. Made by HTTPClient::start.
//
//     auto response = co_await client->start(request);
//     while (true) {
//         std::string piece = co_await response.readSome();
//         if (piece.empty()) break;      // the end of the body
//         use(piece);
//     }
//
// Reading the body to its end hands a keep-alive connection back to the client's pool;
// a stream destroyed earlier closes its connection. Reads run on the coroutine that
// started the request (one read at a time); cancel() may be called from anywhere.

#include "net/header_map.hpp"

#include <boost/asio/awaitable.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace net {

namespace detail {
class Operation;
}

// Cancels one request from anywhere, also while its stream is owned elsewhere. Empty
// handles, and handles of requests that have ended, do nothing.
class CancelHandle {
public:
    CancelHandle() = default;
    explicit CancelHandle(std::weak_ptr<detail::Operation> operation) : operation_(std::move(operation)) {}
    void cancel() const;

private:
    std::weak_ptr<detail::Operation> operation_;
};

class ResponseStream {
public:
    ResponseStream(std::shared_ptr<detail::Operation> operation, int status, HeaderMap headers,
                   std::size_t chunkSize);
    ResponseStream(ResponseStream&&) noexcept;
    ResponseStream& operator=(ResponseStream&&) noexcept;
    ~ResponseStream();

    int status() const noexcept { return status_; }
    const HeaderMap& headers() const noexcept { return headers_; }
    std::optional<std::string> header(std::string_view name) const { return headers_.get(name); }

    // The next piece of the body, as soon as some has arrived; empty at the end (and every
    // time after). Throws boost::system::system_error: Error::cancelled after cancel() or
    // the client's shutdown(), Error::timedOut after the request's timeout without a byte,
    // or the network's error.
    boost::asio::awaitable<std::string> readSome();

    // The rest of the body. Throws Error::bodyTooLarge, closing the connection, when it is
    // longer than `limit` bytes; otherwise as readSome.
    boost::asio::awaitable<std::string> readAll(std::size_t limit);

    // Ends the request: a read under way, and every later one, fails with Error::cancelled.
    void cancel() const;
    CancelHandle cancelHandle() const;

    // True once the body was read to its end.
    bool finished() const noexcept { return finished_; }

    // Closes the connection without reading the rest of the body.
    void discard();

private:
    std::shared_ptr<detail::Operation> operation_;
    int status_ = 0;
    HeaderMap headers_;
    std::size_t chunkSize_ = 0;
    std::size_t readBufferBytes_ = 0;
    bool finished_ = false;
};

}  // namespace net
