#include "mcp/http/detail/event_store.hpp"

#include <algorithm>

namespace mcp::detail {

std::string EventStore::store(const std::string& streamID, std::optional<std::string> message) {
    ++counter_;
    std::string eventID = streamID + "_" + std::to_string(counter_);
    if (capacity_ == 0) return eventID;
    if (events_.size() == capacity_) events_.pop_front();
    events_.push_back({streamID, eventID, std::move(message)});
    return eventID;
}

std::optional<EventStore::Replay> EventStore::eventsAfter(std::string_view lastEventID) const {
    const auto named = std::find_if(events_.begin(), events_.end(),
                                    [&](const StoredEvent& event) { return event.eventID == lastEventID; });
    if (named == events_.end()) return std::nullopt;

    Replay replay{named->streamID, {}};
    for (auto event = std::next(named); event != events_.end(); ++event) {
        // Priming events only mark a place to resume from; they carry nothing to replay.
        if (event->streamID == replay.streamID && event->message) {
            replay.events.emplace_back(event->eventID, *event->message);
        }
    }
    return replay;
}

}  // namespace mcp::detail
