#include "app/common/reopening.hpp"

#include "platform/reopen_socket.hpp"

#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace app {
namespace {

TEST(StartedByBridge, OnlyTheExactArgumentAfterTheProgramName) {
    const struct {
        const char* name;
        std::vector<const char*> argv;
        bool want;
    } kCases[] = {
        {"no arguments", {"vantor-mcp"}, false},
        {"from the bridge", {"vantor-mcp", "--from-bridge"}, true},
        {"among others", {"vantor-mcp", "-x", "--from-bridge"}, true},
        {"as the program's name", {"--from-bridge"}, false},
        {"with a value", {"vantor-mcp", "--from-bridge=1"}, false},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(startedByBridge(int(row.argv.size()), row.argv.data()), row.want);
    }
}

TEST(SocketReopening, ReachesTheListeningInstanceAsTheUserOrTheBridge) {
    test_support::TemporaryFolder folder;
    const auto file = folder.path() / "vantor-mcp.sock";
    SocketReopening byUser(file);
    SocketReopening byBridge(file, platform::ReopenKind::bridge);
    // Nobody listens: the start ends all the same.
    byUser.reopen();
    auto listener = platform::ReopenListener::bind(file);
    byUser.reopen();
    byBridge.reopen();
    EXPECT_EQ(listener.takeReopens(), (platform::Reopens{.byUser = 1, .byBridge = 1}));
}

}  // namespace
}  // namespace app
