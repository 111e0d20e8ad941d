#pragma once

#include <chrono>
#include <cstddef>

namespace app {

// HostLimits: how long, and how many at once, the host lets peers take to hand over their
// requests. They bound reading only: a request being served (a tool call that waits for the
// user can take minutes) has no time limit. Tests shorten the deadlines.
struct HostLimits {
    using Duration = std::chrono::steady_clock::duration;

    // From accepting a connection until its head is complete.
    Duration headDeadline = std::chrono::seconds(10);
    // The longest silence while the body is read.
    Duration bodyIdleDeadline = std::chrono::seconds(30);
    // Connections open at once, from accepting to closing; more are closed at once.
    std::size_t maxConnections = 64;
};

}  // namespace app
