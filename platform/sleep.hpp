#pragma once

#include "platform/scheduler.hpp"

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <stop_token>

namespace platform {

// Cancelled: thrown by a sleep whose stop token was triggered, so that a cancelled timer
// task unwinds without doing the work it was waiting to do.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

namespace detail {

// The state a sleeping coroutine shares with its timer and its stop callback; whichever
// comes first resumes the coroutine, the others find `settled` and do nothing.
struct SleepState {
    std::coroutine_handle<> sleeper;
    std::shared_ptr<TimerHandle> timer;
    bool settled = false;
    bool cancelled = false;
};

class SleepAwaiter {
public:
    SleepAwaiter(Scheduler& scheduler, Scheduler::Clock::duration delay, std::stop_token stop)
        : scheduler_(scheduler), delay_(delay), stop_(std::move(stop)) {}
    SleepAwaiter(const SleepAwaiter&) = delete;
    SleepAwaiter& operator=(const SleepAwaiter&) = delete;

    // The sleeping coroutine can be destroyed before it wakes (its task was dropped): the
    // timer must then not resume it.
    ~SleepAwaiter() {
        if (state_ && !state_->settled) {
            state_->settled = true;
            state_->timer->cancel();
        }
    }

    bool await_ready() const noexcept { return stop_.stop_requested(); }

    void await_suspend(std::coroutine_handle<> sleeper) {
        state_ = std::make_shared<SleepState>();
        state_->sleeper = sleeper;
        state_->timer = scheduler_.after(delay_, [state = state_] {
            if (state->settled) return;
            state->settled = true;
            state->sleeper.resume();
        });
        if (stop_.stop_possible()) {
            // request_stop may come from any thread: the callback only posts, and the
            // main thread settles the race against the timer.
            stopCallback_.emplace(stop_, StopWake{&scheduler_, state_});
        }
    }

    void await_resume() const {
        if (!state_ ? stop_.stop_requested() : state_->cancelled) throw Cancelled();
    }

private:
    struct StopWake {
        Scheduler* scheduler;
        std::shared_ptr<SleepState> state;
        void operator()() const {
            scheduler->post([state = state] {
                if (state->settled) return;
                state->settled = true;
                state->cancelled = true;
                state->timer->cancel();
                state->sleeper.resume();
            });
        }
    };

    Scheduler& scheduler_;
    Scheduler::Clock::duration delay_;
    std::stop_token stop_;
    std::shared_ptr<SleepState> state_;
    std::optional<std::stop_callback<StopWake>> stopCallback_;
};

}  // namespace detail

// sleep: `co_await sleep(main, delay)` suspends the calling main-thread coroutine for delay
// on the scheduler's clock. When stop is triggered first (before or during the sleep), the
// coroutine wakes on a later turn and the co_await throws Cancelled. The scheduler must
// outlive the sleep.
inline detail::SleepAwaiter sleep(Scheduler& scheduler, Scheduler::Clock::duration delay,
                                  std::stop_token stop = {}) {
    return detail::SleepAwaiter(scheduler, delay, std::move(stop));
}

}  // namespace platform
