#include "mcp/json/value.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mcp {
namespace {

using Kind = Value::Kind;

TEST(Value, ConstructorsPickTheMatchingCase) {
    const struct {
        const char* name;
        Value value;
        Kind kind;
    } kCases[] = {
        {"default", Value(), Kind::null},
        {"nullptr", nullptr, Kind::null},
        {"bool", true, Kind::boolean},
        {"int", 42, Kind::integer},
        {"size_t", std::size_t{7}, Kind::integer},
        {"double", 1.5, Kind::floatingPoint},
        {"C string", "x", Kind::string},
        {"char", 'x', Kind::string},
        {"std::string", std::string("x"), Kind::string},
        {"data", Value::Data("bytes"), Kind::data},
        {"array", Value::Array{1, "x"}, Kind::array},
        {"object", Value::Object{{"a", 1}}, Kind::object},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.kind(), c.kind);
    }
    EXPECT_THROW(Value(std::numeric_limits<std::uint64_t>::max()), std::out_of_range);
}

TEST(Value, AccessorsAnswerOnlyForTheirOwnCase) {
    const Value integer = 1;
    const Value number = 1.0;
    EXPECT_EQ(integer.intValue(), 1);
    EXPECT_FALSE(integer.doubleValue().has_value());
    EXPECT_EQ(number.doubleValue(), 1.0);
    EXPECT_FALSE(number.intValue().has_value());
    EXPECT_EQ(Value("x").boolValue(), std::nullopt);
    EXPECT_EQ(Value(true).stringValue(), nullptr);
    EXPECT_EQ(Value(Value::Data("b")).stringValue(), nullptr);
    EXPECT_TRUE(Value().isNull());
    EXPECT_FALSE(Value(0).isNull());
}

TEST(Value, ObjectKeepsInsertionOrderAndTheLastDuplicate) {
    const Value::Object object{{"b", 1}, {"a", 2}, {"b", 3}};
    ASSERT_EQ(object.size(), 2u);
    EXPECT_EQ(object.begin()->first, "b");
    EXPECT_EQ(*object.find("b"), Value(3));

    Value::Object mutated = object;
    mutated["c"] = "new";
    mutated.insertOrAssign("a", 9);
    EXPECT_TRUE(mutated.erase("b"));
    EXPECT_FALSE(mutated.erase("missing"));
    std::vector<std::string> keys;
    for (const auto& [key, value] : mutated) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "c"}));
}

TEST(Value, LargeObjectsKeepTheLastDuplicate) {
    std::vector<Value::Object::Entry> entries;
    for (int i = 0; i < 100; ++i) entries.emplace_back("key" + std::to_string(i % 50), i);
    const auto object = Value::Object::fromEntries(std::move(entries));
    ASSERT_EQ(object.size(), 50u);
    EXPECT_EQ(object.begin()->first, "key0");
    EXPECT_EQ(*object.find("key0"), Value(50));
    EXPECT_EQ(*object.find("key49"), Value(99));
}

TEST(Value, EqualityAndHashing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        Value lhs, rhs;
        bool equal;
    } kCases[] = {
        {"int and double", 1, 1.0, false},
        {"nan", nan, nan, false},
        {"signed zeros", 0.0, -0.0, true},
        {"string and data", "data:,x", Value::Data("x", std::string("text/plain")), false},
        {"data without and with mime", Value::Data("x"), Value::Data("x", std::string("text/plain")), false},
        {"data read and made", *Value::Data::fromDataURL("data:,x"), Value::Data("x", std::string("text/plain")), true},
        {"object order", Value::Object{{"a", 1}, {"b", 2}}, Value::Object{{"b", 2}, {"a", 1}}, true},
        {"object values", Value::Object{{"a", 1}}, Value::Object{{"a", 2}}, false},
        {"object keys", Value::Object{{"a", 1}}, Value::Object{{"b", 1}}, false},
        {"array order", Value::Array{1, 2}, Value::Array{2, 1}, false},
        {"nested", Value::Array{Value::Object{{"x", nullptr}}}, Value::Array{Value::Object{{"x", nullptr}}}, true},
        {"null", Value(), nullptr, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.lhs == c.rhs, c.equal);
        if (c.equal) {
            EXPECT_EQ(c.lhs.hash(), c.rhs.hash());
        }
    }
}

