#include "mcp/transport/network/network_configuration.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace mcp::network {
namespace {

TEST(ReconnectionConfiguration, WaitsLongerBeforeEachRetry) {
    const auto defaults = ReconnectionConfiguration::defaultConfiguration();
    const double want[] = {0.5, 0.75, 1.125, 1.6875, 2.53125};
    for (std::int64_t attempt = 1; attempt <= 5; ++attempt) {
        SCOPED_TRACE(attempt);
        EXPECT_DOUBLE_EQ(defaults.backoffDelay(attempt), want[attempt - 1]);
    }
    const ReconnectionConfiguration doubling{true, 5, 2.0};
    EXPECT_DOUBLE_EQ(doubling.backoffDelay(1), 0.5);
    EXPECT_DOUBLE_EQ(doubling.backoffDelay(4), 4.0);
}

TEST(NetworkConfiguration, PresetsDifferOnlyWhereTheySay) {
    EXPECT_EQ(HeartbeatConfiguration::defaultConfiguration(), (HeartbeatConfiguration{true, 15.0}));
    EXPECT_EQ(HeartbeatConfiguration::disabled(), (HeartbeatConfiguration{false, 15.0}));
    EXPECT_EQ(ReconnectionConfiguration::defaultConfiguration(), (ReconnectionConfiguration{true, 5, 1.5}));
    EXPECT_EQ(ReconnectionConfiguration::disabled(), (ReconnectionConfiguration{false, 5, 1.5}));
    EXPECT_NE(ReconnectionConfiguration::defaultConfiguration(), ReconnectionConfiguration::disabled());
    EXPECT_EQ(BufferConfiguration::defaultConfiguration().maxReceiveBufferSize, 10485760);
    EXPECT_EQ(BufferConfiguration::unlimited().maxReceiveBufferSize, std::nullopt);
    EXPECT_NE(BufferConfiguration::unlimited(), BufferConfiguration{0});
}

template <class T>
std::size_t hashOf(const T& value) {
    return std::hash<T>{}(value);
}

// Values equal by == must hash alike, even when built differently; a field that == looks at
// must reach the hash too.
TEST(NetworkConfiguration, HashesAgreeWithEquality) {
    EXPECT_EQ((HeartbeatConfiguration{true, -0.0}), (HeartbeatConfiguration{true, 0.0}));
    EXPECT_EQ(hashOf(HeartbeatConfiguration{true, -0.0}), hashOf(HeartbeatConfiguration{true, 0.0}));
    EXPECT_EQ((ReconnectionConfiguration{true, 5, -0.0}), (ReconnectionConfiguration{true, 5, 0.0}));
    EXPECT_EQ(hashOf(ReconnectionConfiguration{true, 5, -0.0}), hashOf(ReconnectionConfiguration{true, 5, 0.0}));

    EXPECT_NE(hashOf(HeartbeatConfiguration::defaultConfiguration()), hashOf(HeartbeatConfiguration::disabled()));
    EXPECT_NE(hashOf(HeartbeatConfiguration{true, 15.0}), hashOf(HeartbeatConfiguration{true, 16.0}));
    EXPECT_NE(hashOf(ReconnectionConfiguration::defaultConfiguration()), hashOf(ReconnectionConfiguration::disabled()));
    EXPECT_NE(hashOf(ReconnectionConfiguration{true, 5, 1.5}), hashOf(ReconnectionConfiguration{true, 6, 1.5}));
    EXPECT_NE(hashOf(ReconnectionConfiguration{true, 5, 1.5}), hashOf(ReconnectionConfiguration{true, 5, 2.0}));
    EXPECT_NE(hashOf(BufferConfiguration::unlimited()), hashOf(BufferConfiguration{0}));
    EXPECT_NE(hashOf(BufferConfiguration{1024}), hashOf(BufferConfiguration{1025}));
}

TEST(HeartbeatConfiguration, KeepsThePauseBetweenHeartbeatsSane) {
    using std::chrono::milliseconds;
    const struct {
        std::string_view name;
        double interval;
        milliseconds want;
    } cases[] = {
        {"the default", 15.0, milliseconds(15000)},
        {"a fraction", 0.25, milliseconds(250)},
        {"zero", 0.0, milliseconds(10)},
        {"negative", -3.0, milliseconds(10)},
        {"NaN", std::nan(""), milliseconds(10)},
        {"infinite", INFINITY, milliseconds(24 * 60 * 60 * 1000)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ((HeartbeatConfiguration{true, row.interval}.pause()), row.want);
    }
}

}  // namespace
}  // namespace mcp::network
