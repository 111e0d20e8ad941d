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

#include <chrono>
#include <memory>
#include <set>

namespace mcp::network {

class SleepSet {
public:
    explicit SleepSet(boost::asio::any_io_executor executor) : executor_(std::move(executor)) {}

    // Waits `duration`; false when `cancelAll` or the awaiting coroutine's cancellation cut
    // the wait short.
    boost::asio::awaitable<bool> sleep(boost::asio::steady_timer::duration duration) {
        const auto timer = std::make_shared<boost::asio::steady_timer>(executor_, duration);
        timers_.insert(timer);
        auto [error] = co_await timer->async_wait(boost::asio::as_tuple(boost::asio::use_awaitable));
        timers_.erase(timer);
        co_return !error;
    }

    // Waits `seconds`, a figure worked out from settings: NaN and negative waits are none,
    // and none is longer than a day (converting a larger double is undefined).
    boost::asio::awaitable<bool> sleepSeconds(std::chrono::duration<double> seconds) {
        constexpr std::chrono::duration<double> kLongest = std::chrono::hours(24);
        if (!(seconds.count() > 0)) seconds = std::chrono::duration<double>::zero();
        if (seconds > kLongest) seconds = kLongest;
        co_return co_await sleep(std::chrono::duration_cast<boost::asio::steady_timer::duration>(seconds));
    }

    void cancelAll() {
        for (const auto& timer : timers_) timer->cancel();
    }

private:
    boost::asio::any_io_executor executor_;
    std::set<std::shared_ptr<boost::asio::steady_timer>> timers_;
};

}  // namespace mcp::network
