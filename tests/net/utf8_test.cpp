#include "net/utf8.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace net {
namespace {

using namespace std::literals;

TEST(UTF8, SequencesAreReadByTheWellFormedTable) {
    const struct {
        std::string_view name, text;
        std::size_t length, maximalSubpart;
    } kCases[] = {
        {"ASCII", "a"sv, 1, 1},
        {"two bytes", "\xC3\xA4"sv, 2, 2},
        {"three bytes", "\xE2\x82\xAC"sv, 3, 3},
        {"four bytes", "\xF0\x9F\x98\x80"sv, 4, 4},
        {"overlong lead", "\xC0\x80"sv, 0, 1},
        {"overlong three bytes", "\xE0\x80\x80"sv, 0, 1},
        {"surrogate", "\xED\xA0\x80"sv, 0, 1},
        {"above U+10FFFF", "\xF4\x90\x80\x80"sv, 0, 1},
        {"lone continuation", "\x80"sv, 0, 1},
        {"cut short", "\xE2\x82"sv, 0, 2},
        {"broken by ASCII", "\xF0\x9F\x98" "a"sv, 0, 3},
        {"empty", ""sv, 0, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8SequenceLength(c.text), c.length);
        EXPECT_EQ(utf8MaximalSubpart(c.text), c.maximalSubpart);
    }
}

TEST(UTF8, RepairReplacesEachMaximalSubpartOnce) {
    const struct {
        std::string_view name, text, repaired;
        bool valid;
    } kCases[] = {
        {"well-formed", "a\xC3\xA4\xE2\x82\xAC"sv, "a\xC3\xA4\xE2\x82\xAC"sv, true},
        {"lead byte and cut sequence", "\xFF\xE2\x82"sv, "\xEF\xBF\xBD\xEF\xBF\xBD"sv, false},
        {"surrogate, byte by byte", "x\xED\xA0\x80y"sv, "x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy"sv, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isValidUTF8(c.text), c.valid);
        std::string out = "kept:";
        appendRepairedUTF8(out, c.text);
        EXPECT_EQ(out, "kept:" + std::string(c.repaired));
    }
}

}  // namespace
}  // namespace net
