#include "mcp/transport/outgoing_message.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace mcp {
namespace {

using Outline = OutgoingMessage::Outline;

TEST(OutgoingMessage, TextAloneTellsNothingAndEachKindTellsItsRequestsAndMethod) {
    const struct {
        std::string_view name;
        OutgoingMessage message;
        std::optional<Outline> want;
    } kCases[] = {
        {"text", std::string(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"), std::nullopt},
        {"request", OutgoingMessage::request("{}", ID(7), "tools/call"), Outline{{ID(7)}, "tools/call"}},
        {"notification", OutgoingMessage::notification("{}", "notifications/initialized"),
         Outline{{}, "notifications/initialized"}},
        {"response", OutgoingMessage::response("{}"), Outline{}},
        {"batch", OutgoingMessage::batch("[]", {ID(1), ID("b")}), Outline{{ID(1), ID("b")}, std::nullopt}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.message.outline(), c.want);
    }
    OutgoingMessage message = OutgoingMessage::request("the text", ID(1), "ping");
    EXPECT_EQ(message.text(), "the text");
    EXPECT_EQ(std::move(message).text(), "the text");
}

TEST(OutgoingMessage, TextAloneIsReadOnceForItsRequestsAndMethod) {
    const struct {
        std::string_view name;
        std::string_view text;
        Outline want;
    } kCases[] = {
        {"a request", R"({"jsonrpc":"2.0","id":1,"method":" tools/call\n"})", {{ID(1)}, " tools/call\n"}},
        {"a string id", R"({"id":"a","method":"x"})", {{ID("a")}, "x"}},
        {"a notification", R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
         {{}, "notifications/initialized"}},
        {"a response", R"({"id":5,"result":{}})", {}},
        {"a null id", R"({"id":null,"method":"ping"})", {{}, "ping"}},
        {"an id of no kind", R"({"id":true,"method":"ping"})", {{}, "ping"}},
        {"a method that is no text", R"({"id":1,"method":7})", {{ID(1)}, std::nullopt}},
        {"a batch", R"([{"id":1,"method":"a"},{"id":2,"method":"b"},{"method":"n"},{"id":3,"result":{}}])",
         {{ID(1), ID(2)}, std::nullopt}},
        {"not JSON", "empty", {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto before = jsonReadCount();
        EXPECT_EQ(OutgoingMessage::outlineOf(c.text), c.want);
        EXPECT_EQ(jsonReadCount() - before, 1u);
    }
}

}  // namespace
}  // namespace mcp
