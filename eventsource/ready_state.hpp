#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace eventsource {

// Where an EventSource is in its life; the raw values are the ones programs store and send.
enum class ReadyState : std::int64_t {
    connecting = 0,  // a connection attempt is under way, or the next one is awaited
    open = 1,        // a connection was accepted and its events are being read
    closed = 2,      // the client has stopped for good
};

// "connecting", "open" or "closed".
std::string_view toString(ReadyState state) noexcept;

// The state with the given raw value; nothing for any value other than 0, 1 and 2.
std::optional<ReadyState> readyStateFromRawValue(std::int64_t rawValue) noexcept;

}  // namespace eventsource
