#include "mcp/oauth/client/detail/async_lock.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>

namespace mcp::detail {

AsyncLock::Guard& AsyncLock::Guard::operator=(Guard&& other) noexcept {
    if (this != &other) {
        if (lock_) lock_->unlock();
        lock_ = std::exchange(other.lock_, nullptr);
    }
    return *this;
}

AsyncLock::Guard::~Guard() {
    if (lock_) lock_->unlock();
}

boost::asio::awaitable<AsyncLock::Guard> AsyncLock::lock() {
    auto waiter = std::make_shared<Waiter>(co_await boost::asio::this_coro::executor);
    {
        const std::lock_guard lock(mutex_);
        if (!held_) {
            held_ = true;
            co_return Guard(this);
        }
        waiter->wakeUp.expires_at(boost::asio::steady_timer::time_point::max());
        waiters_.push_back(waiter);
    }
    // The holder's unlock() cancels the timer, so any ending of the wait is looked at below.
    co_await waiter->wakeUp.async_wait(boost::asio::as_tuple(boost::asio::use_awaitable));
    const std::lock_guard lock(mutex_);
    if (waiter->granted) co_return Guard(this);
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
    throw boost::system::system_error(boost::asio::error::operation_aborted);
}

void AsyncLock::unlock() {
    const std::lock_guard lock(mutex_);
    if (waiters_.empty()) {
        held_ = false;
        return;
    }
    auto next = std::move(waiters_.front());
    waiters_.pop_front();
    next->granted = true;
    // Timers are not safe to touch from another thread while they wait: cancel on its executor.
    boost::asio::post(next->wakeUp.get_executor(), [next] { next->wakeUp.cancel(); });
}

}  // namespace mcp::detail
