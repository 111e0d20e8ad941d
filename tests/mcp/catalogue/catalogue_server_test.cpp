// A server that offers catalogue methods answers them over the wire; the library registers no
// handler of its own for them.

#include "mcp/catalogue/completion.hpp"
#include "mcp/catalogue/prompt_methods.hpp"
#include "mcp/catalogue/resource_methods.hpp"
#include "mcp/server/server.hpp"
#include "tests/mcp/server_harness.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

namespace asio = boost::asio;

class CatalogueServer : public testing::ServerFixture {
protected:
    void SetUp() override {
        makeServer();
        server_->withMethodHandler<ListResources>([](ListResources::Parameters params) -> asio::awaitable<ListResources::Result> {
            co_return ListResources::Result{
                .resources = {Resource{.name = "notes", .uri = "file:///notes.txt", .size = 12}},
                .nextCursor = params.cursor ? std::nullopt : std::optional<std::string>("page2"),
            };
        });
        server_->withMethodHandler<ReadResource>([](ReadResource::Parameters params) -> asio::awaitable<ReadResource::Result> {
            co_return ReadResource::Result{.contents = {Resource::Content::fromText("Hi/there", params.uri, "text/plain")}};
        });
        server_->withMethodHandler<GetPrompt>([](GetPrompt::Parameters params) -> asio::awaitable<GetPrompt::Result> {
            const auto code = params.arguments ? params.arguments->at("code") : std::string();
            co_return GetPrompt::Result{.description = "Review", .messages = {Prompt::Message::user("Review " + code)}};
        });
        server_->withMethodHandler<Complete>([](Complete::Parameters params) -> asio::awaitable<Complete::Result> {
            co_return Complete::Result{.completion = {.values = {params.argument.value + "thon"}, .total = 1, .hasMore = false}};
        });
        startServer();
    }
};

TEST_F(CatalogueServer, AnswersItsMethodsByteForByte) {
    const struct {
        std::string_view name, request, reply;
    } kCases[] = {
        {"resources/list without params", R"({"jsonrpc":"2.0","id":1,"method":"resources/list"})",
         R"({"id":1,"jsonrpc":"2.0","result":{"nextCursor":"page2","resources":[{"name":"notes","size":12,"uri":"file:///notes.txt"}]}})"},
        {"resources/list with a cursor", R"({"jsonrpc":"2.0","id":2,"method":"resources/list","params":{"cursor":"page2"}})",
         R"({"id":2,"jsonrpc":"2.0","result":{"resources":[{"name":"notes","size":12,"uri":"file:///notes.txt"}]}})"},
        {"resources/read", R"({"jsonrpc":"2.0","id":"r","method":"resources/read","params":{"uri":"file:///a/b.txt"}})",
         R"({"id":"r","jsonrpc":"2.0","result":{"contents":[{"mimeType":"text/plain","text":"Hi/there","uri":"file:///a/b.txt"}]}})"},
        {"resources/read without params", R"({"jsonrpc":"2.0","id":3,"method":"resources/read"})",
         R"({"error":{"code":-32602,"data":{"detail":"Missing required params field"},"message":"Invalid params: Missing required params field"},"id":3,"jsonrpc":"2.0"})"},
        {"prompts/get", R"({"jsonrpc":"2.0","id":4,"method":"prompts/get","params":{"name":"review","arguments":{"code":"x+1"}}})",
         R"({"id":4,"jsonrpc":"2.0","result":{"description":"Review","messages":[{"content":{"text":"Review x+1","type":"text"},"role":"user"}]}})"},
        {"prompts/get with a number argument",
         R"({"jsonrpc":"2.0","id":5,"method":"prompts/get","params":{"name":"review","arguments":{"code":1}}})",
         R"({"error":{"code":-32602,"data":{"detail":"Invalid params field"},"message":"Invalid params: Invalid params field"},"id":5,"jsonrpc":"2.0"})"},
        {"completion/complete",
         R"({"jsonrpc":"2.0","id":6,"method":"completion/complete","params":{"ref":{"type":"ref/prompt","name":"review"},"argument":{"name":"lang","value":"py"}}})",
         R"({"id":6,"jsonrpc":"2.0","result":{"completion":{"hasMore":false,"total":1,"values":["python"]}}})"},
        {"prompts/list is not offered", R"({"jsonrpc":"2.0","id":7,"method":"prompts/list"})",
         R"({"error":{"code":-32601,"data":{"detail":"Unknown method: prompts/list"},"message":"Method not found: Unknown method: prompts/list"},"id":7,"jsonrpc":"2.0"})"},
        {"logging/setLevel is not offered", R"({"jsonrpc":"2.0","id":8,"method":"logging/setLevel","params":{"level":"info"}})",
         R"({"error":{"code":-32601,"data":{"detail":"Unknown method: logging/setLevel"},"message":"Method not found: Unknown method: logging/setLevel"},"id":8,"jsonrpc":"2.0"})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        send(c.request);
        EXPECT_EQ(nextReply(), c.reply);
    }
}

}  // namespace
}  // namespace mcp
