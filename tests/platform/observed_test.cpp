#include "platform/observed.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace platform {
namespace {

struct Status {
    bool running = false;
    std::optional<std::string> problem;
    bool operator==(const Status&) const = default;
};

TEST(Observed, NotifiesOnlyOnChange) {
    Observed<Status> status;
    std::vector<Status> seen;
    auto subscription = status.subscribe([&](const Status& s) { seen.push_back(s); });
    EXPECT_TRUE(status.set({true, std::nullopt}));
    EXPECT_FALSE(status.set({true, std::nullopt}));
    EXPECT_TRUE(status.set({false, "Port 47293: Address already in use"}));
    EXPECT_EQ(seen, (std::vector<Status>{{true, std::nullopt}, {false, "Port 47293: Address already in use"}}));
    EXPECT_EQ(status.get(), seen.back());
}

TEST(Observed, SetAlwaysNotifiesEvenWhenEqual) {
    Observed<int> steps(2);
    int calls = 0;
    auto subscription = steps.subscribe([&](int) { ++calls; });
    steps.setAlways(2);
    steps.setAlways(2);
    EXPECT_EQ(calls, 2);
}

TEST(Observed, EndedSubscriptionsAreNotCalled) {
    Observed<int> value;
    std::vector<std::string> log;
    auto first = value.subscribe([&](int v) { log.push_back("first " + std::to_string(v)); });
    {
        auto second = value.subscribe([&](int v) { log.push_back("second " + std::to_string(v)); });
        value.set(1);
    }
    first.reset();
    value.set(2);
    EXPECT_EQ(log, (std::vector<std::string>{"first 1", "second 1"}));
}

// An observer may end subscriptions, its own or another's, while the value notifies.
TEST(Observed, ObserverEndingSubscriptionsDuringNotification) {
    Observed<int> value;
    std::vector<std::string> log;
    Subscription second;
    Subscription first = value.subscribe([&](int) {
        log.push_back("first");
        first.reset();
        second.reset();
    });
    second = value.subscribe([&](int) { log.push_back("second"); });
    value.set(1);
    value.set(2);
    EXPECT_EQ(log, std::vector<std::string>{"first"});
}

TEST(Observed, SubscriptionMayOutliveTheValue) {
    Subscription subscription;
    {
        Observed<int> value;
        subscription = value.subscribe([](int) {});
    }
    subscription.reset();
    EXPECT_FALSE(subscription);
}

}  // namespace
}  // namespace platform
