#include "mcp/http/sse_event.hpp"

#include "eventsource/writer.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mcp {
namespace {

TEST(MessageEvent, CarriesRepairedText) {
    const eventsource::Event event = makeMessageEvent(std::string("{\"a\":\"\xFF\"}"), "7");
    EXPECT_EQ(event, (eventsource::Event{"7", "message", "{\"a\":\"\xEF\xBF\xBD\"}", std::nullopt}));
    EXPECT_EQ(eventsource::encodeSSEEvent(makeMessageEvent(R"({"jsonrpc":"2.0"})")),
              "event: message\ndata: {\"jsonrpc\":\"2.0\"}\n\n");
}

}  // namespace
}  // namespace mcp
