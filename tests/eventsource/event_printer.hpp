#pragma once

#include "eventsource/event.hpp"

#include <ostream>
#include <string>

namespace eventsource {

// Shows an event's fields in test failures.
inline void PrintTo(const Event& event, std::ostream* out) {
    *out << "{id=" << (event.id ? "\"" + *event.id + "\"" : "none")
         << " event=" << (event.event ? "\"" + *event.event + "\"" : "none") << " data=\"" << event.data
         << "\" retry=" << (event.retry ? std::to_string(*event.retry) : "none") << "}";
}

}  // namespace eventsource
