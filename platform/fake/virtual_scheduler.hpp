#pragma once

#include "platform/scheduler.hpp"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace platform {

// VirtualScheduler: a Scheduler whose clocks move only when the test says so. Posted work runs
// in runUntilIdle() and advance(); timers run in advance(), in the order of their due times
// (then of their making), with now() set to each one's due time while it runs. The test's own
// thread is the main thread.
//
// post() may come from any thread (as it does from Asio threads in the real program); every
// other member is for the test's thread only.
class VirtualScheduler final : public Scheduler {
public:
    VirtualScheduler();
    // Timers still pending are dropped; their handles stay safe to cancel.
    ~VirtualScheduler() override;
    VirtualScheduler(const VirtualScheduler&) = delete;
    VirtualScheduler& operator=(const VirtualScheduler&) = delete;

    void post(std::function<void()> fn) override;
    std::shared_ptr<TimerHandle> after(Clock::duration delay, std::function<void()> fn) override;
    Clock::time_point now() const override { return now_; }
    WallClock::time_point wallNow() const override;

    // runUntilIdle: runs posted work, including work posted meanwhile, until none is left;
    // timers that have become due also run. Returns the number of functions run.
    std::size_t runUntilIdle();

    // advance: moves the clock forward by delta, running every timer that falls due on the
    // way at its own time and the posted work in between; ends idle at now() + delta.
    void advance(Clock::duration delta);

    // waitForPost: blocks the test's thread, for at most timeout of real time, until posted
    // work is waiting; returns whether there is. For tests whose work comes from other threads.
    bool waitForPost(std::chrono::milliseconds timeout);

    // pendingTimers: the timers neither run nor cancelled.
    std::size_t pendingTimers() const;

private:
    class Timer;
    using TimerKey = std::pair<Clock::time_point, std::uint64_t>;

    bool runOnePosted();
    bool runOneDueTimer(Clock::time_point until);

    Clock::time_point now_;
    WallClock::time_point wallStart_;
    Clock::time_point start_;
    std::map<TimerKey, std::shared_ptr<Timer>> timers_;
    std::uint64_t nextTimer_ = 0;

    mutable std::mutex postedMutex_;
    std::condition_variable postedChanged_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace platform
