#include "net/detail/connection_pool.hpp"

#include <vector>

namespace net::detail {

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
    {
        std::lock_guard lock(mutex_);
        if (!closed_) {
            auto& connections = idle_[connection->poolKey()];
            if (connections.size() < maxIdlePerKey_) {
                connection->idleSince = std::chrono::steady_clock::now();
                connection->reused = true;
                connections.push_back(std::move(connection));
                return;
            }
        }
    }
    connection->close();
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
