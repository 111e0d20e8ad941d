#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace mcp {
namespace {

TEST(MinifyJSON, KeepsEveryByteButWhiteSpaceOutsideStrings) {
    constexpr struct {
        std::string_view name, text;
        std::optional<std::string_view> want;
    } kCases[] = {
        {"pretty object", "{\n  \"a\" : 1,\r\n\t\"b\" : [ 1 , 2 ]\n}\n", R"({"a":1,"b":[1,2]})"},
        {"already compact", R"({"jsonrpc":"2.0","id":1,"result":{}})", R"({"jsonrpc":"2.0","id":1,"result":{}})"},
        {"blanks inside strings", "{ \"a b\" : \" x \\n y \" }", R"({"a b":" x \n y "})"},
        {"member order kept", "{ \"z\": 1, \"a\": 2 }", R"({"z":1,"a":2})"},
        {"numbers as written", "[ 1.0, 1E0, 12345678901234567890, -0, 2.50 ]",
         "[1.0,1E0,12345678901234567890,-0,2.50]"},
        {"escaped slash unescaped", R"({ "url": "http:\/\/x\/y" })", R"({"url":"http://x/y"})"},
        {"escaped backslash before slash", R"([ "a\\/b" ])", R"(["a\\/b"])"},
        {"escaped quote", R"([ "say \"hi\" " , 1 ])", R"(["say \"hi\" ",1])"},
        {"unicode escapes and text", "[ \"\\u00e9\", \"é\" ]", "[\"\\u00e9\",\"é\"]"},
        {"scalar", "  true \n", "true"},
        {"not json", "{ \"a\": }", std::nullopt},
        {"two documents", "{} {}", std::nullopt},
        {"white space only", " \n ", std::nullopt},
        {"empty", "", std::nullopt},
        {"unterminated string", "[\"abc]", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto got = minifyJSON(c.text);
        if (c.want) {
            ASSERT_TRUE(got);
            EXPECT_EQ(*got, *c.want);
        } else {
            EXPECT_FALSE(got) << *got;
        }
    }
}

}  // namespace
}  // namespace mcp
