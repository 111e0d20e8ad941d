#include "mcp/http/detail/event_store.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mcp::detail {
namespace {

using Events = std::vector<std::pair<std::string, std::string>>;

TEST(EventStore, NumbersEventsAcrossStreamsAndReplaysOnlyLaterMessagesOfTheNamedStream) {
    EventStore store(10);
    EXPECT_EQ(store.store("1", std::nullopt), "1_1");
    EXPECT_EQ(store.store("2", std::nullopt), "2_2");
    EXPECT_EQ(store.store("1", "a"), "1_3");
    EXPECT_EQ(store.store("2", "b"), "2_4");
    EXPECT_EQ(store.store("1", std::nullopt), "1_5");
    EXPECT_EQ(store.store("1", "c"), "1_6");

    const struct {
        std::string_view name, lastEventID;
        std::optional<EventStore::Replay> want;
    } kCases[] = {
        {"after priming", "1_1", EventStore::Replay{"1", Events{{"1_3", "a"}, {"1_6", "c"}}}},
        {"after a message", "1_3", EventStore::Replay{"1", Events{{"1_6", "c"}}}},
        {"after the last", "1_6", EventStore::Replay{"1", {}}},
        {"other stream", "2_2", EventStore::Replay{"2", Events{{"2_4", "b"}}}},
        {"never issued", "1_7", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(store.eventsAfter(c.lastEventID), c.want);
    }
}

TEST(EventStore, KeepsOnlyTheNewestEventsAndForgetsEvictedIDs) {
    EventStore store(3);
    for (int i = 1; i <= 5; ++i) store.store("s", "m" + std::to_string(i));
    EXPECT_EQ(store.size(), 3u);
    EXPECT_EQ(store.eventsAfter("s_2"), std::nullopt) << "evicted";
    EXPECT_EQ(store.eventsAfter("s_3"), (EventStore::Replay{"s", Events{{"s_4", "m4"}, {"s_5", "m5"}}}));
}

TEST(EventStore, ClearingForgetsEventsButKeepsNumbering) {
    EventStore store(3);
    store.store("s", "a");
    store.clear();
    EXPECT_EQ(store.eventsAfter("s_1"), std::nullopt);
    EXPECT_EQ(store.store("s", "b"), "s_2");
}

}  // namespace
}  // namespace mcp::detail
