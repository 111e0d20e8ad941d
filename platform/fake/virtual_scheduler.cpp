#include "platform/fake/virtual_scheduler.hpp"

#include <algorithm>

namespace platform {

class VirtualScheduler::Timer final : public TimerHandle {
public:
    Timer(VirtualScheduler& owner, TimerKey key, std::function<void()> fn)
        : owner_(&owner), key_(key), fn_(std::move(fn)) {}

    void cancel() override {
        if (!owner_) return;
        // Erasing may drop the last owner of this timer: keep it alive until we return.
        auto self = owner_->timers_.at(key_);
        owner_->timers_.erase(key_);
        owner_ = nullptr;
        fn_ = nullptr;
    }

    void orphan() {
        owner_ = nullptr;
        fn_ = nullptr;
    }

    // fire: the timer's function, taken out so that the timer no longer counts as pending.
    std::function<void()> fire() {
        owner_ = nullptr;
        return std::exchange(fn_, nullptr);
    }

private:
    VirtualScheduler* owner_;
    TimerKey key_;
    std::function<void()> fn_;
};

VirtualScheduler::VirtualScheduler()
    // A fixed, far-from-zero origin: tests see the same times on every run, and subtracting
    // minutes from now() never goes below the clock's epoch.
    : now_(Clock::time_point(std::chrono::hours(24 * 365))),
      wallStart_(WallClock::time_point(std::chrono::seconds(1'767'225'600))),  // 2026-01-01
      start_(now_) {}

VirtualScheduler::~VirtualScheduler() {
    for (auto& [key, timer] : timers_) timer->orphan();
}

void VirtualScheduler::post(std::function<void()> fn) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(fn));
    }
    postedChanged_.notify_all();
}

std::shared_ptr<TimerHandle> VirtualScheduler::after(Clock::duration delay, std::function<void()> fn) {
    const TimerKey key{now_ + std::max(delay, Clock::duration::zero()), nextTimer_++};
    auto timer = std::make_shared<Timer>(*this, key, std::move(fn));
    timers_.emplace(key, timer);
    return timer;
}

Scheduler::WallClock::time_point VirtualScheduler::wallNow() const {
    return wallStart_ + std::chrono::duration_cast<WallClock::duration>(now_ - start_);
}

bool VirtualScheduler::runOnePosted() {
    std::function<void()> fn;
    {
        std::lock_guard lock(postedMutex_);
        if (posted_.empty()) return false;
        fn = std::move(posted_.front());
        posted_.pop_front();
    }
    fn();
    return true;
}

bool VirtualScheduler::runOneDueTimer(Clock::time_point until) {
    if (timers_.empty() || timers_.begin()->first.first > until) return false;
    auto node = timers_.extract(timers_.begin());
    now_ = std::max(now_, node.key().first);
    if (auto fn = node.mapped()->fire()) fn();
    return true;
}

std::size_t VirtualScheduler::runUntilIdle() {
    std::size_t count = 0;
    while (runOnePosted() || runOneDueTimer(now_)) ++count;
    return count;
}

void VirtualScheduler::advance(Clock::duration delta) {
    const auto target = now_ + delta;
    runUntilIdle();
    while (runOneDueTimer(target)) runUntilIdle();
    now_ = std::max(now_, target);
    runUntilIdle();
}

bool VirtualScheduler::waitForPost(std::chrono::milliseconds timeout) {
    std::unique_lock lock(postedMutex_);
    return postedChanged_.wait_for(lock, timeout, [&] { return !posted_.empty(); });
}

std::size_t VirtualScheduler::pendingTimers() const {
    return timers_.size();
}

}  // namespace platform
