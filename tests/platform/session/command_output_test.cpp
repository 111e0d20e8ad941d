#include "platform/session/detail/command_output.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace platform::detail {
namespace {

using namespace std::chrono_literals;

TEST(CommandOutput, GivesTheOutputOfACommandThatSucceedsInTime) {
    const Environment environment{{"GREETING", "hello"}, {"PATH", "/usr/bin:/bin"}};
    const struct {
        const char* name;
        std::vector<std::string> argv;
        std::optional<std::string> want;
        // Plenty for a command that ends; the wait for one that doesn't.
        std::chrono::milliseconds limit = 30s;
    } kCases[] = {
        {"its output, with the environment given", {"sh", "-c", R"(echo "$GREETING"; echo "${HOME-no home}")"},
         "hello\nno home\n"},
        {"nothing to read", {"sh", "-c", "read x || echo end of input"}, "end of input\n"},
        {"output at the limit", {"sh", "-c", "printf '%064d' 0"}, std::string(64, '0')},
        {"output past the limit", {"sh", "-c", "printf '%065d' 0"}, std::nullopt},
        {"a failure", {"sh", "-c", "echo partial; exit 1"}, std::nullopt},
        {"no such command", {"vantor-no-such-command"}, std::nullopt},
        // Both are killed when the time is up, with whatever they started.
        {"no end", {"sh", "-c", "echo partial; sleep 600"}, std::nullopt, 300ms},
        {"output closed, but no end", {"sh", "-c", "exec >&-; sleep 600"}, std::nullopt, 300ms},
        {"nothing at all", {}, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(commandOutput(c.argv, environment, c.limit, 64), c.want);
    }
}

}  // namespace
}  // namespace platform::detail
