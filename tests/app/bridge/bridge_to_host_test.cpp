// The --stdio bridge in front of the program's real host, as an AI client uses them.

#include "app/bridge/stdio_bridge.hpp"

#include "app/host/mcp_host.hpp"
#include "app/host/serve_request.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tools/tool_dispatcher.hpp"
#include "tests/app/host/host_fixture.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <future>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace app {
namespace {

using namespace app::testing;

class NoLaunch final : public platform::SelfLauncher {
public:
    void launchDetached() override { throw std::logic_error("the host runs: nothing to launch"); }
};

class BridgeToHostTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        host = startServing(context);
        ASSERT_TRUE(status.running().get());
    }

    // The lines through the bridge, on a thread of its own while this one serves the main
    // thread's work; what the bridge wrote.
    std::vector<std::string> forward(const std::string& input) {
        std::vector<std::string> written;
        StdioBridge bridge({settings, random, client, launcher, [&](std::string_view line) { written.emplace_back(line); }});
        pump(std::async(std::launch::async, [&] {
            std::istringstream lines(input);
            bridge.run(lines);
            return 0;
        }));
        return written;
    }

    NoToolDispatcher tools;
    ServingContext context{main, status, settings, tools, "1.0"};
    std::shared_ptr<MCPHost> host;
    HTTPHostClient client;
    NoLaunch launcher;
};

TEST_F(BridgeToHostTest, RepliesToRequestsAndTheHostRecordsTheClient) {
    const auto written = forward(
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"claude-code","title":"Claude Code","version":"1.0"}}})"
        "\n"
        R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
        "\n\n"
        R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})"
        "\n");

    ASSERT_EQ(written.size(), 2u);
    const auto initialized = mcp::parseJSON(written[0]);
    EXPECT_EQ(*initialized.objectValue()->find("id"), mcp::Value(1));
    EXPECT_EQ(*initialized.objectValue()->find("result")->objectValue()->find("protocolVersion"), mcp::Value("2025-06-18"));
    const auto listed = mcp::parseJSON(written[1]);
    EXPECT_EQ(*listed.objectValue()->find("id"), mcp::Value(2));
    EXPECT_EQ(listed.objectValue()->find("result")->objectValue()->find("tools")->arrayValue()->size(), 3u);

    EXPECT_EQ(status.lastClient().get(), "Claude Code");
    EXPECT_EQ(settings.getBool(setting::kHasConnectedClient), true);
}

// Lines that the host accepts but its server can't read used to end the program.
TEST_F(BridgeToHostTest, LinesTheServerCantReadGetNoAnswerAndTheHostServesOn) {
    constexpr const char* kLines[] = {
        R"({"method":"notifications/initialized"})",
        R"({"jsonrpc":"1.0","id":1,"result":{}})",
        R"({"jsonrpc":"2.0","id":7,"error":{"code":"x"}})",
    };
    for (const auto* line : kLines) {
        std::string input;
        for (int round = 0; round < 10; ++round) input += std::string(line) + "\n";
        EXPECT_EQ(forward(input), std::vector<std::string>{}) << line;
    }
    const auto written = forward(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})" "\n");
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(*mcp::parseJSON(written[0]).objectValue()->find("id"), mcp::Value(2));
}

TEST_F(BridgeToHostTest, WrongTokenIsAnsweredUnderTheRequestsID) {
    settings.setString(setting::kToken, "f00dfeedf00dfeedf00dfeedf00dfeedf00dfeedf00dfeed");  // not the host's
    const auto written = forward(R"({"jsonrpc":"2.0","id":3,"method":"tools/list"})" "\n");
    ASSERT_EQ(written.size(), 1u);
    const auto reply = mcp::parseJSON(written[0]);
    EXPECT_EQ(*reply.objectValue()->find("id"), mcp::Value(3));
    EXPECT_EQ(*reply.objectValue()->find("error")->objectValue()->find("code"), mcp::Value(-32600));
}

}  // namespace
}  // namespace app
