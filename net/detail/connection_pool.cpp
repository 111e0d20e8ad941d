#include "net/detail/connection_pool.hpp"

#include <boost/asio/async_result.hpp>
#include <boost/asio/associated_cancellation_slot.hpp>
#include <boost/asio/associated_executor.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/system/system_error.hpp>

#include <algorithm>
#include <vector>

namespace net::detail {

boost::asio::awaitable<ConnectionPool::Grant> ConnectionPool::reserve(std::string key,
                                                                     boost::asio::cancellation_slot cancellation) {
    // Not a coroutine: GCC 12 copies a closure that is a temporary inside a co_await expression
    // bytewise, which would release its shared pointer twice.
    return boost::asio::async_initiate<decltype(boost::asio::use_awaitable), Signature>(
        [self = shared_from_this(), key = std::move(key), cancellation](auto handler) mutable {
            // Taken while the handler's type is known, as a type-erased one can't be asked for it.
            boost::asio::any_io_executor executor = boost::asio::get_associated_executor(handler);
            auto waiter = std::make_shared<Waiter>(Waiter{std::move(handler), std::move(executor), cancellation});
            {
                std::unique_lock lock(self->mutex_);
                if (auto& open = self->open_[key]; open < self->maxOpenPerKey_) {
                    ++open;
                    lock.unlock();
                    complete(waiter, nullptr, Grant{.room = self->makeRoom(key)});
                    return;
                }
                self->waiting_[key].push_back(waiter);
            }
            if (cancellation.is_connected()) {
                cancellation.assign([weak = self->weak_from_this(), key, weakWaiter = std::weak_ptr(waiter)](
                                        boost::asio::cancellation_type) {
                    const auto pool = weak.lock();
                    const auto abandoned = weakWaiter.lock();
                    if (pool && abandoned) pool->abandon(key, abandoned);
                });
            }
        },
        boost::asio::use_awaitable);
}

ConnectionPool::Room ConnectionPool::makeRoom(const std::string& key) {
    return Room(nullptr, [weak = weak_from_this(), key](void*) {
        if (const auto pool = weak.lock()) pool->free(key);
    });
}

std::shared_ptr<ConnectionPool::Waiter> ConnectionPool::takeWaiter(const std::string& key) {
    const auto waiting = waiting_.find(key);
    if (waiting == waiting_.end()) return nullptr;
    auto next = std::move(waiting->second.front());
    waiting->second.pop_front();
    if (waiting->second.empty()) waiting_.erase(waiting);
    return next;
}

void ConnectionPool::free(const std::string& key) {
    std::shared_ptr<Waiter> next;
    {
        std::lock_guard lock(mutex_);
        next = takeWaiter(key);
        if (!next) {
            if (const auto open = open_.find(key); open != open_.end() && --open->second == 0) open_.erase(open);
        }
    }
    // The room passes on to the first waiter, so the count stays.
    if (next) complete(next, nullptr, Grant{.room = makeRoom(key)});
}

void ConnectionPool::abandon(const std::string& key, const std::shared_ptr<Waiter>& waiter) {
    {
        std::lock_guard lock(mutex_);
        const auto waiting = waiting_.find(key);
        if (waiting == waiting_.end()) return;
        auto& queue = waiting->second;
        const auto found = std::find(queue.begin(), queue.end(), waiter);
        // Handed room already: the request finds itself cancelled and lets the room go.
        if (found == queue.end()) return;
        queue.erase(found);
        if (queue.empty()) waiting_.erase(waiting);
    }
    complete(waiter, std::make_exception_ptr(boost::system::system_error(boost::asio::error::operation_aborted)), {});
}

// Runs the waiter's handler on its own executor. The cancellation slot is cleared there, where
// its signal is emitted, and never from inside the slot's own handler.
void ConnectionPool::complete(const std::shared_ptr<Waiter>& waiter, std::exception_ptr error, Grant grant) {
    const auto executor = waiter->executor;
    boost::asio::post(executor, [waiter, error, grant = std::move(grant)]() mutable {
        if (waiter->cancellation.is_connected()) waiter->cancellation.clear();
        std::move(waiter->handler)(error, std::move(grant));
    });
}

std::unique_ptr<Connection> ConnectionPool::take(const std::string& key) {
    std::vector<std::unique_ptr<Connection>> expired;
    std::unique_ptr<Connection> found;
    {
        std::lock_guard lock(mutex_);
        const auto entry = idle_.find(key);
        if (entry == idle_.end()) return nullptr;
        auto& connections = entry->second;
        const auto now = std::chrono::steady_clock::now();
        while (!connections.empty()) {
            auto candidate = std::move(connections.back());
            connections.pop_back();
            if (now - candidate->idleSince <= maxIdleTime_ && candidate->isOpen()) {
                found = std::move(candidate);
                break;
            }
            expired.push_back(std::move(candidate));
        }
        if (connections.empty()) idle_.erase(entry);
    }
    for (auto& connection : expired) connection->close();
    return found;
}

void ConnectionPool::put(std::unique_ptr<Connection> connection) {
    std::shared_ptr<Waiter> next;
    {
        std::lock_guard lock(mutex_);
        if (!closed_) {
            next = takeWaiter(connection->poolKey());
            if (!next) {
                auto& connections = idle_[connection->poolKey()];
                if (connections.size() < maxIdlePerKey_) {
                    connection->idleSince = std::chrono::steady_clock::now();
                    connection->reused = true;
                    connections.push_back(std::move(connection));
                    return;
                }
            }
        }
    }
    if (!next) {
        connection->close();
        return;
    }
    // Its room goes with it.
    connection->reused = true;
    complete(next, nullptr, Grant{.connection = std::move(connection)});
}

void ConnectionPool::close() {
    std::map<std::string, std::deque<std::unique_ptr<Connection>>> idle;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        idle.swap(idle_);
    }
    for (auto& [key, connections] : idle) {
        for (auto& connection : connections) connection->close();
    }
}

std::size_t ConnectionPool::idleCount() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [key, connections] : idle_) count += connections.size();
    return count;
}

}  // namespace net::detail
