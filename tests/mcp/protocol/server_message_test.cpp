#include "mcp/protocol/server_message.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace mcp {
namespace {

enum class Shape { none, batch, response, request, notification };

Shape shapeOf(std::string_view bytes) {
    const auto message = readServerMessage(bytes);
    if (!message) return Shape::none;
    return static_cast<Shape>(message->index() + 1);
}

TEST(ServerMessage, ReadsTheFirstShapeThatFits) {
    constexpr struct {
        std::string_view name, bytes;
        Shape want;
    } kCases[] = {
        {"empty array", "[]", Shape::batch},
        {"batch of a result and an error",
         R"([{"jsonrpc":"2.0","id":1,"result":{}},{"jsonrpc":"2.0","id":"b","error":{"code":-32603,"message":"x"}}])",
         Shape::batch},
        {"batch holding a notification", R"([{"jsonrpc":"2.0","id":1,"result":{}},{"jsonrpc":"2.0","method":"m"}])",
         Shape::none},
        {"batch holding a null-id error", R"([{"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"x"}}])",
         Shape::none},
        {"result", R"({"jsonrpc":"2.0","id":"a","result":{"x":1}})", Shape::response},
        {"error with an id", R"({"jsonrpc":"2.0","id":5,"error":{"code":-32601,"message":"Method not found"}})",
         Shape::response},
        {"error with a null id", R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error"}})",
         Shape::none},
        {"result beside a method", R"({"jsonrpc":"2.0","id":1,"method":"m","result":{}})", Shape::response},
        {"request", R"({"jsonrpc":"2.0","id":"x","method":"roots/list"})", Shape::request},
        {"request with params", R"({"jsonrpc":"2.0","id":2,"method":"m","params":{"a":[1]}})", Shape::request},
        {"method with a null id reads as a notification", R"({"jsonrpc":"2.0","id":null,"method":"m"})",
         Shape::notification},
        {"notification", R"({"jsonrpc":"2.0","method":"notifications/message","params":{}})", Shape::notification},
        {"wrong version", R"({"jsonrpc":"1.0","id":1,"result":{}})", Shape::none},
        {"object of nothing known", R"({"jsonrpc":"2.0","id":1})", Shape::none},
        {"not json", "{", Shape::none},
        {"invalid UTF-8", "\xff", Shape::none},
        {"a string", R"("hello")", Shape::none},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(shapeOf(row.bytes), row.want);
    }
}

TEST(ServerMessage, KeepsTheBatchInItsOrder) {
    const auto message =
        readServerMessage(R"([{"jsonrpc":"2.0","id":2,"result":{}},{"jsonrpc":"2.0","id":1,"result":{}}])");
    ASSERT_TRUE(message);
    const auto& batch = std::get<BatchResponse>(*message);
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(batch[0].id, ID(2));
    EXPECT_EQ(batch[1].id, ID(1));
}

}  // namespace
}  // namespace mcp
