#pragma once

// ConnectionPool: the connections of one client, by pool key: how many are open (in use or
// idle), the requests waiting for one, and the idle keep-alive connections. A connection goes
// back to the pool only after its response was read to the end and the server allowed
// keep-alive: then it passes to the first waiting request, or goes idle, and is dropped once
// it has been idle longer than the pool's idle time. Shared by every request of the client,
// from any thread: a mutex guards it.

#include "net/detail/connection.hpp"

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/cancellation_signal.hpp>

#include <chrono>
#include <cstddef>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace net::detail {

class ConnectionPool : public std::enable_shared_from_this<ConnectionPool> {
public:
    // The room of one open connection (or of one being opened) among the most that a key may
    // have; letting the last copy go frees it for the next waiting request.
    using Room = std::shared_ptr<void>;

    ConnectionPool(std::size_t maxIdlePerKey, std::size_t maxOpenPerKey, std::chrono::milliseconds maxIdleTime)
        : maxIdlePerKey_(maxIdlePerKey), maxOpenPerKey_(maxOpenPerKey), maxIdleTime_(maxIdleTime) {}

    // What a waiting request is given: a kept-alive connection to use, or else room to open one.
    struct Grant {
        std::unique_ptr<Connection> connection;
        Room room;
    };

    // Room for a new connection for `key` at once while fewer than the most are open; else, in
    // the order asked, the first connection that comes back for reuse, or room once one
    // closes. A signal on `cancellation` ends the wait with operation_aborted.
    boost::asio::awaitable<Grant> reserve(std::string key, boost::asio::cancellation_slot cancellation);

    // The most recently used idle connection for `key`, or null.
    std::unique_ptr<Connection> take(const std::string& key);

    // Hands `connection` to the first request waiting for one, or keeps it for reuse, or
    // closes it when the pool is closed or full.
    void put(std::unique_ptr<Connection> connection);

    // Closes every idle connection; later `put`s close theirs at once.
    void close();

    std::size_t idleCount() const;

private:
    using Signature = void(std::exception_ptr, Grant);
    struct Waiter {
        boost::asio::any_completion_handler<Signature> handler;
        boost::asio::any_io_executor executor;
        boost::asio::cancellation_slot cancellation;
    };

    Room makeRoom(const std::string& key);
    void free(const std::string& key);
    void abandon(const std::string& key, const std::shared_ptr<Waiter>& waiter);
    static void complete(const std::shared_ptr<Waiter>& waiter, std::exception_ptr error, Grant grant);
    // The first request waiting for `key`, taken off the queue; null when none waits.
    std::shared_ptr<Waiter> takeWaiter(const std::string& key);

    std::size_t maxIdlePerKey_;
    std::size_t maxOpenPerKey_;
    std::chrono::milliseconds maxIdleTime_;
    mutable std::mutex mutex_;
    std::map<std::string, std::deque<std::unique_ptr<Connection>>> idle_;
    std::map<std::string, std::size_t> open_;
    std::map<std::string, std::deque<std::shared_ptr<Waiter>>> waiting_;
    bool closed_ = false;
};

}  // namespace net::detail
