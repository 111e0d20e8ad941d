#include "mcp/protocol/metadata.hpp"

#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(ProgressToken, ReadsStringsAndWholeNumbers) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"("abc")", R"("abc")"},
        {"7", "7"},
        {"7.0", "7"},
        {"7.5", "error: dataCorrupted: Progress token must be a string or integer"},
        {"true", "error: dataCorrupted: Progress token must be a string or integer"},
        {"null", "error: dataCorrupted: Progress token must be a string or integer"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<ProgressToken>(c.in), c.out);
    }
}

TEST(ProgressToken, UniqueTokensAreUUIDStrings) {
    const auto token = ProgressToken::unique();
    ASSERT_NE(token.stringValue(), nullptr);
    EXPECT_TRUE(std::regex_match(*token.stringValue(), std::regex("[0-9A-F-]{36}")));
    EXPECT_NE(token, ProgressToken::unique());
    EXPECT_NE(ProgressToken("1"), ProgressToken(1));
}

TEST(Metadata, ProgressTokenEntry) {
    const struct {
        const char* name;
        Value::Object fields;
        std::optional<ProgressToken> token;
    } kCases[] = {
        {"int", {{"progressToken", 7}}, ProgressToken(7)},
        {"string", {{"progressToken", "t"}}, ProgressToken("t")},
        {"double", {{"progressToken", 7.0}}, std::nullopt},
        {"bool", {{"progressToken", true}}, std::nullopt},
        {"none", {{"other", 1}}, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Metadata(c.fields).progressToken(), c.token);
    }
}

TEST(Metadata, GivenTokenReplacesAndAbsentTokenRemoves) {
    const Value::Object additional{{"progressToken", "old"}, {"k", 1}};
    EXPECT_EQ(Metadata(std::nullopt, additional).fields, (Value::Object{{"k", 1}}));
    EXPECT_EQ(Metadata(ProgressToken(3), additional).fields, (Value::Object{{"progressToken", 3}, {"k", 1}}));

    Metadata metadata;
    metadata.setProgressToken(ProgressToken("t"));
    EXPECT_EQ(encodeJSON(metadata), R"({"progressToken":"t"})");
    EXPECT_EQ(*metadata.find("progressToken"), Value("t"));
    EXPECT_EQ(metadata.find("missing"), nullptr);
}

TEST(Metadata, ReadsOnlyObjects) {
    EXPECT_EQ(readAndWrite<Metadata>(R"({"a":[1],"progressToken":2})"), R"({"a":[1],"progressToken":2})");
    EXPECT_EQ(readAndWrite<Metadata>("[]"), "error: typeMismatch: Expected an object but found an array");
}

}  // namespace
}  // namespace mcp
