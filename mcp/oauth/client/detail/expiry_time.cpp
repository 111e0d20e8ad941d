#include "mcp/oauth/client/detail/expiry_time.hpp"

#include <algorithm>

namespace mcp::detail {

std::chrono::system_clock::time_point secondsAfter(std::chrono::system_clock::time_point from,
                                                   std::int64_t seconds) noexcept {
    using Clock = std::chrono::system_clock;
    // Whole seconds, so that a stored time reads back as the same number.
    constexpr Clock::time_point kLatest(std::chrono::floor<std::chrono::seconds>(Clock::duration::max()));
    constexpr Clock::time_point kEarliest(std::chrono::ceil<std::chrono::seconds>(Clock::duration::min()));
    constexpr Clock::rep kTicksPerSecond = std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)).count();
    Clock::rep offset = 0;
    Clock::rep ticks = 0;
    if (__builtin_mul_overflow(seconds, kTicksPerSecond, &offset) ||
        __builtin_add_overflow(from.time_since_epoch().count(), offset, &ticks)) {
        return seconds > 0 ? kLatest : kEarliest;
    }
    return std::clamp(Clock::time_point(Clock::duration(ticks)), kEarliest, kLatest);
}

}  // namespace mcp::detail
