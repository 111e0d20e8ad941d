#pragma once

// HTTPClient: a small HTTP/1.1 client for the library's own requests.
//
//     auto client = net::HTTPClient::make(executor);
//     net::HTTPRequest request{.method = "POST", .url = url, .body = text};
//     net::HTTPResponse response = co_await client->fetch(request);     // whole body
//     net::ResponseStream stream = co_await client->start(request);     // head, then pieces
//
// What it does, and what it leaves out on purpose:
// - Redirects are never followed: a 3xx answer is returned like any other, so whoever sent
//   the request decides (credentials never travel to a place nobody checked).
// - Timeouts are idle timeouts (HTTPRequest::timeout), restarted by every connect, write
//   and read; a stream that keeps delivering never times out.
// - Connections are kept alive and reused for the same scheme, host and port, once a
//   response was read to its end; a response left unread closes its connection. At most
//   HTTPClientOptions::maxConnectionsPerHost are open per host; further requests queue.
// - https checks the peer's certificate chain and host name (TLS 1.2 or later, SNI).
// - No cookies, caching, compression, proxies or HTTP/2.
// - Response heads are bounded by HTTPClientOptions::maxHeaderBytes; bodies read whole by
//   fetch() by maxBodyBytes.
//
// Thread safety: the client may be shared by coroutines on different executors and strands.
// Each request's I/O runs on the executor of the coroutine that started it, which must not
// run its handlers on two threads at once (a strand, or a one-thread io_context).

#include "net/http_request.hpp"
#include "net/resolver.hpp"
#include "net/response_stream.hpp"
#include "net/tls_context.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ssl/context.hpp>

#include <chrono>
#include <cstddef>
#include <memory>

namespace net {

namespace detail {
class ConnectionPool;
class Operation;
class OperationRegistry;
}  // namespace detail

struct HTTPClientOptions {
    // The largest response head (status line and fields) accepted.
    std::size_t maxHeaderBytes = 64 * 1024;
    // The largest body fetch() takes in; ResponseStream::readAll takes its own limit.
    std::size_t maxBodyBytes = 64 * 1024 * 1024;
    // The most that one readSome() returns.
    std::size_t readChunkBytes = 64 * 1024;
    // Connections open at once per scheme, host and port, in use or idle (at least 1). A
    // request beyond them waits until one closes or comes back, in the order of asking: a
    // server can't make the client open connection after connection.
    std::size_t maxConnectionsPerHost = 6;
    // Idle keep-alive connections kept per scheme, host and port.
    std::size_t maxIdleConnectionsPerHost = 16;
    // How long an idle connection is kept for reuse.
    std::chrono::milliseconds idleConnectionTimeout = std::chrono::seconds(30);
    TLSOptions tls;
    // Null: the system's resolver, a plain TCP connect.
    std::shared_ptr<Resolver> resolver;
    std::shared_ptr<Connector> connector;
};

class HTTPClient : public std::enable_shared_from_this<HTTPClient> {
public:
    // A client whose connections are made on `executor`. Throws boost::system::system_error
    // when a configured TLS authority can't be read.
    static std::shared_ptr<HTTPClient> make(boost::asio::any_io_executor executor, HTTPClientOptions options = {});

    ~HTTPClient();
    HTTPClient(const HTTPClient&) = delete;
    HTTPClient& operator=(const HTTPClient&) = delete;

    // Sends `request` and returns once the response head has arrived. Throws
    // boost::system::system_error: Error::cancelled after shutdown(), Error::timedOut,
    // Error::unsupportedScheme, Error::invalidURL, Error::unsafeHeader (before anything is
    // sent), Error::headerTooLarge, or the error of the resolver, the connector, TLS or the
    // network.
    boost::asio::awaitable<ResponseStream> start(HTTPRequest request);

    // start(), then the whole body (at most maxBodyBytes, else Error::bodyTooLarge).
    boost::asio::awaitable<HTTPResponse> fetch(HTTPRequest request);

    // Cancels every request in flight (they fail with Error::cancelled), closes the idle
    // connections and refuses every later request with Error::cancelled. From any thread;
    // a second call does nothing more.
    void shutdown();
    bool isShutDown() const;

    const HTTPClientOptions& options() const noexcept { return options_; }

private:
    HTTPClient(boost::asio::any_io_executor executor, HTTPClientOptions options);

    boost::asio::awaitable<void> openConnection(detail::Operation& operation, const HTTPRequest& request,
                                                const std::string& poolKey);
    boost::asio::awaitable<boost::system::error_code> exchange(detail::Operation& operation,
                                                               const HTTPRequest& request);

    boost::asio::any_io_executor executor_;
    HTTPClientOptions options_;
    boost::asio::ssl::context tls_;
    std::shared_ptr<detail::ConnectionPool> pool_;
    std::shared_ptr<detail::OperationRegistry> registry_;
};

}  // namespace net
