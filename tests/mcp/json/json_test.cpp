#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <thread>

namespace mcp {
namespace {

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(JSONReader, ReadsEveryCase) {
    const Value value = parseJSON(R"([1, 1.5, "x", null, true, {}, "data:,Hi", [false]])");
    const Value expected = Value::Array{1, 1.5, "x", nullptr, true, Value::Object{}, Value::Data("Hi", std::string("text/plain")),
                                        Value::Array{false}};
    EXPECT_EQ(value, expected);
    const auto& array = *value.arrayValue();
    EXPECT_EQ(array[0].kind(), Value::Kind::integer);
    EXPECT_EQ(array[1].kind(), Value::Kind::floatingPoint);
    EXPECT_EQ(array[6].kind(), Value::Kind::data);
}

TEST(JSONReader, NumbersAtTheIntegerEdges) {
    const struct {
        std::string_view text;
        Value value;
    } kCases[] = {
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 9223372036854775808.0},
        {"-9223372036854775809", -9223372036854775808.0},
        {"18446744073709551615", 18446744073709551615.0},
        {"7.0", 7.0},
        {"1e2", 100.0},
        {"0", 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        const Value value = parseJSON(c.text);
        EXPECT_EQ(value.kind(), c.value.kind());
        EXPECT_EQ(value, c.value);
    }
}

TEST(JSONReader, DuplicateKeysKeepTheLastValue) {
    EXPECT_EQ(parseJSON(R"({"a":1,"b":2,"a":3})"), (Value::Object{{"a", 3}, {"b", 2}}));
}

TEST(JSONReader, RefusesWhatIsNoJSON) {
    const std::string kCases[] = {
        "", "{", "[1,]", "nul", "1 2", R"({"a":1}x)", "\"\xFF\"", "'x'", "NaN", "Infinity", "1e400", "-1e400",
        "[1e999]", "// comment\n1", nested(kMaxJSONDepth + 1), nested(600),
    };
    for (const auto& text : kCases) {
        SCOPED_TRACE(text.substr(0, 40));
        try {
            parseJSON(text);
            ADD_FAILURE() << "read without error";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
            EXPECT_TRUE(std::string_view(error.what()).starts_with("The given data was not valid JSON: "));
        }
    }
}

TEST(JSONReader, CountsEveryTextItIsGivenOnItsOwnThread) {
    const auto before = jsonReadCount();
    parseJSON("[1]");
    EXPECT_FALSE(tryParseJSON("{"));
    EXPECT_TRUE(minifyJSON(" {} "));
    EXPECT_EQ(jsonReadCount() - before, 3u) << "refused texts count too";
    std::uint64_t elsewhere = 0;
    std::thread([&] {
        parseJSON("1");
        elsewhere = jsonReadCount();
    }).join();
    EXPECT_EQ(elsewhere, 1u);
    EXPECT_EQ(jsonReadCount() - before, 3u);
}

TEST(JSONReader, NamesAnOutOfRangeNumber) {
    try {
        parseJSON("[1, 2e400]");
        FAIL();
    } catch (const DecodingError& error) {
        EXPECT_STREQ(error.what(), "The given data was not valid JSON: Number 2e400 is out of range");
    }
}

TEST(JSONReader, ReadsDeepNesting) {
    EXPECT_NO_THROW(parseJSON(nested(300)));
    const Value deepest = parseJSON(nested(kMaxJSONDepth));
    EXPECT_EQ(writeJSON(deepest), nested(kMaxJSONDepth));
}

TEST(JSON, RoundTrips) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"b":1,"a":[true,false,null]})", R"({"b":1,"a":[true,false,null]})"},
        {"1.0", "1.0"},
        {"0.001", "0.001"},
        {"0.00001", "1e-05"},
        {"1E16", "1e+16"},
        {"1e15", "1000000000000000.0"},
        {"123.25", "123.25"},
        {"-2.5e-7", "-2.5e-07"},
        {"9223372036854775808", "9.223372036854776e+18"},
        {"-9223372036854775808", "-9223372036854775808"},
        {"1e2", "100.0"},
        {"1e-4", "0.0001"},
        {"0.1", "0.1"},
        {"-0.0", "-0.0"},
        {"5e-324", "5e-324"},
        {"1.7976931348623157e308", "1.7976931348623157e+308"},
        {"123456789012345680000", "1.2345678901234568e+20"},
        {"999999999999999.9", "999999999999999.9"},
        {"0.30000000000000004", "0.30000000000000004"},
        {"1e-400", "0.0"},
        {R"("a/b")", R"("a/b")"},
        {R"("\/")", R"("/")"},
        {R"("\u00e9\u2028")", "\"\xC3\xA9\xE2\x80\xA8\""},
        {R"("\n\t\r\b\f\"\\")", R"("\n\t\r\b\f\"\\")"},
        {R"("\u0001\u001f\u007f")", "\"\\u0001\\u001f\x7f\""},
        {R"("data:,Hello%2C%20World")", R"("data:,Hello%2C%20World")"},
        {R"("data:text/plain;charset=UTF-8;base64,SGVsbG8=")", R"("data:text/plain;charset=UTF-8;base64,SGVsbG8=")"},
        {R"("data:;base64,")", R"("data:;base64,")"},
        {R"("data:text/plain,a\nb")", R"("data:text/plain,a\nb")"},
        {R"("DATA:,x")", R"("DATA:,x")"},
        {R"("data:;base64,!!!!")", R"("data:;base64,!!!!")"},
        {"  [ ]  ", "[]"},
        {"{ }", "{}"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(writeJSON(parseJSON(c.in)), c.out);
    }
}

