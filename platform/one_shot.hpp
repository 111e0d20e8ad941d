#pragma once

#include "platform/scheduler.hpp"

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

namespace platform {

namespace detail {

template <class T>
struct OneShotState {
    explicit OneShotState(Scheduler& m) : main(m) {}

    Scheduler& main;
    std::optional<T> value;
    std::coroutine_handle<> waiter;
};

}  // namespace detail

// OneShot<T>: an answer that a callback (a button, a window closing, a timer, a dialog) gives
// once, and that a main-thread coroutine waits for with `co_await answer`. The first resolve()
// wins and later ones are ignored, so a button pressed twice, or a close racing a time-out,
// can't resume the waiting flow twice.
//
// The waiting coroutine resumes on a later turn of the main loop, never inside resolve(): the
// callback that answered (a button's own handler) has finished before the flow goes on and,
// say, destroys that button's window. A coroutine destroyed while it waits is simply not
// resumed. Copies share one answer; at most one coroutine waits at a time. Main thread only;
// the scheduler must outlive every copy.
template <class T>
class OneShot {
public:
    explicit OneShot(Scheduler& main) : state_(std::make_shared<detail::OneShotState<T>>(main)) {}

    // resolve: gives the answer and schedules the waiting coroutine's resumption; returns false
    // and changes nothing when an answer was given before.
    bool resolve(T value) const {
        if (state_->value) return false;
        state_->value.emplace(std::move(value));
        if (state_->waiter) {
            state_->main.post([state = state_] {
                if (auto waiter = std::exchange(state->waiter, nullptr)) waiter.resume();
            });
        }
        return true;
    }

    // resolved: whether the answer has been given.
    bool resolved() const { return state_->value.has_value(); }

    auto operator co_await() const noexcept {
        struct Awaiter {
            std::shared_ptr<detail::OneShotState<T>> state;
            std::coroutine_handle<> self;

            Awaiter(std::shared_ptr<detail::OneShotState<T>> s) : state(std::move(s)) {}
            Awaiter(const Awaiter&) = delete;
            Awaiter& operator=(const Awaiter&) = delete;
            // The waiting coroutine may be destroyed before its resumption runs.
            ~Awaiter() {
                if (self && state->waiter == self) state->waiter = nullptr;
            }

            bool await_ready() const noexcept { return state->value.has_value(); }
            void await_suspend(std::coroutine_handle<> waiting) noexcept {
                self = waiting;
                state->waiter = waiting;
            }
            T await_resume() { return *state->value; }
        };
        return Awaiter(state_);
    }

private:
    std::shared_ptr<detail::OneShotState<T>> state_;
};

}  // namespace platform
