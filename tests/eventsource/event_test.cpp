#include "eventsource/event.hpp"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <boost/json/value.hpp>
#include <gtest/gtest.h>

#include <string_view>
#include <unordered_set>

namespace eventsource {
namespace {

TEST(Event, EncodesItsFieldsInOrderAndLeavesAbsentOnesOut) {
    const struct {
        std::string_view name;
        Event event;
        std::string_view json;
    } kCases[] = {
        {"all fields", Event{.id = "7", .event = "update", .data = "x", .retry = 500},
         R"({"id":"7","event":"update","data":"x","retry":500})"},
        {"data only", Event{.data = ""}, R"({"data":""})"},
        {"empty id and type are present", Event{.id = "", .event = "", .data = "x"},
         R"({"id":"","event":"","data":"x"})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(boost::json::serialize(boost::json::value_from(c.event)), c.json);
        EXPECT_EQ(boost::json::value_to<Event>(boost::json::parse(c.json)), c.event);
    }
}

TEST(Event, DecodingTakesNullAsAbsentAndRequiresData) {
    EXPECT_EQ(boost::json::value_to<Event>(boost::json::parse(R"({"id":null,"event":null,"data":"a","retry":null})")),
              Event{.data = "a"});
    EXPECT_ANY_THROW(boost::json::value_to<Event>(boost::json::parse(R"({"id":"1"})")));
}

TEST(Event, EqualityAndHashCoverEveryField) {
    const Event base{.id = "1", .event = "e", .data = "d", .retry = 1};
    const Event variants[] = {
        {.id = "2", .event = "e", .data = "d", .retry = 1},
        {.id = std::nullopt, .event = "e", .data = "d", .retry = 1},
        {.id = "1", .event = "f", .data = "d", .retry = 1},
        {.id = "1", .event = "e", .data = "x", .retry = 1},
        {.id = "1", .event = "e", .data = "d", .retry = 2},
    };
    std::unordered_set<Event> set{base};
    for (const auto& other : variants) {
        EXPECT_NE(base, other);
        set.insert(other);
    }
    EXPECT_EQ(set.size(), 6u);
    EXPECT_TRUE(set.contains(Event{.id = "1", .event = "e", .data = "d", .retry = 1}));
}

}  // namespace
}  // namespace eventsource
