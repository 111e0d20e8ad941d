#include "mcp/detail/whitespace.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace mcp::detail {
namespace {

std::vector<std::string> strings(const std::vector<std::string_view>& views) {
    return {views.begin(), views.end()};
}

TEST(Whitespace, SplitsAtUnicodeWhiteSpaceDroppingEmptyPieces) {
    const struct {
        std::string_view text;
        std::optional<std::size_t> maxSplits;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a b  c", std::nullopt, {"a", "b", "c"}},
        {" \t a\r\nb \n", std::nullopt, {"a", "b"}},
        {"", std::nullopt, {}},
        {"   ", std::nullopt, {}},
        {"Bearer\u2003tok", std::nullopt, {"Bearer", "tok"}},
        {"a\u00A0b\u3000c\u0085d", std::nullopt, {"a", "b", "c", "d"}},
        // U+200B (zero width space) has no White_Space property.
        {"a\u200Bb", std::nullopt, {"a\u200Bb"}},
        {"Bearer tok", 1, {"Bearer", "tok"}},
        {"Bearer  tok", 1, {"Bearer", " tok"}},
        {"Bearer a b", 1, {"Bearer", "a b"}},
        {"  Bearer tok", 1, {"Bearer", "tok"}},
        {"Bearer", 1, {"Bearer"}},
        {"Bearer ", 1, {"Bearer"}},
        {"a b c", 0, {"a b c"}},
        {"a b c", 2, {"a", "b", "c"}},
        // Bytes that are not UTF-8 stay in their piece.
        {"a\xff b", std::nullopt, {"a\xff", "b"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(std::string(row.text) + " / " + (row.maxSplits ? std::to_string(*row.maxSplits) : "all"));
        EXPECT_EQ(strings(splitAtWhitespace(row.text, row.maxSplits)), row.pieces);
    }
}

TEST(Whitespace, TrimsAndDetectsWhiteSpace) {
    const struct {
        std::string_view text;
        std::string_view trimmed;
        bool containsWhitespace;
    } cases[] = {
        {"  a b \r\n", "a b", true},
        {"\u2028x\u2029", "x", true},
        {"abc", "abc", false},
        {"", "", false},
        {" \t\n", "", true},
        {"\xff ", "\xff", true},
        {"\xe2\x80", "\xe2\x80", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(trimWhitespace(row.text), row.trimmed);
        EXPECT_EQ(containsWhitespace(row.text), row.containsWhitespace);
    }
    EXPECT_TRUE(isUnicodeWhitespace(U'\u1680'));
    EXPECT_FALSE(isUnicodeWhitespace(U'x'));
    EXPECT_FALSE(isUnicodeWhitespace(char32_t{0x110000}));
}

}  // namespace
}  // namespace mcp::detail
