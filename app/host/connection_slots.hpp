#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>

namespace app {

class ConnectionReading;

// ConnectionSlots: the host's count of its open connections, at most `capacity` at once, and of
// those still reading their requests, oldest first. Every change is made at once, under a lock,
// by whoever sees it (the accept loop, a connection that has read its request or closed), so the
// counts are exact whenever they are read: nothing is posted to be counted later.
//
// At capacity, a new connection takes the place of the oldest one still reading its request that
// waits for its peer and has been open for at least `patience`: a peer that sends slowly, or not
// at all, gives way, while a peer whose request is on its way (a burst of requests, each on a
// connection of its own), or already there and not yet read, is not cut. Connections being
// served never give way: while they fill every place, no connection is admitted and the
// system's listen queue holds the rest until one closes.
//
// Thread-safe.
class ConnectionSlots {
public:
    using Clock = std::chrono::steady_clock;

    // Place: one admitted connection's place, from its admission until closed() gives it back.
    class Place {
    public:
        // What is cut when the connection gives way to a newer one. Set by the host when it
        // admits the connection, before anyone else sees the place.
        std::shared_ptr<ConnectionReading> reading;

    private:
        friend class ConnectionSlots;
        Clock::time_point admitted_;
        // Whether its reading waits for the peer's next bytes.
        bool awaitingPeer_ = false;
        // Whether the place still counts among the open ones: no longer once it has given way.
        bool counted_ = true;
        // Where it is among the connections still reading, while it reads.
        std::optional<std::list<std::shared_ptr<Place>>::iterator> readingAt_;
    };

    // Admission: the outcome of admit().
    struct Admission {
        // The new connection's place; null when there is no room now.
        std::shared_ptr<Place> place;
        // The connection that gave way, whose reading is to be cut; null when a place was free.
        std::shared_ptr<Place> displaced;
        // Without room: the latest time at which to ask again (a connection that waits for its
        // peer may give way then). The far future when none waits for its peer. A close, or a
        // reading that starts waiting, may make room sooner: see closed() and awaitingPeer().
        Clock::time_point askAgainAt{};
    };

    ConnectionSlots(std::size_t capacity, Clock::duration patience);

    // admit: a place for a connection accepted at `now`, counted as reading its request. Without
    // room, remembers that someone waits for it (closed() says when to wake them).
    Admission admit(Clock::time_point now);

    // awaitingPeer: whether place's reading waits for its peer's next bytes. Returns whether an
    // admit() found no room since someone was last told to wake the one waiting for it, and
    // this may make room: they are to be woken now.
    bool awaitingPeer(Place& place, bool waiting);

    // readingEnded: place's connection has read its request, or given up reading: it no longer
    // gives way to newer connections.
    void readingEnded(Place& place);

    // closed: place's connection is closed; its place is free, unless it gave way before.
    // Returns whether the one waiting for room is to be woken, as awaitingPeer() does.
    bool closed(Place& place);

    // The connections counted as open, and those of them still reading.
    std::size_t open() const;
    std::size_t reading() const;

private:
    void stopReading(Place& place);

    const std::size_t capacity_;
    const Clock::duration patience_;
    mutable std::mutex mutex_;
    std::size_t open_ = 0;
    std::list<std::shared_ptr<Place>> reading_;
    bool awaitingRoom_ = false;
};

}  // namespace app
