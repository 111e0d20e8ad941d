#pragma once

#include <boost/json/fwd.hpp>
#include <boost/json/value_from.hpp>
#include <boost/json/value_to.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace eventsource {

// One Server-Sent Event, as the parser completes it at the end of a block.
struct Event {
    // The value of the block's last valid "id" line; absent when the block had none.
    std::optional<std::string> id;
    // The value of the block's last "event" line (possibly empty). No default type is
    // filled in: absent when the block had no "event" line.
    std::optional<std::string> event;
    // The block's "data" values joined by "\n", without a trailing line feed.
    std::string data;
    // The reconnection time in milliseconds from the block's last accepted "retry" line.
    std::optional<std::int64_t> retry;

    friend bool operator==(const Event&, const Event&) = default;
};

// Writes the event as a JSON object with the keys "id", "event", "data" and "retry", in
// that order; absent fields are left out.
void tag_invoke(boost::json::value_from_tag, boost::json::value& json, const Event& event);

// Reads an event from a JSON object. "data" is required; "id", "event" and "retry" may be
// missing or null. Throws boost::system::system_error when the object does not fit.
Event tag_invoke(boost::json::value_to_tag<Event>, const boost::json::value& json);

}  // namespace eventsource

template <>
struct std::hash<eventsource::Event> {
    std::size_t operator()(const eventsource::Event& event) const noexcept;
};
