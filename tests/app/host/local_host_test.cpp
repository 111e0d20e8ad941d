// The host and the per-request server together, over real loopback connections: what an AI
// client sees of the program.

#include "app/host/mcp_host.hpp"
#include "app/host/serve_request.hpp"
#include "app/tools/tool_dispatcher.hpp"

#include "tests/app/host/host_fixture.hpp"

#include "mcp/json/json.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace app {
namespace {

using namespace app::testing;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

// Tells on which thread each call came.
class ThreadRecordingDispatcher final : public ToolDispatcher {
public:
    platform::Task<std::vector<mcp::Tool::Content>> callTool(std::string name, mcp::ValueObject,
                                                              std::optional<std::string>) override {
        threads.push_back(std::this_thread::get_id());
        co_return std::vector<mcp::Tool::Content>{mcp::Tool::Content::text("called " + name)};
    }
    std::vector<std::thread::id> threads;
};

class LocalHostTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        host = startServing(context);
        ASSERT_TRUE(status.running().get());
    }

    // The "result" member of a reply's JSON-RPC response.
    static mcp::Value result(const Reply& reply) {
        EXPECT_EQ(reply.statusLine, "HTTP/1.1 200 OK");
        return *mcp::parseJSON(reply.body).objectValue()->find("result");
    }

    ThreadRecordingDispatcher tools;
    ServingContext context{main, status, settings, tools, "1.0"};
    std::shared_ptr<MCPHost> host;
};

TEST_F(LocalHostTest, WithoutTheTokenAnswers401) {
    const auto answer = reply(post(kToolsList));
    EXPECT_EQ(answer.statusLine, "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(answer.header("Content-Type"), "application/json");
    EXPECT_THAT(answer.header("X-Vantor-MCP-Launch").value_or(""), MatchesRegex(kLaunchPattern));
    EXPECT_EQ(answer.header("Content-Length"), std::to_string(answer.body.size()));
    EXPECT_EQ(answer.header("Connection"), "close");
    EXPECT_EQ(answer.header("WWW-Authenticate"), "Bearer");
    EXPECT_EQ(mcp::parseJSON(answer.body),
              mcp::parseJSON(R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Missing or wrong )"
                             R"(access token. Copy the connection settings from the Vantor MCP tray icon."},"id":null})"));
}

TEST_F(LocalHostTest, WithTheTokenListsToolsAndInitializes) {
    const auto listed = reply(post(kToolsList, kBearer));
    const auto listedTools = result(listed);
    std::vector<std::string> names;
    for (const auto& tool : *listedTools.objectValue()->find("tools")->arrayValue()) {
        names.push_back(*tool.objectValue()->find("name")->stringValue());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"look", "point", "finish"}));

    const auto initialized = reply(post(
        R"({"jsonrpc":"2.0","id":2,"method":"initialize","params":{"protocolVersion":"2025-11-25","capabilities":{},)"
        R"("clientInfo":{"name":"probe","version":"1"}}})",
        kBearer));
    const auto answered = result(initialized);
    const auto& object = *answered.objectValue();
    EXPECT_EQ(*object.find("serverInfo")->objectValue()->find("name"), mcp::Value("vantor-mcp"));
    EXPECT_EQ(*object.find("serverInfo")->objectValue()->find("title"), mcp::Value("Vantor MCP"));
    EXPECT_EQ(*object.find("capabilities"), mcp::parseJSON(R"({"tools":{"listChanged":true}})"));
    EXPECT_THAT(*object.find("instructions")->stringValue(), StartsWith("Vantor MCP lets you see one window"));
    EXPECT_EQ(status.lastClient().get(), "probe");
    EXPECT_EQ(listed.header("X-Vantor-MCP-Launch"), initialized.header("X-Vantor-MCP-Launch"));
}

// request with its Host header naming host instead.
std::string withHost(std::string request, std::string_view host) {
    constexpr std::string_view kHost = "Host: 127.0.0.1:47293";
    return request.replace(request.find(kHost), kHost.size(), "Host: " + std::string(host));
}

TEST_F(LocalHostTest, Refusals) {
    const struct {
        const char* name;
        std::string request;
        std::string statusLine;
    } kCases[] = {
        {"GET", "GET /mcp HTTP/1.1\r\nHost: 127.0.0.1:47293\r\n\r\n", "HTTP/1.1 405 Method Not Allowed"},
        {"empty POST", post("", kBearer), "HTTP/1.1 400 Bad Request"},
        {"foreign Host", withHost(post(kToolsList, kBearer), "example.com"), "HTTP/1.1 421 Error"},
        {"a second Host", post(kToolsList, kBearer + "\r\nHost: example.com"), "HTTP/1.1 400 Bad Request"},
        {"foreign Origin", post(kToolsList, kBearer + "\r\nOrigin: https://example.com"), "HTTP/1.1 403 Forbidden"},
        {"no JSON in Accept", post(kToolsList, kBearer + "\r\nAccept: */*"), "HTTP/1.1 406 Not Acceptable"},
        {"notification", post(R"({"jsonrpc":"2.0","method":"notifications/initialized"})", kBearer),
         "HTTP/1.1 202 Accepted"},
        {"bytes beyond the length are cut", post(kToolsList, kBearer).append("trailing garbage"), "HTTP/1.1 200 OK"},
    };
    for (const auto& c : kCases) {
        const auto answer = reply(c.request);
        EXPECT_EQ(answer.statusLine, c.statusLine) << c.name << ": " << answer.body;
        EXPECT_EQ(answer.header("Connection"), "close") << c.name;
    }
    EXPECT_EQ(reply(kCases[0].request).header("Allow"), "POST");
    const auto accepted = reply(kCases[6].request);
    EXPECT_EQ(accepted.header("Content-Length"), "0");
    EXPECT_EQ(accepted.body, "");
}

TEST_F(LocalHostTest, ServesParallelRequests) {
    std::vector<std::future<WireConnection::Received>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(std::async(std::launch::async, [to = port] {
            return testing::exchange(to, post(kToolsList, kBearer));
        }));
    }
    for (auto& client : clients) {
        const auto received = pump(std::move(client));
        EXPECT_EQ(parseReply(received.bytes).value_or(Reply{}).statusLine, "HTTP/1.1 200 OK");
    }
}

TEST_F(LocalHostTest, ToolCallsRunOnTheMainThreadForTheNamedClient) {
    const auto answer = reply(post(R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"finish"}})",
                                   kBearer + "\r\nX-Vantor-MCP-Client: Claude%20Code"));
    EXPECT_EQ(result(answer), mcp::parseJSON(R"({"content":[{"type":"text","text":"called finish"}],"isError":false})"));
    EXPECT_EQ(tools.threads, std::vector<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(status.lastClient().get(), "Claude Code");
    EXPECT_EQ(settings.getBool(setting::kHasConnectedClient), true);
}

}  // namespace
}  // namespace app
