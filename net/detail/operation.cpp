#include "net/detail/operation.hpp"

#include "net/error.hpp"

#include <boost/asio/cancellation_type.hpp>
#include <boost/asio/post.hpp>

#include <vector>

namespace net::detail {

Operation::Operation(boost::asio::any_io_executor executor_, std::shared_ptr<OperationRegistry> registry,
                     std::shared_ptr<ConnectionPool> pool, std::chrono::milliseconds timeout_)
    : executor(std::move(executor_)), timeout(timeout_), registry_(std::move(registry)), pool_(std::move(pool)) {}

Operation::~Operation() {
    if (connection) connection->close();
    if (id != 0) registry_->remove(id);
}

void Operation::requestCancel() {
    boost::asio::post(executor, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->cancelHere();
    });
}

void Operation::cancelHere() {
    if (cancelled) return;
    cancelled = true;
    signal.emit(boost::asio::cancellation_type::terminal);
    if (connection) connection->close();
}

void Operation::throwIfCancelled() const {
    if (cancelled) fail(Error::cancelled);
}

void Operation::release(bool reusable) {
    if (!connection) return;
    if (reusable && !cancelled) {
        pool_->put(std::move(connection));
    } else {
        connection->close();
        connection.reset();
    }
}

void OperationRegistry::add(const std::shared_ptr<Operation>& operation) {
    std::lock_guard lock(mutex_);
    if (shutDown_) fail(Error::cancelled);
    operation->id = nextID_++;
    live_.emplace(operation->id, operation);
}

void OperationRegistry::remove(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    live_.erase(id);
}

void OperationRegistry::shutdown() {
    std::vector<std::shared_ptr<Operation>> live;
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
        for (const auto& [id, weak] : live_) {
            if (auto operation = weak.lock()) live.push_back(std::move(operation));
        }
    }
    for (const auto& operation : live) operation->requestCancel();
}

bool OperationRegistry::isShutDown() const {
    std::lock_guard lock(mutex_);
    return shutDown_;
}

}  // namespace net::detail
