#include "mcp/transport/network/network_configuration.hpp"

#include <cmath>

namespace mcp::network {
namespace {

constexpr double kShortestPauseSeconds = 0.010;
constexpr double kLongestPauseSeconds = 24.0 * 60 * 60;
constexpr double kFirstBackoffSeconds = 0.5;

}  // namespace

std::chrono::milliseconds HeartbeatConfiguration::pause() const noexcept {
    // NaN fails every comparison, so it is caught by the first test.
    double seconds = interval;
    if (!(seconds >= kShortestPauseSeconds)) seconds = kShortestPauseSeconds;
    if (seconds > kLongestPauseSeconds) seconds = kLongestPauseSeconds;
    return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000.0));
}

double ReconnectionConfiguration::backoffDelay(std::int64_t attempt) const noexcept {
    return kFirstBackoffSeconds * std::pow(backoffMultiplier, static_cast<double>(attempt - 1));
}

}  // namespace mcp::network
