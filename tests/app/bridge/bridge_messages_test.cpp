#include "app/bridge/bridge_messages.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace app {
namespace {

TEST(BridgeMessages, BlankLines) {
    constexpr struct {
        std::string_view name, line;
        bool blank;
    } kCases[] = {
        {"empty", "", true},
        {"blanks", "   ", true},
        {"tabs", "\t\t", true},
        {"no-break and ideographic spaces", "\u00a0\u3000 \t", true},
        {"a carriage return is text", "\r", false},
        {"a vertical tab is text", "\v", false},
        {"json", " {} ", false},
        {"not UTF-8", "\xff", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isBlankLine(c.line), c.blank);
    }
}

TEST(BridgeMessages, RequestID) {
    constexpr struct {
        std::string_view name, line;
        std::optional<std::string_view> id;  // as JSON
    } kCases[] = {
        {"number", R"({"jsonrpc":"2.0","id":7,"method":"ping"})", "7"},
        {"string", R"({"id":"a-1","method":"ping"})", R"("a-1")"},
        {"null counts", R"({"id":null,"method":"ping"})", "null"},
        {"fraction", R"({"id":1.5})", "1.5"},
        {"any type", R"({"id":{"x":[1]}})", R"({"x":[1]})"},
        {"notification", R"({"jsonrpc":"2.0","method":"notifications/initialized"})", std::nullopt},
        {"batch", R"([{"id":1,"method":"ping"}])", std::nullopt},
        {"not json", "hello", std::nullopt},
        {"scalar", "1", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto id = requestID(c.line);
        ASSERT_EQ(id.has_value(), c.id.has_value());
        if (id) {
            EXPECT_EQ(mcp::writeJSON(*id), *c.id);
        }
    }
}

TEST(BridgeMessages, InitializeClientName) {
    constexpr struct {
        std::string_view name, line;
        std::optional<std::string_view> client;
    } kCases[] = {
        {"name", R"({"id":1,"method":"initialize","params":{"clientInfo":{"name":"claude-code"}}})", "claude-code"},
        {"title wins", R"({"id":1,"method":"initialize","params":{"clientInfo":{"name":"n","title":"Claude Code"}}})",
         "Claude Code"},
        {"title not a string", R"({"method":"initialize","params":{"clientInfo":{"name":"n","title":3}}})", "n"},
        {"empty title", R"({"method":"initialize","params":{"clientInfo":{"name":"n","title":""}}})", ""},
        {"no names", R"({"method":"initialize","params":{"clientInfo":{}}})", std::nullopt},
        {"clientInfo not an object", R"({"method":"initialize","params":{"clientInfo":"x"}})", std::nullopt},
        {"no params", R"({"method":"initialize"})", std::nullopt},
        {"other method", R"({"method":"ping","params":{"clientInfo":{"name":"n"}}})", std::nullopt},
        {"not json", "initialize", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(initializeClientName(c.line), c.client);
    }
}

TEST(BridgeMessages, ProtocolVersion) {
    constexpr struct {
        std::string_view name, reply;
        std::optional<std::string_view> version;
    } kCases[] = {
        {"initialize result", R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2025-06-18"}})", "2025-06-18"},
        {"not a string", R"({"result":{"protocolVersion":2025}})", std::nullopt},
        {"no result", R"({"error":{"code":1,"message":"x"},"protocolVersion":"2025-06-18"})", std::nullopt},
        {"not json", "oops", std::nullopt},
        {"key written with an escape", R"({"result":{"protocol\u0056ersion":"v1"}})", "v1"},
        {"escaped value", R"({"result":{"protocolVersion":"v\u0031"}})", "v1"},
        {"the last result counts", R"({"result":{"protocolVersion":"v1"},"result":{}})", std::nullopt},
        {"the last version counts", R"({"result":{"protocolVersion":"v1","protocolVersion":2}})", std::nullopt},
        {"deeper down it is no version", R"({"result":{"x":{"protocolVersion":"v1"}},"id":1})", std::nullopt},
        {"after a deeper one", R"({"result":{"x":{"protocolVersion":"v0"},"protocolVersion":"v1"}})", "v1"},
        {"a number beyond a double", R"({"result":{"protocolVersion":"v1"},"n":1e400})", std::nullopt},
        {"text after the object", R"({"result":{"protocolVersion":"v1"}} x)", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(protocolVersion(c.reply), c.version);
    }
}

// What the bridge relays as a message is what parseJSON reads as an object.
TEST(BridgeMessages, IsJSONObject) {
    const std::string deep = std::string(mcp::kMaxJSONDepth + 1, '[') + std::string(mcp::kMaxJSONDepth + 1, ']');
    const struct {
        std::string_view name;
        std::string text;
        bool object;
    } kCases[] = {
        {"object", R"({"id":1,"result":{}})", true},
        {"blanks around", " \n{}\r\n", true},
        {"array", "[1,2]", false},
        {"string", R"("{}")", false},
        {"empty", "", false},
        {"html", "<html></html>", false},
        {"cut short", R"({"id":1,"result":{)", false},
        {"two objects", "{}{}", false},
        {"a number beyond a double", R"({"n":-1e400})", false},
        {"bytes that are no UTF-8", "{\"s\":\"\xff\"}", false},
        {"nested too deeply", R"({"a":)" + deep + "}", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isJSONObject(c.text), c.object);
        bool parsed = false;
        try {
            parsed = mcp::parseJSON(c.text).objectValue() != nullptr;
        } catch (const mcp::DecodingError&) {
        }
        EXPECT_EQ(parsed, c.object) << "parseJSON agrees";
    }
}

TEST(BridgeMessages, ClientNameIsEncodedToASCII) {
    constexpr struct {
        std::string_view name, client, header;
    } kCases[] = {
        {"blank", "Claude Code", "Claude%20Code"},
        {"letters and digits stay", "Cursor42", "Cursor42"},
        {"punctuation", "a-b_c.d~e+f/g", "a%2Db%5Fc%2Ed%7Ee%2Bf%2Fg"},
        {"percent", "100%", "100%25"},
        {"accented letter", "Zoë", "Zo%C3%AB"},
        {"CJK", "克劳德", "%E5%85%8B%E5%8A%B3%E5%BE%B7"},
        {"line break", "a\r\nb", "a%0D%0Ab"},
        {"empty", "", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodeClientName(c.client), c.header);
    }
}

TEST(BridgeMessages, ReplyLine) {
    const auto one = mcp::Value(3);
    const auto text = mcp::Value("r-9");
    const auto null = mcp::Value(nullptr);
    const struct {
        std::string_view name, body;
        const mcp::Value* lineID;
        std::string_view line;
    } kCases[] = {
        {"compact body unchanged", R"({"jsonrpc":"2.0","id":3,"result":{"a":1.0}})", &one,
         R"({"jsonrpc":"2.0","id":3,"result":{"a":1.0}})"},
        {"pretty body made compact", "{\n  \"id\" : 3,\n  \"result\" : { \"u\" : \"a\\/b\", \"n\" : 1E2 }\n}", &one,
         R"({"id":3,"result":{"u":"a/b","n":1E2}})"},
        {"no json kept", "not\njson", &one, "not\njson"},
        {"error with null id gets the line's id",
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: no"},"id":null})", &one,
         R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: no"},"id":3})"},
        {"string id put in", R"({"error":{"code":1,"message":"m"},"id":null})", &text,
         R"({"error":{"code":1,"message":"m"},"id":"r-9"})"},
        {"pretty error gets it too", "{\n \"error\" : {\"code\":1,\"message\":\"m\"},\n \"id\" : null\n}", &one,
         R"({"error":{"code":1,"message":"m"},"id":3})"},
        {"line without id", R"({"error":{"code":1,"message":"m"},"id":null})", nullptr,
         R"({"error":{"code":1,"message":"m"},"id":null})"},
        {"line with null id", R"({"error":{"code":1,"message":"m"},"id":null})", &null,
         R"({"error":{"code":1,"message":"m"},"id":null})"},
        {"error with its own id", R"({"error":{"code":1,"message":"m"},"id":5})", &one,
         R"({"error":{"code":1,"message":"m"},"id":5})"},
        {"result with null id untouched", R"({"result":{},"id":null})", &one, R"({"result":{},"id":null})"},
        {"the last id counts", R"({"error":{"code":1,"message":"m"},"id":5,"id":null})", &one,
         R"({"error":{"code":1,"message":"m"},"id":3})"},
        {"an id in the error is not the reply's", R"({"error":{"code":1,"message":"m","id":null},"id":5})", &one,
         R"({"error":{"code":1,"message":"m","id":null},"id":5})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto id = c.lineID ? std::optional<mcp::Value>(*c.lineID) : std::nullopt;
        EXPECT_EQ(replyLine(c.body, id), c.line);
    }
}

TEST(BridgeMessages, UnreachableLine) {
    EXPECT_EQ(unreachableLine(mcp::Value(7), "Could not connect."),
              R"({"jsonrpc":"2.0","id":7,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: Could not connect."}})");
    EXPECT_EQ(unreachableLine(mcp::Value(nullptr), "x"),
              R"({"jsonrpc":"2.0","id":null,"error":{"code":-32000,"message":"Vantor MCP isn't reachable: x"}})");
    EXPECT_EQ(unreachableLine(mcp::Value("a/b"), "x"),
              R"({"jsonrpc":"2.0","id":"a/b","error":{"code":-32000,"message":"Vantor MCP isn't reachable: x"}})");
}

TEST(BridgeMessages, LineRole) {
    constexpr struct {
        std::string_view line;
        LineRole want;
    } kCases[] = {
        {R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})", LineRole::request},
        {R"({"id":"a","method":"x"})", LineRole::request},
        {R"({"id":null,"method":"x"})", LineRole::request},
        {R"({"id":2.0,"method":"x"})", LineRole::request},
        {R"({"method":"notifications/initialized"})", LineRole::noReply},
        {R"({"id":3,"result":{}})", LineRole::noReply},
        {R"({"id":[1],"method":"x"})", LineRole::badID},
        {R"({"id":{},"method":"x"})", LineRole::badID},
        {R"({"id":false,"method":"x"})", LineRole::badID},
        {R"({"id":1.5,"method":"x"})", LineRole::badID},
        {R"({"id":[1],"result":{}})", LineRole::badID},
        {R"([{"id":1,"method":"x"}])", LineRole::other},
        {"not json", LineRole::other},
        {R"("text")", LineRole::other},
    };
    for (const auto& c : kCases) EXPECT_EQ(lineRole(c.line), c.want) << c.line;
}

TEST(BridgeMessages, TooLargeLine) {
    EXPECT_EQ(tooLargeLine(mcp::Value(9), 10485760, 4194304),
              R"({"jsonrpc":"2.0","id":9,"error":{"code":-32600,"message":"Invalid Request: The message is too large: 10485760 bytes, and Vantor MCP takes at most 4194304."}})");
}

}  // namespace
}  // namespace app
