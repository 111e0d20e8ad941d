#include "app/bridge/command_line.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace app {
namespace {

TEST(CommandLine, StdioArgumentAnywhereChoosesTheBridge) {
    const struct {
        std::string_view name;
        std::vector<const char*> argv;
        Role role;
    } kCases[] = {
        {"alone", {"vantor-mcp", "--stdio"}, Role::stdioBridge},
        {"after others", {"vantor-mcp", "x", "--stdio"}, Role::stdioBridge},
        {"before others", {"vantor-mcp", "--stdio", "--verbose"}, Role::stdioBridge},
        {"as the program's name", {"--stdio"}, Role::stdioBridge},
        {"no arguments", {"vantor-mcp"}, Role::program},
        {"with a value", {"vantor-mcp", "--stdio=1"}, Role::program},
        {"one dash", {"vantor-mcp", "-stdio"}, Role::program},
        {"upper case", {"vantor-mcp", "--STDIO"}, Role::program},
        {"inside a longer text", {"vantor-mcp", "x--stdio"}, Role::program},
        {"with a blank", {"vantor-mcp", "--stdio "}, Role::program},
        {"nothing at all", {}, Role::program},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(roleFor(static_cast<int>(c.argv.size()), c.argv.data()), c.role);
    }
}

}  // namespace
}  // namespace app
