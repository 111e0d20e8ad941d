#include "mcp/transport/network/heartbeat.hpp"

#include <boost/container_hash/hash.hpp>

#include <algorithm>
#include <ctime>

namespace mcp::network {

std::optional<Heartbeat> Heartbeat::fromRawValue(std::span<const std::uint8_t> bytes) noexcept {
    if (bytes.size() < kFrameBytes || !std::equal(kMarker.begin(), kMarker.end(), bytes.begin())) return std::nullopt;
    std::uint64_t milliseconds = 0;
    for (std::size_t i = kFrameBytes; i > kMarker.size(); --i) milliseconds = (milliseconds << 8) | bytes[i - 1];
    // A count beyond what the clock can hold is clamped to its last instant.
    const auto limit = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - kReferenceDate).count());
    const auto since = std::chrono::milliseconds(static_cast<std::int64_t>(std::min(milliseconds, limit)));
    return Heartbeat(kReferenceDate + std::chrono::duration_cast<Clock::duration>(since));
}

bool Heartbeat::isHeartbeat(std::string_view bytes) noexcept {
    if (bytes.size() < kMarker.size()) return false;
    for (std::size_t i = 0; i < kMarker.size(); ++i) {
        if (static_cast<std::uint8_t>(bytes[i]) != kMarker[i]) return false;
    }
    return true;
}

std::optional<Heartbeat> Heartbeat::from(std::string_view bytes) noexcept {
    return fromRawValue(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::array<std::uint8_t, Heartbeat::kFrameBytes> Heartbeat::rawValue() const noexcept {
    // Whole milliseconds, truncated, in integers: a detour through a double would turn 1.001 s
    // into 1000 ms. The clock can't hold a time past the frame's range; earlier times than the
    // reference date have no count and are written as 0.
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(timestamp - kReferenceDate).count();
    const std::uint64_t milliseconds = since < 0 ? 0 : static_cast<std::uint64_t>(since);
    std::array<std::uint8_t, kFrameBytes> frame{};
    std::copy(kMarker.begin(), kMarker.end(), frame.begin());
    for (std::size_t i = 0; i < 8; ++i) frame[kMarker.size() + i] = static_cast<std::uint8_t>(milliseconds >> (8 * i));
    return frame;
}

std::string Heartbeat::data() const {
    const auto frame = rawValue();
    return std::string(frame.begin(), frame.end());
}

std::string Heartbeat::timestampText() const {
    const std::time_t seconds = Clock::to_time_t(std::chrono::floor<std::chrono::seconds>(timestamp));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
    return std::string(text, length);
}

}  // namespace mcp::network

std::size_t std::hash<mcp::network::Heartbeat>::operator()(const mcp::network::Heartbeat& heartbeat) const noexcept {
    const auto frame = heartbeat.rawValue();
    return boost::hash_range(frame.begin(), frame.end());
}
