#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace platform {

// TimerHandle: a timer made by Scheduler::after.
class TimerHandle {
public:
    virtual ~TimerHandle() = default;
    // cancel: the timer's function will not run. Does nothing when it has already run or been
    // cancelled. Main thread only.
    virtual void cancel() = 0;
};

// Scheduler: the program's main thread as its logic sees it: work posted to it, timers on it
// and the clocks it reads. The real one runs on the Qt event loop; tests use a scheduler in
// virtual time, so a flow with a five-minute time-out is tested in microseconds.
//
// Everything that touches the program's models, flows and windows runs on this thread.
class Scheduler {
public:
    using Clock = std::chrono::steady_clock;
    using WallClock = std::chrono::system_clock;

    virtual ~Scheduler() = default;

    // post: runs fn on the main thread on a later turn of its loop, after the work posted
    // before it. Any thread may call it. Work still queued when the loop ends is dropped
    // without running.
    virtual void post(std::function<void()> fn) = 0;

    // after: runs fn on the main thread once delay has passed on now(), unless the returned
    // handle is cancelled first. Dropping the handle doesn't cancel the timer. A zero or
    // negative delay runs fn on a later turn, never inside this call. Main thread only.
    virtual std::shared_ptr<TimerHandle> after(Clock::duration delay, std::function<void()> fn) = 0;

    // now: the monotonic clock that timers follow. Main thread only.
    virtual Clock::time_point now() const = 0;

    // wallNow: the calendar time, for display only. Main thread only.
    virtual WallClock::time_point wallNow() const = 0;
};

}  // namespace platform
