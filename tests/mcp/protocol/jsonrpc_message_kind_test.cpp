#include "mcp/protocol/jsonrpc_message_kind.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using Type = JSONRPCMessageKind::Type;

TEST(JSONRPCMessageKind, ClassifiesBodies) {
    const struct {
        std::string_view body;
        std::optional<JSONRPCMessageKind> kind;
    } kCases[] = {
        {R"({"jsonrpc":"2.0","method":"tools/call","id":7})", JSONRPCMessageKind{Type::request, "7", "tools/call"}},
        {R"({"method":"tools/call","id":"abc"})", JSONRPCMessageKind{Type::request, "abc", "tools/call"}},
        {R"({"method":"tools/call","id":7.0})", JSONRPCMessageKind{Type::request, "7", "tools/call"}},
        {R"({"method":"x"})", JSONRPCMessageKind{Type::notification, std::nullopt, "x"}},
        {R"({"method":"x","id":null})", JSONRPCMessageKind{Type::notification, std::nullopt, "x"}},
        {R"({"method":"x","id":1.5})", JSONRPCMessageKind{Type::notification, std::nullopt, "x"}},
        {R"({"method":"x","id":[1]})", JSONRPCMessageKind{Type::notification, std::nullopt, "x"}},
        {R"({"result":{},"id":3})", JSONRPCMessageKind{Type::response, "3", ""}},
        {R"({"error":{},"id":"e"})", JSONRPCMessageKind{Type::response, "e", ""}},
        {R"({"error":{},"id":null})", std::nullopt},
        // Read as the server reads it, else the request would wait for an answer for good.
        {R"({"id":3,"method":"tools/list","result":{}})", JSONRPCMessageKind{Type::response, "3", ""}},
        {R"({"id":3,"method":"tools/list","error":{"code":"x"}})", JSONRPCMessageKind{Type::response, "3", ""}},
        {R"({"id":null,"method":"x","result":{}})", JSONRPCMessageKind{Type::notification, std::nullopt, "x"}},
        {R"({"id":3})", std::nullopt},
        {R"({"method":5,"id":3})", std::nullopt},
        {"[]", std::nullopt},
        {R"([{"method":"x"}])", std::nullopt},
        {"x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(JSONRPCMessageKind::classify(c.body), c.kind);
    }
}

TEST(JSONRPCMessageKind, RecognisesInitializeRequests) {
    EXPECT_TRUE(JSONRPCMessageKind::classify(R"({"method":"initialize","id":1})")->isInitializeRequest());
    EXPECT_FALSE(JSONRPCMessageKind::classify(R"({"method":"initialize"})")->isInitializeRequest());
    EXPECT_FALSE(JSONRPCMessageKind::classify(R"({"method":"Initialize","id":1})")->isInitializeRequest());
}

}  // namespace
}  // namespace mcp