TEST(JSON, LongStringsWithEscapesRoundTrip) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += i % 10 == 0 ? "\n\"\xC3\xA9" : "x";
    const std::string json = writeJSON(Value(text));
    EXPECT_EQ(*parseJSON(json).stringValue(), text);
}

TEST(JSONWriter, WritesDataMadeInCodeAsBase64) {
    EXPECT_EQ(writeJSON(Value::Data("Hello", std::string("image/png"))), R"("data:image/png;base64,SGVsbG8=")");
    EXPECT_EQ(writeJSON(Value::Data("Hello")), R"("data:text/plain;base64,SGVsbG8=")");
    const Value readBack = parseJSON(writeJSON(Value::Data("Hello")));
    EXPECT_NE(readBack, Value(Value::Data("Hello")));
    EXPECT_EQ(readBack, Value(Value::Data("Hello", std::string("text/plain"))));
}

TEST(JSONWriter, SortsKeysByTheirBytes) {
    const Value value = Value::Object{
        {"b", 1}, {"_meta", 2}, {"A", 3}, {"a", Value::Object{{"d", 2}, {"c", Value::Array{1.0, 0.0001, 1e16}}}}, {"\xC3\xA9", 4},
    };
    EXPECT_EQ(writeJSON(value, KeyOrder::sorted), "{\"A\":3,\"_meta\":2,\"a\":{\"c\":[1.0,0.0001,1e+16],\"d\":2},\"b\":1,\"\xC3\xA9\":4}");
    EXPECT_EQ(writeJSON(value), "{\"b\":1,\"_meta\":2,\"A\":3,\"a\":{\"d\":2,\"c\":[1.0,0.0001,1e+16]},\"\xC3\xA9\":4}");
}

TEST(JSONWriter, RefusesNonFiniteNumbers) {
    const Value kCases[] = {
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        Value::Array{1, -std::numeric_limits<double>::infinity()},
        Value::Object{{"x", std::numeric_limits<double>::quiet_NaN()}},
    };
    for (const auto& value : kCases) {
        SCOPED_TRACE(value.description());
        EXPECT_THROW(writeJSON(value), EncodingError);
        EXPECT_THROW(writePrettyJSON(value), EncodingError);
    }
}

TEST(JSONWriter, RepairsIllFormedUTF8) {
    EXPECT_EQ(writeJSON(Value(std::string("a\xFF" "b\xE2\x82"))), "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\"");
    EXPECT_EQ(writeJSON(Value(std::string("\xED\xA0\x80"))), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JSONWriter, PrettyFormIsSortedAndIndented) {
    const Value value = Value::Object{
        {"mcpServers", Value::Object{{"vantor-mcp", Value::Object{{"command", "/usr/bin/vantor-mcp"}, {"args", Value::Array{"--stdio"}}}}}},
        {"empty", Value::Array{}},
        {"none", Value::Object{}},
    };
    EXPECT_EQ(writePrettyJSON(value),
              "{\n"
              "  \"empty\" : [],\n"
              "  \"mcpServers\" : {\n"
              "    \"vantor-mcp\" : {\n"
              "      \"args\" : [\n"
              "        \"--stdio\"\n"
              "      ],\n"
              "      \"command\" : \"/usr/bin/vantor-mcp\"\n"
              "    }\n"
              "  },\n"
              "  \"none\" : {}\n"
              "}");
    EXPECT_EQ(writePrettyJSON(1.0), "1.0");
}

}  // namespace
}  // namespace mcp
