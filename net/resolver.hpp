#pragma once

// The two steps before a request's first byte: finding the addresses of a host, and opening
// a TCP connection to one of them. Each is an interface so that a caller can put its own in
// place: a resolver that checks every address before it is used (refusing private ones, say),
// or, in tests, one that points any name at a loopback server, and a connector that counts
// the connections made. The client connects only to the addresses its resolver returned.

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/tcp_stream.hpp>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace net {

class Resolver {
public:
    virtual ~Resolver() = default;

    // The addresses of `host` (a name or an IP literal, IPv6 without brackets) with `port`,
    // in the order to try them. Throws when there are none; an empty result counts as none.
    // May be called from several coroutines at once.
    virtual boost::asio::awaitable<std::vector<boost::asio::ip::tcp::endpoint>> resolve(std::string host,
                                                                                       std::uint16_t port) = 0;
};

// The system's resolver (getaddrinfo on a background thread).
class SystemResolver final : public Resolver {
public:
    boost::asio::awaitable<std::vector<boost::asio::ip::tcp::endpoint>> resolve(std::string host,
                                                                               std::uint16_t port) override;
};

class Connector {
public:
    virtual ~Connector() = default;

    // A stream on `executor` connected to the first of `endpoints` that accepts, within
    // `timeout` for each attempt. Throws the last failure when none accepts.
    virtual boost::asio::awaitable<boost::beast::tcp_stream> connect(
        boost::asio::any_io_executor executor, std::vector<boost::asio::ip::tcp::endpoint> endpoints,
        std::chrono::milliseconds timeout) = 0;
};

// Tries the endpoints in order with a plain TCP connect.
class TCPConnector final : public Connector {
public:
    boost::asio::awaitable<boost::beast::tcp_stream> connect(boost::asio::any_io_executor executor,
                                                            std::vector<boost::asio::ip::tcp::endpoint> endpoints,
                                                            std::chrono::milliseconds timeout) override;
};

}  // namespace net
