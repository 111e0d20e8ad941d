#pragma once

// StandingStreamGate: lets a tool wait until its client has opened the session's standing GET
// stream. The transport sends the server's own requests and notifications only there, and a
// plain GET doesn't receive what was sent before it, so a client that calls a tool straight
// after initializing, before its GET has arrived, would otherwise never see them. Used on
// the program's one thread only.

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/as_tuple.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <chrono>

namespace example {

class StandingStreamGate {
public:
    explicit StandingStreamGate(boost::asio::any_io_executor executor) : timer_(std::move(executor)) {}

    // Called once the session's standing stream is open: releases every waiter.
    void open() {
        open_ = true;
        timer_.cancel();
    }

    // Returns once the stream is open, or after `limit` for a client that never opens one.
    boost::asio::awaitable<void> wait(std::chrono::milliseconds limit = std::chrono::seconds(2)) {
        if (open_) co_return;
        timer_.expires_after(limit);
        co_await timer_.async_wait(boost::asio::as_tuple(boost::asio::use_awaitable));
    }

private:
    bool open_ = false;
    boost::asio::steady_timer timer_;
};

}  // namespace example
