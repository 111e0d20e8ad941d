#pragma once

// Connection: one open HTTP/1.1 connection, plain or TLS, with the read buffer that belongs
// to it (bytes read past one response stay with the connection for the next).

#include <boost/asio/ssl/stream.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <chrono>
#include <memory>
#include <string>
#include <variant>

namespace net::detail {

class Connection {
public:
    using PlainStream = boost::beast::tcp_stream;
    using TLSStream = boost::beast::ssl_stream<boost::beast::tcp_stream>;

    Connection(std::string poolKey, PlainStream stream);
    Connection(std::string poolKey, std::unique_ptr<TLSStream> stream);

    // "scheme://host:port": connections are reused only for the same key.
    const std::string& poolKey() const noexcept { return poolKey_; }

    // The TCP layer, for timeouts and closing.
    PlainStream& tcp() noexcept;
    // Null for a plain connection.
    TLSStream* tls() noexcept;
    PlainStream* plain() noexcept;

    boost::beast::flat_buffer& buffer() noexcept { return buffer_; }

    // Closes the socket; pending operations end with operation_aborted. Never throws.
    void close() noexcept;
    bool isOpen() noexcept;

    // When it went back to the pool.
    std::chrono::steady_clock::time_point idleSince;
    // Whether it has carried a request before: a failure before any answer on a reused
    // connection is the server having closed it while idle.
    bool reused = false;
    // Its room among the connections its pool lets a host have open; freed with it.
    std::shared_ptr<void> room;

private:
    std::string poolKey_;
    std::variant<std::unique_ptr<PlainStream>, std::unique_ptr<TLSStream>> stream_;
    boost::beast::flat_buffer buffer_;
};

}  // namespace net::detail
