#include "eventsource/detail/utf8_lines.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace eventsource::detail {
namespace {

#define FFFD "\xEF\xBF\xBD"

TEST(UTF8Lines, RepairsEachMaximalIllFormedSubpartWithOneReplacement) {
    constexpr struct {
        std::string_view name, input, want;
    } kCases[] = {
        {"ascii", "plain text", "plain text"},
        {"well-formed multibyte", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"lone invalid byte, truncated three-byte sequence", "\xFF\xE2\x82", FFFD FFFD},
        {"truncated sequence before ascii", "\xE2\x82x", FFFD "x"},
        {"lone continuation bytes", "a\x80\x80z", "a" FFFD FFFD "z"},
        {"overlong two-byte form", "\xC0\xAF", FFFD FFFD},
        {"overlong three-byte form", "\xE0\x80\xAF", FFFD FFFD FFFD},
        {"surrogate", "\xED\xA0\x80", FFFD FFFD FFFD},
        {"above U+10FFFF", "\xF4\x90\x80\x80", FFFD FFFD FFFD FFFD},
        {"truncated four-byte sequence", "\xF0\x9F\x98", FFFD},
        {"lead bytes that never start a sequence", "\xF5\xFE", FFFD FFFD},
        {"invalid byte after a long ascii run", "0123456789abcdef\xFF", "0123456789abcdef" FFFD},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string scratch;
        EXPECT_EQ(wellFormedUTF8(c.input, scratch), c.want);
    }
}

TEST(UTF8Lines, WellFormedInputIsReturnedInPlace) {
    const std::string_view text = "caf\xC3\xA9 and more than eight bytes";
    std::string scratch;
    EXPECT_EQ(wellFormedUTF8(text, scratch).data(), text.data());
}

TEST(UTF8Lines, ASCIICheckLooksAtEveryByte) {
    for (std::size_t position = 0; position < 20; ++position) {
        std::string text(20, 'a');
        text[position] = '\x80';
        EXPECT_FALSE(isASCII(text)) << "high byte at " << position;
    }
    EXPECT_TRUE(isASCII(std::string(20, 'a')));
}

}  // namespace
}  // namespace eventsource::detail
