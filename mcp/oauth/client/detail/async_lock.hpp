#pragma once

// AsyncLock: a lock for coroutines. A coroutine that finds it held waits without blocking its
// thread; the holder hands it to the longest waiter when it lets go. Safe to use from coroutines
// on different executors and threads.

#include <boost/asio/awaitable.hpp>
#include <boost/asio/steady_timer.hpp>

#include <deque>
#include <memory>
#include <mutex>

namespace mcp::detail {

class AsyncLock {
public:
    // Holds the lock until destroyed or moved from.
    class Guard {
    public:
        Guard() = default;
        explicit Guard(AsyncLock* lock) : lock_(lock) {}
        Guard(Guard&& other) noexcept : lock_(std::exchange(other.lock_, nullptr)) {}
        Guard& operator=(Guard&& other) noexcept;
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard();

    private:
        AsyncLock* lock_ = nullptr;
    };

    // lock: completes once the caller holds the lock. A waiter whose coroutine is cancelled
    // leaves the queue and fails with operation_aborted.
    boost::asio::awaitable<Guard> lock();

private:
    struct Waiter {
        explicit Waiter(boost::asio::any_io_executor executor) : wakeUp(std::move(executor)) {}
        boost::asio::steady_timer wakeUp;
        bool granted = false;  // guarded by AsyncLock::mutex_
    };

    void unlock();

    std::mutex mutex_;
    bool held_ = false;                             // guarded by mutex_
    std::deque<std::shared_ptr<Waiter>> waiters_;  // guarded by mutex_
};

}  // namespace mcp::detail
