#pragma once

// TurnQueue: lets the coroutines of one strand take turns at something that must not be used
// by two of them at once, such as writing to a stream, in the order in which they asked.
//
//     auto turn = co_await writes_.take();   // waits while an earlier writer holds its turn
//     co_await writeAll(bytes);              // no other writer's bytes can come in between
//     // the turn passes on when `turn` goes out of scope
//
// Used on one strand only, so it needs no lock. A waiting `take` is not cancellable: it keeps
// its place until the turns before it have passed.

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/associated_executor.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <deque>
#include <memory>
#include <utility>

namespace mcp {

class TurnQueue {
    struct State {
        bool busy = false;
        struct Waiter {
            boost::asio::any_completion_handler<void()> handler;
            // Taken while the handler's type is known: in Boost 1.81 the type-erased handler's
            // own executor can't be asked for a post.
            boost::asio::any_io_executor executor;
        };
        std::deque<Waiter> waiting;
    };

public:
    // Holds the turn until destroyed, then hands it to the next waiter.
    class Turn {
    public:
        Turn(Turn&& other) noexcept : state_(std::move(other.state_)) {}
        Turn& operator=(Turn&&) = delete;
        ~Turn() {
            if (!state_) return;
            if (state_->waiting.empty()) {
                state_->busy = false;
                return;
            }
            auto next = std::move(state_->waiting.front());
            state_->waiting.pop_front();
            boost::asio::post(next.executor, std::move(next.handler));
        }

    private:
        friend class TurnQueue;
        explicit Turn(std::shared_ptr<State> state) : state_(std::move(state)) {}
        std::shared_ptr<State> state_;
    };

    // Waits until every earlier turn has passed.
    boost::asio::awaitable<Turn> take() {
        if (state_->busy) {
            auto initiation = [state = state_](auto handler) {
                boost::asio::any_io_executor executor = boost::asio::get_associated_executor(handler);
                state->waiting.push_back({std::move(handler), std::move(executor)});
            };
            // The busy flag stays set: the passing turn hands it straight to this waiter.
            co_await boost::asio::async_initiate<decltype(boost::asio::use_awaitable), void()>(
                std::move(initiation), boost::asio::use_awaitable);
        } else {
            state_->busy = true;
        }
        co_return Turn(state_);
    }

private:
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace mcp
