#pragma once

// The times at which what a server hands out (a token, a client secret) expires. A server
// states them as counts of seconds that may lie far beyond what the clock can hold; such a
// count means "very long", never a time in the past.

#include <chrono>
#include <cstdint>

namespace mcp::detail {

// secondsAfter: the time `seconds` after `from`. A count that would pass the clock's range
// gives the clock's latest (or, for a negative count, earliest) whole second instead.
std::chrono::system_clock::time_point secondsAfter(std::chrono::system_clock::time_point from,
                                                   std::int64_t seconds) noexcept;

}  // namespace mcp::detail
