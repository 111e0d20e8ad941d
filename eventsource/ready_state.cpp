#include "eventsource/ready_state.hpp"

namespace eventsource {

std::string_view toString(ReadyState state) noexcept {
    switch (state) {
        case ReadyState::connecting: return "connecting";
        case ReadyState::open: return "open";
        case ReadyState::closed: return "closed";
    }
    return "unknown";
}

std::optional<ReadyState> readyStateFromRawValue(std::int64_t rawValue) noexcept {
    if (rawValue < 0 || rawValue > 2) return std::nullopt;
    return static_cast<ReadyState>(rawValue);
}

}  // namespace eventsource
