#pragma once

// ConnectionPool: the idle keep-alive connections of one client, by pool key. A connection
// goes in only after its response was read to the end and the server allowed keep-alive;
// it is dropped once it has been idle longer than the pool's idle time. Shared by every
// request of the client, from any thread: a mutex guards it.

#include "net/detail/connection.hpp"

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace net::detail {

class ConnectionPool {
public:
    ConnectionPool(std::size_t maxIdlePerKey, std::chrono::milliseconds maxIdleTime)
        : maxIdlePerKey_(maxIdlePerKey), maxIdleTime_(maxIdleTime) {}

    // The most recently used idle connection for `key`, or null.
    std::unique_ptr<Connection> take(const std::string& key);

    // Keeps `connection` for reuse, or closes it when the pool is closed or full.
    void put(std::unique_ptr<Connection> connection);

    // Closes every idle connection; later `put`s close theirs at once.
    void close();

    std::size_t idleCount() const;

private:
    std::size_t maxIdlePerKey_;
    std::chrono::milliseconds maxIdleTime_;
    mutable std::mutex mutex_;
    std::map<std::string, std::deque<std::unique_ptr<Connection>>> idle_;
    bool closed_ = false;
};

}  // namespace net::detail
