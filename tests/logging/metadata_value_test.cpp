#include "logging/metadata_value.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace logging {
namespace {

struct Port {
    int number;
    std::string description() const { return "port " + std::to_string(number); }
};

TEST(MetadataValue, DescriptionOfEachCase) {
    const struct {
        const char* name;
        MetadataValue value;
        std::string want;
    } kCases[] = {
        {"string", "plain text", "plain text"},
        {"convertible", MetadataValue::stringConvertible(Port{8080}), "port 8080"},
        {"convertible number", MetadataValue::stringConvertible(42), "42"},
        {"empty dictionary", Metadata{}, "[:]"},
        {"empty array", MetadataValue::Array{}, "[]"},
        {"dictionary", Metadata{{"a", "1"}}, R"(["a": "1"])"},
        {"dictionary of two", Metadata{{"b", "2"}, {"a", "1"}}, R"(["a": "1", "b": "2"])"},
        {"array", MetadataValue::Array{"a", "b"}, R"(["a", "b"])"},
        {"nested values become quoted text",
         Metadata{{"list", MetadataValue::Array{"x"}},
                  {"port", MetadataValue::stringConvertible(Port{1})}},
         R"(["list": "[\"x\"]", "port": "port 1"])"},
        {"escapes", MetadataValue::Array{"say \"hi\"\\\n\t"}, R"(["say \"hi\"\\\n\t"])"},
        {"control characters", MetadataValue::Array{std::string("\x01\x1f", 2)},
         R"(["\u{1}\u{1f}"])"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.description(), c.want);
    }
}

TEST(MetadataValue, EqualityFollowsTheCase) {
    const struct {
        const char* name;
        MetadataValue left, right;
        bool equal;
    } kCases[] = {
        {"same strings", "a", "a", true},
        {"different strings", "a", "b", false},
        {"string and convertible with the same text", "42",
         MetadataValue::stringConvertible(42), false},
        {"convertibles compare descriptions", MetadataValue::stringConvertible(42),
         MetadataValue::stringConvertible(std::string("42")), true},
        {"convertibles with different descriptions", MetadataValue::stringConvertible(1),
         MetadataValue::stringConvertible(2), false},
        {"dictionaries with the same entries", Metadata{{"k", "v"}}, Metadata{{"k", "v"}}, true},
        {"dictionaries with another value", Metadata{{"k", "v"}}, Metadata{{"k", "w"}}, false},
        {"dictionaries with another key count", Metadata{{"k", "v"}},
         Metadata{{"k", "v"}, {"l", "v"}}, false},
        {"arrays equal by position", MetadataValue::Array{"a", "b"},
         MetadataValue::Array{"a", "b"}, true},
        {"arrays in another order", MetadataValue::Array{"a", "b"},
         MetadataValue::Array{"b", "a"}, false},
        {"empty array and empty dictionary", MetadataValue::Array{}, Metadata{}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.left == c.right, c.equal);
        EXPECT_EQ(c.right == c.left, c.equal);
    }
}

TEST(MetadataValue, ConvertibleIsDescribedWhenShownNotWhenMade) {
    struct Counting {
        int* calls;
        std::string description() const {
            ++*calls;
            return "counted";
        }
    };
    int calls = 0;
    const MetadataValue value = MetadataValue::stringConvertible(Counting{&calls});
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(value.description(), "counted");
    EXPECT_EQ(calls, 1);
}

TEST(MetadataValue, DictionaryLiteralRefusesARepeatedKey) {
    EXPECT_EQ(MetadataValue::dictionary({{"a", "1"}, {"b", "2"}}),
              MetadataValue(Metadata{{"a", "1"}, {"b", "2"}}));
    try {
        MetadataValue::dictionary({{"k", "1"}, {"j", "2"}, {"k", "3"}});
        FAIL() << "a repeated key was accepted";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "Duplicate values for key: 'k'");
    }
}

}  // namespace
}  // namespace logging
