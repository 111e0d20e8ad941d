#pragma once

// EventStore: the events an HTTP server session has written to its Server-Sent Events
// streams, kept so that a client whose connection broke can resume a stream by naming the
// last event it saw.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mcp::detail {

class EventStore {
public:
    // One recorded event: the stream it went to, its id, and the JSON-RPC message it carried
    // (absent for a priming event).
    struct StoredEvent {
        std::string streamID;
        std::string eventID;
        std::optional<std::string> message;
    };

    // What a resume replays: the stream the named event belongs to, and the (event id,
    // message) of every later message event of that stream, oldest first.
    struct Replay {
        std::string streamID;
        std::vector<std::pair<std::string, std::string>> events;

        friend bool operator==(const Replay&, const Replay&) = default;
    };

    // Keeps the newest `capacity` events; older ones are dropped as new ones arrive, so a
    // long session holds bounded memory.
    explicit EventStore(std::size_t capacity) : capacity_(capacity) {}

    // Records an event of `streamID` and returns its id: the stream id, "_", and the number
    // of events stored so far (counting evicted and cleared ones), so ids never repeat.
    std::string store(const std::string& streamID, std::optional<std::string> message);

    // The replay after the kept event `lastEventID`; absent when no kept event has that id
    // (never issued, evicted, or cleared).
    std::optional<Replay> eventsAfter(std::string_view lastEventID) const;

    // Forgets every event; the numbering goes on.
    void clear() noexcept { events_.clear(); }

    std::size_t size() const noexcept { return events_.size(); }

private:
    std::size_t capacity_;
    std::uint64_t counter_ = 0;
    std::deque<StoredEvent> events_;
};

}  // namespace mcp::detail
