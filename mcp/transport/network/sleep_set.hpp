#pragma once

// SleepSet: the pauses of one actor (back-off waits, heartbeat intervals), all of which its
// `stop` must cut short at once. Used on one strand only.
//
//     if (!co_await sleeps->sleep(std::chrono::milliseconds(500))) co_return;   // cut short

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/as_tuple.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <memory>
#include <set>

namespace mcp::network {

class SleepSet {
public:
    explicit SleepSet(boost::asio::any_io_executor executor) : executor_(std::move(executor)) {}

    /// Waits `duration`; false when `cancelAll` or the awaiting coroutine's cancellation cut
    /// the wait short.
    boost::asio::awaitable<bool> sleep(boost::asio::steady_timer::duration duration) {
        const auto timer = std::make_shared<boost::asio::steady_timer>(executor_, duration);
        timers_.insert(timer);
        auto [error] = co_await timer->async_wait(boost::asio::as_tuple(boost::asio::use_awaitable));
        timers_.erase(timer);
        co_return !error;
    }

    void cancelAll() {
        for (const auto& timer : timers_) timer->cancel();
    }

private:
    boost::asio::any_io_executor executor_;
    std::set<std::shared_ptr<boost::asio::steady_timer>> timers_;
};

}  // namespace mcp::network
