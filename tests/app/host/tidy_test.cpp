#include "app/common/tidy.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace app {
namespace {

struct TidyCase {
    std::string_view name;
    std::string text;
    std::size_t limit;
    std::string want;
};

TEST(Tidy, JoinsWordsWithOneBlankAndCutsToTheLimit) {
    const TidyCase kCases[] = {
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

TEST(TidyShown, EndsACutTextInAnEllipsisWithinTheLimit) {
    const TidyCase kCases[] = {
        {"fits", "  Claude \n Code ", 40, "Claude Code"},
        {"exactly the limit", std::string(40, 'y'), 40, std::string(40, 'y')},
        {"forty-one letters", std::string(41, 'x'), 40, std::string(39, 'x') + "\u2026"},
        {"a file's name is not made into another's", "\u2026/examples/config.yml", 17,
         "\u2026/examples/confi\u2026"},
        {"a long client name", "My Extremely Long AI Assistant Application", 40,
         "My Extremely Long AI Assistant Applicat\u2026"},
        {"no blank before the ellipsis", "My Extremely Long AI Assistant Application", 32,
         "My Extremely Long AI Assistant\u2026"},
        {"fits in characters, not in bytes", "\u00e4\u00e4\u00e4", 3, "\u00e4\u00e4\u00e4"},
        {"accented letters are not split", "e\u0301e\u0301e\u0301e\u0301", 3, "e\u0301e\u0301\u2026"},
        {"limit one", "abc", 1, "\u2026"},
        {"limit zero", "abc", 0, ""},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(tidyShown(c.text, c.limit), c.want) << c.name;
    }
}

}  // namespace
}  // namespace app
