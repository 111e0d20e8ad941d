#include "mcp/http/sse_event.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace mcp {
namespace {

TEST(SSEEvent, FramesFieldsInOrder) {
    const struct {
        const char* name;
        SSEEvent event;
        std::string_view text;
    } kCases[] = {
        {"data only", {std::nullopt, std::nullopt, "x", std::nullopt}, "data: x\n\n"},
        {"all fields", {"5", "message", "x", 3000}, "id: 5\nevent: message\nretry: 3000\ndata: x\n\n"},
        {"empty data", {std::nullopt, std::nullopt, "", std::nullopt}, "data: \n\n"},
        {"line feeds", {std::nullopt, std::nullopt, "a\nb", std::nullopt}, "data: a\ndata: b\n\n"},
        {"other breaks", {std::nullopt, std::nullopt, "a\r\nb\rc", std::nullopt}, "data: a\ndata: b\ndata: c\n\n"},
        {"trailing break", {std::nullopt, std::nullopt, "a\n", std::nullopt}, "data: a\ndata: \n\n"},
        {"injection", {std::nullopt, std::nullopt, "x\n\nevent: forged", std::nullopt}, "data: x\ndata: \ndata: event: forged\n\n"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodeSSEEvent(c.event), c.text);
    }
}

TEST(SSEEvent, RefusesIdsAndTypesThatWouldEndTheirField) {
    for (const std::string& bad : {std::string("1\n\nevent: injected\ndata: x"), std::string("1\r2"),
                                  std::string("1\0" "2", 3)}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        EXPECT_FALSE(isValidSSEField(bad));
        EXPECT_THROW(encodeSSEEvent({bad, std::nullopt, "x", std::nullopt}), std::invalid_argument);
        EXPECT_THROW(encodeSSEEvent({std::nullopt, bad, "x", std::nullopt}), std::invalid_argument);
    }
    EXPECT_TRUE(isValidSSEField("_GET_stream_7 \t\xC3\xA9"));
}

TEST(SSEEvent, MessageEventsCarryRepairedText) {
    const SSEEvent event = makeMessageEvent(std::string("{\"a\":\"\xFF\"}"), "7");
    EXPECT_EQ(event, (SSEEvent{"7", "message", "{\"a\":\"\xEF\xBF\xBD\"}", std::nullopt}));
    EXPECT_EQ(encodeSSEEvent(makeMessageEvent(R"({"jsonrpc":"2.0"})")), "event: message\ndata: {\"jsonrpc\":\"2.0\"}\n\n");
}

}  // namespace
}  // namespace mcp
