#pragma once

// Heartbeat: the 12-byte liveness frame that network transports exchange between messages:
// the marker F0 9F 92 93 (U+1F493 in UTF-8), then the sending time as an unsigned 64-bit
// little-endian count of milliseconds since 2001-01-01 00:00:00 UTC. No length prefix and no
// line feed. No JSON text starts with byte F0, so a frame at the start of a line can't be
// taken for a message.
//
//     const std::string frame = Heartbeat().data();            // now
//     if (auto beat = Heartbeat::from(bytes)) use(beat->timestamp);

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mcp::network {

struct Heartbeat {
    using Clock = std::chrono::system_clock;
    static constexpr std::array<std::uint8_t, 4> kMarker{0xF0, 0x9F, 0x92, 0x93};
    static constexpr std::size_t kFrameBytes = 12;
    // 2001-01-01 00:00:00 UTC, the origin of the frame's count.
    static constexpr Clock::time_point kReferenceDate{std::chrono::seconds(978307200)};

    // Stamped with the current time.
    Heartbeat() : timestamp(Clock::now()) {}
    explicit Heartbeat(Clock::time_point time) : timestamp(time) {}

    // The heartbeat of a frame: absent when `bytes` holds fewer than 12 bytes or does not
    // begin with the marker. Bytes after the twelfth are ignored.
    static std::optional<Heartbeat> fromRawValue(std::span<const std::uint8_t> bytes) noexcept;
    // True when `bytes` begins with the 4 marker bytes, whatever follows.
    static bool isHeartbeat(std::string_view bytes) noexcept;
    // `fromRawValue` of a byte buffer.
    static std::optional<Heartbeat> from(std::string_view bytes) noexcept;

    // The 12-byte frame.
    std::array<std::uint8_t, kFrameBytes> rawValue() const noexcept;
    // The frame as a byte buffer.
    std::string data() const;

    // The time as the frame carries it, "2026-12-09 09:35:48 +0000".
    std::string timestampText() const;

    // Heartbeats are equal when their frames are: when they fall in the same millisecond.
    friend bool operator==(const Heartbeat& lhs, const Heartbeat& rhs) noexcept { return lhs.rawValue() == rhs.rawValue(); }

    Clock::time_point timestamp;
};

}  // namespace mcp::network

// The hash of the frame, as equality compares frames.
template <>
struct std::hash<mcp::network::Heartbeat> {
    std::size_t operator()(const mcp::network::Heartbeat& heartbeat) const noexcept;
};
