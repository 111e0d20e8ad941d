#include "app/bridge/parent_watchdog.hpp"

#include <unistd.h>

#include <utility>

namespace app {

ParentWatchdog::ParentWatchdog(std::chrono::steady_clock::duration period)
    : ParentWatchdog(period, [] { return ::getppid(); }, [] { ::_exit(0); }) {}

ParentWatchdog::ParentWatchdog(std::chrono::steady_clock::duration period, std::function<pid_t()> parent,
                               std::function<void()> onParentGone)
    : parent_(std::move(parent)), onParentGone_(std::move(onParentGone)) {
    const pid_t first = parent_();
    thread_ = std::jthread([this, period, first](std::stop_token stop) { watch(stop, period, first); });
}

ParentWatchdog::~ParentWatchdog() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
}

void ParentWatchdog::watch(std::stop_token stop, std::chrono::steady_clock::duration period, pid_t first) {
    std::unique_lock lock(mutex_);
    for (;;) {
        // Woken early only by the stop request.
        static_cast<void>(wake_.wait_for(lock, stop, period, [] { return false; }));
        if (stop.stop_requested()) return;
        if (parent_() != first) {
            onParentGone_();
            return;
        }
    }
}

}  // namespace app
