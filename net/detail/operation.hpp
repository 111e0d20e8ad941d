#pragma once

// Operation: the state of one request from its start to the end of its response body, and
// the registry of the operations a client has in flight, through which shutdown() reaches
// them all.
//
// An operation's I/O is started from the executor of the coroutine that started the request
// (its `executor`); cancelling posts onto that executor, so the socket is closed only where
// it is used, whichever thread asks.

#include "net/detail/connection.hpp"
#include "net/detail/connection_pool.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/parser.hpp>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace net::detail {

class OperationRegistry;

class Operation : public std::enable_shared_from_this<Operation> {
public:
    using Parser = boost::beast::http::response_parser<boost::beast::http::buffer_body>;

    Operation(boost::asio::any_io_executor executor, std::shared_ptr<OperationRegistry> registry,
              std::shared_ptr<ConnectionPool> pool, std::chrono::milliseconds timeout);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // Cancels the operation from any thread: its pending and later I/O fails with
    // Error::cancelled.
    void requestCancel();

    // Throws Error::cancelled once the operation is cancelled. Call on `executor`.
    void throwIfCancelled() const;

    // Hands the connection back: to the pool when its response was read to the end and
    // keep-alive holds, else it is closed. Call on `executor`.
    void release(bool reusable);

    const boost::asio::any_io_executor executor;
    const std::chrono::milliseconds timeout;
    boost::asio::cancellation_signal signal;
    std::unique_ptr<Connection> connection;
    std::optional<Parser> parser;
    // Where body bytes are parsed into before they are copied out: made once per request and
    // left uninitialised, as clearing a large buffer for every read costs more than the read.
    std::unique_ptr<char[]> readBuffer;
    bool cancelled = false;
    std::uint64_t id = 0;

private:
    void cancelHere();

    std::shared_ptr<OperationRegistry> registry_;
    std::shared_ptr<ConnectionPool> pool_;
};

// The live operations of one client.
class OperationRegistry {
public:
    // Adds `operation`; throws Error::cancelled once the registry is shut down.
    void add(const std::shared_ptr<Operation>& operation);
    void remove(std::uint64_t id);
    // Cancels every live operation and refuses new ones.
    void shutdown();
    bool isShutDown() const;

private:
    mutable std::mutex mutex_;
    std::map<std::uint64_t, std::weak_ptr<Operation>> live_;
    std::uint64_t nextID_ = 1;
    bool shutDown_ = false;
};

}  // namespace net::detail