TEST(Value, Descriptions) {
    const struct {
        const char* name;
        Value value;
        std::string_view text;
    } kCases[] = {
        {"null", Value(), ""},
        {"bool", false, "false"},
        {"int", -3, "-3"},
        {"whole double", 2.0, "2.0"},
        {"small double", 0.00001, "1e-05"},
        {"string", "a \"b\"", "a \"b\""},
        {"data", Value::Data("Hello", std::string("image/png")), "data:image/png;base64,SGVsbG8="},
        {"data read from text", *Value::Data::fromDataURL("data:,Hi"), "data:,Hi"},
        {"array", Value::Array{1, "a"}, "[1, a]"},
        {"empty array", Value::Array{}, "[]"},
        {"empty object", Value::Object{}, "[:]"},
        {"object", Value::Object{{"k\"", Value::Array{}}}, R"(["k\"": []])"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.description(), c.text);
    }
}

TEST(Value, ConversionsToBool) {
    const struct {
        Value value;
        std::optional<bool> strict, lenient;
    } kCases[] = {
        {true, true, true},
        {"true", std::nullopt, true},
        {"on", std::nullopt, true},
        {"On", std::nullopt, std::nullopt},
        {"YES", std::nullopt, std::nullopt},
        {"y", std::nullopt, true},
        {"off", std::nullopt, false},
        {"0", std::nullopt, false},
        {" true", std::nullopt, std::nullopt},
        {1, std::nullopt, true},
        {2, std::nullopt, std::nullopt},
        {0.0, std::nullopt, false},
        {1.0, std::nullopt, true},
        {0.5, std::nullopt, std::nullopt},
        {Value(), std::nullopt, std::nullopt},
        {Value::Array{}, std::nullopt, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.value.description());
        EXPECT_EQ(c.value.toBool(Conversion::strict), c.strict);
        EXPECT_EQ(c.value.toBool(Conversion::lenient), c.lenient);
    }
}

TEST(Value, ConversionsToInt) {
    const struct {
        Value value;
        std::optional<std::int64_t> strict, lenient;
    } kCases[] = {
        {7, 7, 7},
        {3.0, std::nullopt, 3},
        {3.5, std::nullopt, std::nullopt},
        {9.3e18, std::nullopt, std::nullopt},
        {-9223372036854775808.0, std::nullopt, INT64_MIN},
        {9223372036854775808.0, std::nullopt, std::nullopt},
        {"+42", std::nullopt, 42},
        {"-42", std::nullopt, -42},
        {" 42", std::nullopt, std::nullopt},
        {"4 2", std::nullopt, std::nullopt},
        {"+", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt},
        {"9223372036854775808", std::nullopt, std::nullopt},
        {"1.0", std::nullopt, std::nullopt},
        {true, std::nullopt, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.value.description());
        EXPECT_EQ(c.value.toInt(Conversion::strict), c.strict);
        EXPECT_EQ(c.value.toInt(Conversion::lenient), c.lenient);
    }
}

TEST(Value, ConversionsToDouble) {
    const struct {
        Value value;
        std::optional<double> strict, lenient;
    } kCases[] = {
        {7, 7.0, 7.0},
        {1.5, 1.5, 1.5},
        {"1.5", std::nullopt, 1.5},
        {"1e3", std::nullopt, 1000.0},
        {" 1.5", std::nullopt, std::nullopt},
        {"1.5 ", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"abc", std::nullopt, std::nullopt},
        {false, std::nullopt, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.value.description());
        EXPECT_EQ(c.value.toDouble(Conversion::strict), c.strict);
        EXPECT_EQ(c.value.toDouble(Conversion::lenient), c.lenient);
    }
}

TEST(Value, ConversionsToString) {
    const struct {
        Value value;
        std::optional<std::string> strict, lenient;
    } kCases[] = {
        {"x", "x", "x"},
        {false, std::nullopt, "false"},
        {-12, std::nullopt, "-12"},
        {0.00001, std::nullopt, "1e-05"},
        {1e16, std::nullopt, "1e+16"},
        {123.25, std::nullopt, "123.25"},
        {Value(), std::nullopt, std::nullopt},
        {Value::Object{}, std::nullopt, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.value.description());
        EXPECT_EQ(c.value.toString(Conversion::strict), c.strict);
        EXPECT_EQ(c.value.toString(Conversion::lenient), c.lenient);
    }
}

}  // namespace
}  // namespace mcp
