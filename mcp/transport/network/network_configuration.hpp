#pragma once

// The settings of a NetworkTransport: whether and how often it sends heartbeats, whether and
// how it retries a failed or lost connection, and how much one read may return. Plain values;
// `NetworkTransport` names them `HeartbeatConfiguration`, `ReconnectionConfiguration` and
// `BufferConfiguration`.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace mcp::network {

struct HeartbeatConfiguration {
    // Whether the transport sends heartbeats while connected.
    bool enabled = true;
    // Seconds between one heartbeat and the next.
    double interval = 15.0;

    // Enabled, every 15 seconds.
    static HeartbeatConfiguration defaultConfiguration() { return {true, 15.0}; }
    // The default's numbers, not enabled.
    static HeartbeatConfiguration disabled() { return {false, 15.0}; }

    // The pause between heartbeats that the transport uses: `interval`, but never below
    // 10 milliseconds (a zero, negative or NaN interval would flood the peer) nor above a day.
    std::chrono::milliseconds pause() const noexcept;

    friend bool operator==(const HeartbeatConfiguration&, const HeartbeatConfiguration&) = default;
};

struct ReconnectionConfiguration {
    // Whether a failed connection attempt or a lost connection is retried.
    bool enabled = true;
    // The largest number of retries after a first failed attempt.
    std::int64_t maxAttempts = 5;
    // Growth factor of the wait between retries.
    double backoffMultiplier = 1.5;

    // Enabled, 5 retries, waits growing by 1.5.
    static ReconnectionConfiguration defaultConfiguration() { return {true, 5, 1.5}; }
    // The default's numbers, not enabled.
    static ReconnectionConfiguration disabled() { return {false, 5, 1.5}; }

    // Seconds to wait before retry `attempt` (counted from 1): 0.5 × multiplier^(attempt − 1).
    double backoffDelay(std::int64_t attempt) const noexcept;

    friend bool operator==(const ReconnectionConfiguration&, const ReconnectionConfiguration&) = default;
};

struct BufferConfiguration {
    // The most bytes one read from the connection may return; absent means no limit.
    std::optional<std::int64_t> maxReceiveBufferSize = std::int64_t{10} << 20;

    // 10 MiB.
    static BufferConfiguration defaultConfiguration() { return {std::int64_t{10} << 20}; }
    // No limit.
    static BufferConfiguration unlimited() { return {std::nullopt}; }

    friend bool operator==(const BufferConfiguration&, const BufferConfiguration&) = default;
};

}  // namespace mcp::network

// Hashes that agree with ==: all fields in declaration order; an absent buffer size differs from
// every present one.
template <>
struct std::hash<mcp::network::HeartbeatConfiguration> {
    std::size_t operator()(const mcp::network::HeartbeatConfiguration& configuration) const noexcept;
};
template <>
struct std::hash<mcp::network::ReconnectionConfiguration> {
    std::size_t operator()(const mcp::network::ReconnectionConfiguration& configuration) const noexcept;
};
template <>
struct std::hash<mcp::network::BufferConfiguration> {
    std::size_t operator()(const mcp::network::BufferConfiguration& configuration) const noexcept;
};
