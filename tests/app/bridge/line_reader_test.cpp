#include "app/bridge/line_reader.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace app {
namespace {

std::vector<InputLine> readAll(const std::string& input, std::size_t limit) {
    std::istringstream stream(input);
    LineReader reader(stream, limit);
    std::vector<InputLine> lines;
    while (auto line = reader.next()) lines.push_back(std::move(*line));
    return lines;
}

TEST(LineReader, SplitsAtLineFeedsAndDropsTheirCarriageReturns) {
    const auto lines = readAll("one\r\ntwo\n\nlast without a line feed", 100);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "one");
    EXPECT_EQ(lines[0].size, 3u);
    EXPECT_EQ(lines[1].text, "two");
    EXPECT_EQ(lines[2].text, "");
    EXPECT_EQ(lines[3].text, "last without a line feed");
    for (const auto& line : lines) EXPECT_FALSE(line.tooLarge);
    EXPECT_TRUE(readAll("", 100).empty());
    EXPECT_EQ(readAll("a\n", 100).size(), 1u) << "the last line feed starts no line";
}

TEST(LineReader, ALineOfTheLimitFitsAndOneByteMoreDoesNot) {
    const auto lines = readAll(std::string(8, 'a') + "\n" + std::string(9, 'b') + "\nnext", 8);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].tooLarge);
    EXPECT_EQ(lines[0].text, std::string(8, 'a'));
    EXPECT_TRUE(lines[1].tooLarge);
    EXPECT_EQ(lines[1].text, "") << "none of it is kept";
    EXPECT_EQ(lines[1].size, 9u);
    EXPECT_EQ(lines[2].text, "next") << "reading goes on after it";
}

// Of a line too large only its id is kept, wherever the object has it.
TEST(LineReader, FindsTheIDOfALineTooLarge) {
    const std::string pad(200, 'x');
    const struct {
        std::string_view name;
        std::string line;
        std::optional<mcp::Value> id;
    } kCases[] = {
        {"first", R"({"id":7,"method":"m","params":{"p":")" + pad + R"("}})", mcp::Value(7)},
        {"last", R"({"method":"m","params":{"p":")" + pad + R"("},"id":"a\"b"})", mcp::Value("a\"b")},
        {"blanks around", R"( { "params" : { "id" : 1, "p" : [")" + pad + R"(", {"id":2}] } , "id" : 3 } )",
         mcp::Value(3)},
        {"written with escapes", R"({"p":")" + pad + R"(","\u0069d":4})", mcp::Value(4)},
        {"null", R"({"p":")" + pad + R"(","id":null})", mcp::Value()},
        {"an array", R"({"p":")" + pad + R"(","id":[1,{"a":"]"}]})", mcp::Value(mcp::Value::Array{1, mcp::Value::Object{{"a", "]"}}})},
        {"a brace inside a string", R"({"p":"}" ,"q":")" + pad + R"(","id":5})", mcp::Value(5)},
        {"no id", R"({"method":"m","params":{"id":1,"p":")" + pad + R"("}})", std::nullopt},
        {"a batch", R"([{"id":1,"p":")" + pad + R"("}])", std::nullopt},
        {"no JSON", pad, std::nullopt},
        {"cut off before the id ends", R"({"p":")" + pad + R"(","id":12)", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto lines = readAll(c.line + "\n", 64);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(lines[0].tooLarge);
        EXPECT_EQ(lines[0].size, c.line.size());
        EXPECT_EQ(lines[0].id, c.id);
    }
}

}  // namespace
}  // namespace app
