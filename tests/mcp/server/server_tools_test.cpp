#include "mcp/server/server.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "tests/mcp/server_harness.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;

// The one tool of the servers below.
ListTools::Result lookList() {
    return ListTools::Result{.tools = {Tool{
                                 .name = "look",
                                 .title = "Look",
                                 .inputSchema = Value::Object{{"type", "object"}, {"required", Value::Array{"reason"}}},
                                 .annotations = {.readOnlyHint = true},
                             }}};
}

// A server that offers one tool, as the local host offers its tools: listed by "tools/list",
// run by "tools/call", with failures of the tool itself reported in its result.
class ServerTools : public testing::ServerFixture {
protected:
    void SetUp() override {
        makeServer();
        server_->withMethodHandler<ListTools>(
            [](ListTools::Parameters) -> asio::awaitable<ListTools::Result> { co_return lookList(); });
        server_->withMethodHandler<CallTool>([](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
            if (params.name != "look") {
                co_return CallTool::Result{.content = {Tool::Content::text("There's no tool named " + params.name + ".")},
                                           .isError = true};
            }
            const Value* reason = params.arguments ? params.arguments->find("reason") : nullptr;
            if (reason == nullptr || reason->stringValue() == nullptr) {
                co_return CallTool::Result{.content = {Tool::Content::text("Say why you want to look.")}, .isError = true};
            }
            co_return CallTool::Result{
                .content = {Tool::Content::text(R"({"app":"Files"})"), Tool::Content::image("iVBORw0K", "image/png")},
                .isError = false};
        });
        startServer();
    }
};

TEST_F(ServerTools, ListsTheTools) {
    send(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})");
    EXPECT_EQ(nextReply(),
              R"({"id":1,"jsonrpc":"2.0","result":{"tools":[{"annotations":{"readOnlyHint":true},"description":null,)"
              R"("inputSchema":{"required":["reason"],"type":"object"},"name":"look","title":"Look"}]}})");
}

TEST_F(ServerTools, CallsATool) {
    const struct {
        std::string_view name, request, reply;
    } kCases[] = {
        {"success", R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"look","arguments":{"reason":"to help"}}})",
         R"({"id":2,"jsonrpc":"2.0","result":{"content":[{"text":"{\"app\":\"Files\"}","type":"text"},)"
         R"({"data":"iVBORw0K","mimeType":"image/png","type":"image"}],"isError":false}})"},
        {"the tool fails", R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"look","arguments":{}}})",
         R"({"id":3,"jsonrpc":"2.0","result":{"content":[{"text":"Say why you want to look.","type":"text"}],"isError":true}})"},
        {"unknown tool", R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":{"name":"point"}})",
         R"({"id":4,"jsonrpc":"2.0","result":{"content":[{"text":"There's no tool named point.","type":"text"}],"isError":true}})"},
        {"no tool named", R"({"jsonrpc":"2.0","id":5,"method":"tools/call","params":{}})",
         R"({"error":{"code":-32602,"data":{"detail":"Invalid params field"},"message":"Invalid params: Invalid params field"},"id":5,"jsonrpc":"2.0"})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        send(c.request);
        EXPECT_EQ(nextReply(), c.reply);
    }
}

class ServerFixedResult : public testing::ServerFixture {};

TEST_F(ServerFixedResult, AnswersAsAHandlerReturningTheSameResultWould) {
    const std::string_view kLines[] = {
        R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})",
        R"({"jsonrpc":"2.0","id":"quote\"d","method":"tools/list","params":{"cursor":"x"}})",
        R"({"jsonrpc":"2.0","id":2,"method":"tools/list","params":{"cursor":5}})",
        R"([{"jsonrpc":"2.0","id":3,"method":"tools/list"},{"jsonrpc":"2.0","id":4,"method":"ping"}])",
    };
    const auto fixed = std::make_shared<const FixedResult<ListTools>>(lookList());
    for (const auto line : kLines) {
        SCOPED_TRACE(line);
        std::vector<std::string> byHandler;
        std::vector<std::string> byFixedResult;
        for (auto* replies : {&byHandler, &byFixedResult}) {
            makeServer();
            if (replies == &byFixedResult) {
                server_->withFixedResult<ListTools>(fixed);
            } else {
                server_->withMethodHandler<ListTools>(
                    [](ListTools::Parameters) -> asio::awaitable<ListTools::Result> { co_return lookList(); });
            }
            startServer();
            send(line);
            *replies = repliesBeforeSentinel();
            await(server_->stop());
        }
        ASSERT_EQ(byHandler.size(), 1u);
        EXPECT_EQ(byFixedResult, byHandler);
    }
}

}  // namespace
}  // namespace mcp
