#pragma once

#include <chrono>
#include <cstddef>

namespace app {

// HostLimits: how long, and how many at once, the host lets peers take to hand over their
// requests, and how it retries a listener that couldn't be made. They bound reading only: a
// request being served (a tool call that waits for the user can take minutes) has no time
// limit. Tests shorten them.
struct HostLimits {
    using Duration = std::chrono::steady_clock::duration;

    // From accepting a connection until its head is complete.
    Duration headDeadline = std::chrono::seconds(10);
    // From accepting a connection until its whole request is read, and until what a refused
    // request still sends has been read and dropped. A peer can't stretch it by sending slowly.
    Duration readDeadline = std::chrono::seconds(30);
    // Connections open at once, from accepting to closing. A connection beyond them makes the
    // oldest one still reading its request close, once that one has been open for giveWayAfter;
    // until then, and while every connection is being served, no connection is accepted: the
    // system's listen queue holds them until there is room, and none is refused for being one
    // too many.
    std::size_t maxConnections = 64;
    // How long a connection still reading its request keeps its place against newer ones: long
    // enough for a request that is on its way, short enough that slow peers can't keep others
    // waiting long, nor cost the host much by reconnecting at once each time they are closed.
    Duration giveWayAfter = std::chrono::seconds(1);
    // While the port can't be bound, the host tries again after this pause, doubled after each
    // failure up to the longest one.
    Duration firstListenRetry = std::chrono::seconds(1);
    Duration longestListenRetry = std::chrono::seconds(30);
};

}  // namespace app
