#include "app/common/tidy.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace app {
namespace {

TEST(Tidy, JoinsWordsWithOneBlankAndCutsToTheLimit) {
    const struct {
        std::string_view name;
        std::string text;
        std::size_t limit;
        std::string want;
    } kCases[] = {
        {"plain", "Claude", 40, "Claude"},
        {"padded, broken line", "   Claude \n   Code  ", 40, "Claude Code"},
        {"tabs and other white space", "\tA\u00A0B\u2003C\u2028D\r\n", 40, "A B C D"},
        {"white space only", " \n\t ", 40, ""},
        {"empty", "", 40, ""},
        {"sixty letters", std::string(60, 'x'), 40, std::string(40, 'x')},
        {"exactly the limit", std::string(40, 'y'), 40, std::string(40, 'y')},
        {"cut counts the joined blanks", "ab   cd ef", 5, "ab cd"},
        {"accented letters count once", "e\u0301e\u0301e\u0301e\u0301", 3, "e\u0301e\u0301e\u0301"},
        {"a flag is one character", "\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7", 1, "\U0001F1E9\U0001F1EA"},
        {"a family emoji is one character", "\U0001F468\u200D\U0001F469\u200D\U0001F467 x", 1,
         "\U0001F468\u200D\U0001F469\u200D\U0001F467"},
        {"limit zero", "abc", 0, ""},
        {"bytes that are not UTF-8 are kept", "a\xff b", 40, "a\xff b"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(tidy(c.text, c.limit), c.want) << c.name;
    }
}

}  // namespace
}  // namespace app
