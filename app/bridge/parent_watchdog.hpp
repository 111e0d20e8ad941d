#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace app {

// ParentWatchdog: ends the --stdio bridge when the process that started it has gone, even
// though the bridge's input is still open (a client that crashed, while a child of it holds
// the pipe). It reads the parent process id every period on a thread of its own; as soon as
// it differs from the one read at the start, it calls onParentGone on that thread. The
// parent's death hands the bridge to pid 1 or to a subreaper (a user service manager, some
// terminals, containers), so any change counts, not only a change to 1.
class ParentWatchdog {
public:
    // The watchdog of this process: getppid(), and _exit(0) once the parent has gone.
    explicit ParentWatchdog(std::chrono::steady_clock::duration period);
    // For tests: what gives the parent's id, and what runs once it has changed.
    ParentWatchdog(std::chrono::steady_clock::duration period, std::function<pid_t()> parent,
                   std::function<void()> onParentGone);
    // Stops watching and joins the thread.
    ~ParentWatchdog();

    ParentWatchdog(const ParentWatchdog&) = delete;
    ParentWatchdog& operator=(const ParentWatchdog&) = delete;

private:
    void watch(std::stop_token stop, std::chrono::steady_clock::duration period, pid_t first);

    std::function<pid_t()> parent_;
    std::function<void()> onParentGone_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::jthread thread_;
};

}  // namespace app
