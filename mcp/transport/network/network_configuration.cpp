#include "mcp/transport/network/network_configuration.hpp"

#include <boost/container_hash/hash.hpp>

#include <cmath>

namespace mcp::network {
namespace {

constexpr double kShortestPauseSeconds = 0.010;
constexpr double kLongestPauseSeconds = 24.0 * 60 * 60;
constexpr double kFirstBackoffSeconds = 0.5;

// -0.0 == 0.0, so both must hash alike.
void hashNumber(std::size_t& seed, double number) { boost::hash_combine(seed, number == 0.0 ? 0.0 : number); }

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

std::size_t std::hash<mcp::network::HeartbeatConfiguration>::operator()(
    const mcp::network::HeartbeatConfiguration& configuration) const noexcept {
    std::size_t seed = 0;
    boost::hash_combine(seed, configuration.enabled);
    mcp::network::hashNumber(seed, configuration.interval);
    return seed;
}

std::size_t std::hash<mcp::network::ReconnectionConfiguration>::operator()(
    const mcp::network::ReconnectionConfiguration& configuration) const noexcept {
    std::size_t seed = 0;
    boost::hash_combine(seed, configuration.enabled);
    boost::hash_combine(seed, configuration.maxAttempts);
    mcp::network::hashNumber(seed, configuration.backoffMultiplier);
    return seed;
}

std::size_t std::hash<mcp::network::BufferConfiguration>::operator()(
    const mcp::network::BufferConfiguration& configuration) const noexcept {
    std::size_t seed = 0;
    boost::hash_combine(seed, configuration.maxReceiveBufferSize.has_value());
    if (configuration.maxReceiveBufferSize) boost::hash_combine(seed, *configuration.maxReceiveBufferSize);
    return seed;
}
