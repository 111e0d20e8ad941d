#pragma once

// NetworkConnection: what a NetworkTransport needs of its connection, so that a scripted
// connection can stand in for a real one in tests. TCPConnection is the real one.
//
// A connection is used from one strand: the transport's. `start` is given that strand, and
// the connection reports its states through the state handler on it, never from inside
// `start` or `cancel` themselves.

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/system/error_code.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace mcp::network {

struct ConnectionState {
    enum class Kind {
        // Made, not started.
        setup,
        // Connecting.
        preparing,
        // Connected: data can flow.
        ready,
        // Can't connect now, for `error`, and waits for the network to change.
        waiting,
        // Gave up, for `error`.
        failed,
        // Cancelled by its owner.
        cancelled,
    };

    Kind kind = Kind::setup;
    boost::system::error_code error;

    friend bool operator==(const ConnectionState&, const ConnectionState&) = default;
};

class NetworkConnection {
public:
    using StateHandler = std::function<void(ConnectionState)>;

    // What one read brought: bytes (at most the maximum asked for), or the end of the peer's
    // sending (`isComplete` with no bytes), or an error. Bytes, no end and no error is an
    // empty read.
    struct Received {
        std::string content;
        bool isComplete = false;
        boost::system::error_code error;
    };

    virtual ~NetworkConnection() = default;

    virtual ConnectionState state() const = 0;

    // Replaces the callback that is told each new state; an empty one removes it.
    virtual void setStateHandler(StateHandler handler) = 0;

    // Starts connecting (again, after `cancel`); states are reported on `executor`.
    virtual void start(boost::asio::any_io_executor executor) = 0;

    // Ends the connection and whatever it is doing; reports `cancelled`.
    virtual void cancel() = 0;

    // Writes all of `bytes`; completes with the error that stopped it, if any. The caller
    // keeps `bytes` alive until then and sends one at a time.
    virtual boost::asio::awaitable<boost::system::error_code> send(std::string_view bytes) = 0;

    // Reads between `minimum` and `maximum` bytes.
    virtual boost::asio::awaitable<Received> receive(std::size_t minimum, std::size_t maximum) = 0;
};

}  // namespace mcp::network
