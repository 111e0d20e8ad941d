#include "mcp/protocol/id.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <unordered_set>

namespace mcp {
namespace {

TEST(ID, ReadsStringsWholeNumbersAndNull) {
    const struct {
        std::string_view json;
        ID id;
    } kCases[] = {
        {R"("abc")", ID("abc")},
        {"7", ID(7)},
        {"7.0", ID(7)},
        {"-3", ID(-3)},
        {"1e2", ID(100)},
        {"9223372036854775807", ID(INT64_MAX)},
        {"null", ID("")},
        {R"("data:,x")", ID("data:,x")},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(decodeJSON<ID>(c.json), c.id);
    }
}

TEST(ID, RefusesOtherValues) {
    for (const std::string_view json : {"1.5", "true", "[]", "{}", "9223372036854775808", "-1e19"}) {
        SCOPED_TRACE(json);
        try {
            decodeJSON<ID>(json);
            ADD_FAILURE() << "read without error";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
            EXPECT_STREQ(error.what(), "ID must be string or number");
        }
    }
}

TEST(ID, WritesItsCaseAndDescribesItself) {
    EXPECT_EQ(encodeJSON(ID("1")), R"("1")");
    EXPECT_EQ(encodeJSON(ID(1)), "1");
    EXPECT_NE(ID("1"), ID(1));
    EXPECT_EQ(ID(-3).description(), "-3");
    EXPECT_EQ(ID("x").description(), "x");
}

TEST(ID, RandomIDsAreUpperCaseVersion4UUIDs) {
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::unordered_set<ID> seen;
    for (int i = 0; i < 100; ++i) {
        const ID id = ID::random();
        ASSERT_NE(id.stringValue(), nullptr);
        EXPECT_TRUE(std::regex_match(*id.stringValue(), uuid)) << *id.stringValue();
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace mcp
