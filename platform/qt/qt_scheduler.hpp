#pragma once

#include "platform/scheduler.hpp"

#include <memory>

class QObject;

namespace platform {

// QtScheduler: the Scheduler of the real program, on the Qt event loop of the thread that
// makes it (the GUI thread). Posted work and timers run as events of that loop; work still
// queued when the scheduler is destroyed is dropped, and its pending timers never fire.
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    void post(std::function<void()> fn) override;
    std::shared_ptr<TimerHandle> after(Clock::duration delay, std::function<void()> fn) override;
    Clock::time_point now() const override;
    WallClock::time_point wallNow() const override;

private:
    // Posted work and timers belong to this object: deleting it drops them.
    std::unique_ptr<QObject> anchor_;
};

}  // namespace platform
