#include "app/common/host_status.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace app {
namespace {

using State = ListenerReport::State;

TEST(HostStatus, FollowsTheListenersReports) {
    HostStatus status;
    EXPECT_FALSE(status.running().get());
    EXPECT_EQ(status.problem().get(), std::nullopt);

    status.apply({1, State::failed, "Port 47293: Address already in use"});
    EXPECT_FALSE(status.running().get());
    EXPECT_EQ(status.problem().get(), "Port 47293: Address already in use");

    status.apply({2, State::ready, {}});
    EXPECT_TRUE(status.running().get());
    EXPECT_EQ(status.problem().get(), std::nullopt);

    status.apply({2, State::cancelled, {}});
    EXPECT_FALSE(status.running().get());

    // A listener that can't be made leaves running as it was and says why.
    status.apply({3, State::notCreated, "70000 is not a valid port (use 1–65535)."});
    EXPECT_FALSE(status.running().get());
    EXPECT_EQ(status.problem().get(), "70000 is not a valid port (use 1–65535).");
}

TEST(HostStatus, CancelledKeepsTheProblemAndNotCreatedKeepsRunning) {
    HostStatus status;
    status.apply({1, State::failed, "Port 1: Permission denied"});
    status.apply({1, State::cancelled, {}});
    EXPECT_EQ(status.problem().get(), "Port 1: Permission denied");

    status.apply({2, State::ready, {}});
    status.apply({3, State::notCreated, "no token"});
    EXPECT_TRUE(status.running().get());
}

TEST(HostStatus, ALateCancelOfAnOldListenerDoesNotStopTheNewOne) {
    HostStatus status;
    status.apply({1, State::ready, {}});
    status.apply({2, State::ready, {}});
    status.apply({1, State::cancelled, {}});
    EXPECT_TRUE(status.running().get());
    status.apply({1, State::failed, "Port 47293: Connection reset"});
    EXPECT_TRUE(status.running().get());
    EXPECT_EQ(status.problem().get(), std::nullopt);
}

TEST(HostStatus, EqualReportsNotifyNoOne) {
    HostStatus status;
    std::vector<bool> running;
    auto subscription = status.running().subscribe([&](bool value) { running.push_back(value); });
    status.apply({1, State::ready, {}});
    status.apply({1, State::ready, {}});
    status.apply({2, State::ready, {}});
    EXPECT_EQ(running, std::vector<bool>{true});
}

TEST(HostStatus, ClientDisplayName) {
    const struct {
        const char* name;
        std::optional<std::string> lastClient;
        std::optional<std::string> given;
        std::string want;
    } kCases[] = {
        {"given name wins", "Cursor", "Claude Code", "Claude Code"},
        {"empty given name falls back to the last client", "Cursor", "", "Cursor"},
        {"no given name falls back to the last client", "Cursor", std::nullopt, "Cursor"},
        {"nothing known", std::nullopt, std::nullopt, "Your AI"},
        {"empty last client", "", std::nullopt, "Your AI"},
        {"empty both", "", "", "Your AI"},
    };
    for (const auto& c : kCases) {
        HostStatus status;
        status.lastClient().set(c.lastClient);
        EXPECT_EQ(status.clientDisplayName(c.given), c.want) << c.name;
    }
}

}  // namespace
}  // namespace app
