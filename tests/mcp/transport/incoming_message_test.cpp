#include "mcp/transport/incoming_message.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace mcp {
namespace {

TEST(IncomingMessage, ReadsItsTextOnceAskedAndWritesAHeldValueOnlyForItsText) {
    const struct {
        std::string_view name;
        IncomingMessage message;
        std::string_view text;
        std::optional<Value> value;
    } kCases[] = {
        {"text, kept as it came", std::string(R"({ "id": 1, "method": "ping" })"), R"({ "id": 1, "method": "ping" })",
         parseJSON(R"({"id":1,"method":"ping"})")},
        {"value, written compact in its members' order", parseJSON(R"({ "method": "ping", "id": 1 })"),
         R"({"method":"ping","id":1})", parseJSON(R"({"method":"ping","id":1})")},
        {"batch", std::string("[1, 2]"), "[1, 2]", parseJSON("[1,2]")},
        {"text that is no JSON", std::string("{"), "{", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.message.text(), c.text);
        IncomingMessage taken = c.message;
        if (c.value) {
            EXPECT_EQ(c.message.value(), *c.value);
            EXPECT_EQ(std::move(taken).value(), *c.value);
        } else {
            EXPECT_THROW(c.message.value(), DecodingError);
            EXPECT_THROW(std::move(taken).value(), DecodingError);
            EXPECT_EQ(taken.text(), c.text) << "a failed reading keeps the text, for the log";
        }
    }
}

}  // namespace
}  // namespace mcp
