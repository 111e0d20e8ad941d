#include "mcp/transport/line_framer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

// Feeds `chunks` one after the other and returns every line, an overlong one as "<overlong N>",
// followed by "| " and what is still pending.
std::vector<std::string> frame(const std::vector<std::string_view>& chunks, std::size_t limit = 1 << 20) {
    LineFramer framer(limit);
    std::vector<std::string> lines;
    for (const auto chunk : chunks) {
        framer.append(chunk);
        while (auto line = framer.nextLine()) {
            lines.push_back(line->overlong ? "<overlong " + std::to_string(line->size) + ">" : std::string(line->bytes));
        }
    }
    lines.push_back("| " + std::string(framer.unread()));
    return lines;
}

TEST(LineFramer, CutsLinesAtLineFeedsOnly) {
    using Lines = std::vector<std::string>;
    const std::string longLine(5000, 'x');
    const struct {
        std::string_view name;
        std::vector<std::string_view> chunks;
        Lines want;
    } cases[] = {
        {"empty lines stay empty", {"a\n\nb\n"}, {"a", "", "b", "| "}},
        {"carriage return stays", {"abc\r\n"}, {"abc\r", "| "}},
        {"line over two reads", {"ab", "c\n"}, {"abc", "| "}},
        {"two lines in one read", {"x\ny\n"}, {"x", "y", "| "}},
        {"tail waits for its line feed", {"x\ny"}, {"x", "| y"}},
        {"other control bytes are data", {std::string_view("a\0\r\tb\n", 6)}, {std::string("a\0\r\tb", 5), "| "}},
        {"line longer than one read", {std::string_view(longLine).substr(0, 4096), std::string_view(longLine).substr(4096), "\n"},
         {longLine, "| "}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(frame(row.chunks), row.want);
    }
}

TEST(LineFramer, GivesTheSameLinesWhereverTheInputIsSplit) {
    const std::string_view input = "one\ntwo\r\n\nthree\n{\"k\":\"\xF0\x9F\x92\x93\"}\ntail";
    const auto whole = frame({input});
    for (std::size_t first = 0; first <= input.size(); ++first) {
        for (std::size_t second = first; second <= input.size(); ++second) {
            SCOPED_TRACE(std::to_string(first) + "," + std::to_string(second));
            EXPECT_EQ(frame({input.substr(0, first), input.substr(first, second - first), input.substr(second)}), whole);
        }
    }
}

TEST(LineFramer, RefusesLinesOverTheLimitAndGoesOn) {
    using Lines = std::vector<std::string>;
    const struct {
        std::string_view name;
        std::vector<std::string_view> chunks;
        Lines want;
    } cases[] = {
        {"exactly the limit passes", {"12345678\nok\n"}, {"12345678", "ok", "| "}},
        {"one byte over, whole in one read", {"123456789\nok\n"}, {"<overlong 9>", "ok", "| "}},
        {"over the limit before its line feed", {"12345", "6789", "abc\nok\n"}, {"<overlong 9>", "ok", "| "}},
        {"the rest skipped over several reads", {"123456789", "more", "more\n", "ok\n"}, {"<overlong 9>", "ok", "| "}},
        {"a partial line under the limit waits", {"1234", "5678"}, {"| 12345678"}},
        {"refusal after complete lines", {"a\n123456789"}, {"a", "<overlong 9>", "| "}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(frame(row.chunks, 8), row.want);
    }
}

TEST(LineFramer, LetsAReaderTakeFramesOfItsOwnAtALineStart) {
    LineFramer framer;
    EXPECT_TRUE(framer.atLineStart());
    framer.append("HB");
    EXPECT_TRUE(framer.atLineStart());
    framer.append("HBa");
    framer.consume(4);
    EXPECT_EQ(framer.unread(), "a");
    EXPECT_FALSE(framer.nextLine());
    EXPECT_FALSE(framer.atLineStart()) << "the partial line \"a\" is pending";
    framer.append("\nHB");
    EXPECT_EQ(framer.nextLine()->bytes, "a");
    EXPECT_TRUE(framer.atLineStart());
    EXPECT_EQ(framer.unread(), "HB");
}

TEST(LineFramer, FindsTheFirstByte) {
    EXPECT_EQ(firstByteIndex('\n', ""), std::nullopt);
    EXPECT_EQ(firstByteIndex('\n', "abc"), std::nullopt);
    EXPECT_EQ(firstByteIndex('\n', "a\nb\n"), 1U);
    EXPECT_EQ(firstByteIndex('\xF0', "ab\xF0"), 2U);
}

}  // namespace
}  // namespace mcp
