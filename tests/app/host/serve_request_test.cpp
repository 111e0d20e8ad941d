#include "app/host/serve_request.hpp"

#include "app/host/server_identity.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tools/tool_catalogue.hpp"
#include "app/common/tool_error.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/json/json.hpp"

#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/strand.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace app {
namespace {

namespace asio = boost::asio;

constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";
const std::string kBearer = "Bearer " + std::string(kToken);

// A dispatcher that records its calls and answers from a script.
class RecordingDispatcher final : public ToolDispatcher {
public:
    struct Call {
        std::string name;
        mcp::ValueObject arguments;
        std::optional<std::string> client;
    };

    platform::Task<std::vector<mcp::Tool::Content>> callTool(std::string name, mcp::ValueObject arguments,
                                                              std::optional<std::string> client) override {
        calls.push_back({name, arguments, client});
        if (failure) std::rethrow_exception(failure);
        co_return content;
    }

    std::vector<Call> calls;
    std::vector<mcp::Tool::Content> content;
    std::exception_ptr failure;
};

class ServeRequestTest : public ::testing::Test {
protected:
    // Runs serveRequest on the io_context and the main thread's work in turn, both on the
    // test's thread, until the response is made.
    mcp::HTTPResponse serve(mcp::HTTPRequest request) { return serveWith(context, std::move(request)); }

    mcp::HTTPResponse serveWith(const ServingContext& with, mcp::HTTPRequest request) {
        std::optional<mcp::HTTPResponse> response;
        std::exception_ptr failure;
        bool done = false;
        auto body = [&]() -> asio::awaitable<void> {
            response.emplace(co_await serveRequest(std::move(request), std::string(kToken), with));
        };
        asio::co_spawn(asio::make_strand(io), body, [&](std::exception_ptr error) {
            failure = error;
            done = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done && std::chrono::steady_clock::now() < deadline) {
            io.restart();
            io.poll();
            main.runUntilIdle();
        }
        if (!done) throw std::runtime_error("serveRequest did not answer before its deadline");
        if (failure) std::rethrow_exception(failure);
        return std::move(*response);
    }

    static mcp::HTTPRequest post(std::string body, mcp::HTTPHeaders extra = {}) {
        mcp::HTTPHeaders headers{{"Host", "127.0.0.1:47293"},
                                 {"Accept", "application/json, text/event-stream"},
                                 {"Content-Type", "application/json"},
                                 {"Authorization", kBearer}};
        for (auto& [name, value] : extra) {
            std::erase_if(headers, [&](const auto& header) { return mcp::equalsIgnoringCase(header.first, name); });
            if (!value.empty()) headers.emplace_back(name, value);
        }
        return {"POST", std::move(headers), std::move(body), "/mcp"};
    }

    // The "result" of a 200 JSON-RPC answer.
    static mcp::Value result(const mcp::HTTPResponse& response) {
        EXPECT_EQ(response.statusCode(), 200);
        const auto answer = mcp::parseJSON(response.bodyData().value_or("null"));
        const auto* object = answer.objectValue();
        const auto* found = object ? object->find("result") : nullptr;
        if (!found) throw std::runtime_error("no result in " + response.bodyData().value_or(""));
        return *found;
    }

    asio::io_context io;
    platform::VirtualScheduler main;
    platform::MemorySettings settings;
    HostStatus status;
    RecordingDispatcher tools;
    ServingContext context{main, status, settings, tools, "1.2.3"};
};

constexpr std::string_view kToolsList = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";

TEST_F(ServeRequestTest, WithoutTheTokenAnswers401WithTheJSONRPCError) {
    for (const auto* authorization : {"", "Bearer wrong", "bearer 000102030405060708090a0b0c0d0e0f1011121314151617"}) {
        const auto response = serve(post(std::string(kToolsList), {{"Authorization", authorization}}));
        EXPECT_EQ(response.statusCode(), 401) << authorization;
        EXPECT_EQ(response.headers(),
                  (mcp::HTTPHeaders{{"Content-Type", "application/json"}, {"WWW-Authenticate", "Bearer"}}));
        EXPECT_EQ(mcp::parseJSON(*response.bodyData()),
                  mcp::parseJSON(R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid Request: Missing or )"
                                 R"(wrong access token. Copy the connection settings from the Vantor MCP tray icon."},)"
                                 R"("id":null})"));
    }
}

TEST_F(ServeRequestTest, ToolsListGivesTheCatalogue) {
    const auto listed = result(serve(post(std::string(kToolsList))));
    const auto decoded = mcp::decode<mcp::ListTools::Result>(listed);
    ASSERT_EQ(decoded.tools.size(), 3u);
    EXPECT_EQ(decoded.tools[0].name, "look");
    EXPECT_EQ(decoded.tools[1].name, "point");
    EXPECT_EQ(decoded.tools[2].name, "finish");
    EXPECT_EQ(decoded.tools, toolList());
    EXPECT_FALSE(listed.objectValue()->contains("nextCursor"));
    EXPECT_EQ(decoded.tools[0].annotations, (mcp::Tool::Annotations{.openWorldHint = false, .readOnlyHint = true}));
    EXPECT_EQ(decoded.tools[1].annotations, (mcp::Tool::Annotations{.openWorldHint = false, .readOnlyHint = false}));
}

TEST_F(ServeRequestTest, InitializeGivesTheIdentityAndRecordsTheClient) {
    const auto initialized = result(serve(post(
        R"({"jsonrpc":"2.0","id":"a","method":"initialize","params":{"protocolVersion":"2025-06-18",)"
        R"("capabilities":{},"clientInfo":{"name":"claude-code","title":"  Claude\n   Code ","version":"2"}}})")));
    const auto& object = *initialized.objectValue();
    EXPECT_EQ(*object.find("serverInfo"), mcp::parseJSON(R"({"name":"vantor-mcp","title":"Vantor MCP","version":"1.2.3"})"));
    EXPECT_EQ(*object.find("capabilities"), mcp::parseJSON(R"({"tools":{"listChanged":true}})"));
    EXPECT_EQ(*object.find("instructions"), mcp::Value(std::string(kServerInstructions)));
    EXPECT_EQ(status.lastClient().get(), "Claude Code");
    EXPECT_EQ(settings.getBool(setting::kHasConnectedClient), true);
}

TEST_F(ServeRequestTest, InitializeRecordsTheTitleElseTheName) {
    const struct {
        const char* name;
        const char* clientInfo;
        std::string want;
    } kCases[] = {
        {"title", R"({"name":"n","title":"T","version":"1"})", "T"},
        {"empty title", R"({"name":"n","title":"","version":"1"})", ""},
        {"no title", R"({"name":"  cursor  agent ","version":"1"})", "cursor agent"},
        {"long name, the cut shown", R"({"name":"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz","version":"1"})",
         "abcdefghijklmnopqrstuvwxyzabcdefghijklm\u2026"},
    };
    for (const auto& c : kCases) {
        status.lastClient().set("before");
        // The client header is overridden by the initialize's own client info.
        serve(post(std::string(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":)"
                               R"("2025-11-25","capabilities":{},"clientInfo":)") +
                       c.clientInfo + "}}",
                   {{"X-Vantor-MCP-Client", "Header%20Name"}}));
        EXPECT_EQ(status.lastClient().get(), c.want) << c.name;
    }
}

TEST_F(ServeRequestTest, TheServerInstructionsAreTheSixParagraphs) {
    const std::string paragraphs[] = {
        "Vantor MCP lets you see one window on the user's computer, which they choose, and point at things in it. You can't click or type: say what to do, and show where with point.",
        "Call look with a short reason when seeing a window would help, for example to find a setting, to explain what's on screen, or to guide the user through steps. A window opens where the user picks the window to show, or says no. You get a picture of that window only, with its app and title.",
        "To show the user where to click, call point with a spot in that picture (x and y in its pixels, from the top left) and a few words as label. A ring appears there on their screen and stays until they've clicked there. If they should enter something, pass it as text: it's shown with a Copy button, so they can paste it. For a form, pass several spots at once: they're numbered, and the user does them in their own time. Say in your reply what to do, briefly; the rings carry the detail.",
        "The user works at their own pace and shouldn't have to wait for you. Pass wait: true and point returns when they've done the steps, with the window's new picture if they kept it shared, so you can point at the next thing at once. Never pause or poll. A small status box on their screen shows how far they are and that you're looking; pass a message to say in a sentence what the steps are for. They can tick a step off themselves, and stop the sharing at any time: then don't look or point again unless they ask.",
        "When the task is done, or you've nothing more to point at, call finish with a few closing words. It ends the sharing and tells the user on their screen that you're done. Always do that before your final answer: otherwise they keep watching their screen for your next hint while your answer sits in your own window.",
        "After the user did a step, call look again to see the result. If they chose to keep sharing, that needs no new pick; otherwise they're asked again, so don't look more often than you need. If the user says no, don't ask again unless they tell you to.",
    };
    std::string joined;
    for (const auto& paragraph : paragraphs) joined += (joined.empty() ? "" : "\n\n") + paragraph;
    EXPECT_EQ(kServerInstructions, joined);
}

TEST_F(ServeRequestTest, RefusalsOfTheTransportAndTheValidators) {
    const std::string notification = R"({"jsonrpc":"2.0","method":"notifications/initialized"})";
    const struct {
        const char* name;
        mcp::HTTPRequest request;
        int status;
    } kCases[] = {
        {"GET, even without the token", {"GET", {}, std::nullopt, "/mcp"}, 405},
        {"empty POST", post(""), 400},
        {"not JSON-RPC", post("[1,2]"), 400},
        {"foreign Host", post(std::string(kToolsList), {{"Host", "example.com"}}), 421},
        {"foreign Origin", post(std::string(kToolsList), {{"Origin", "https://example.com"}}), 403},
        {"loopback Origin", post(std::string(kToolsList), {{"Origin", "http://localhost:3000"}}), 200},
        {"no JSON in Accept", post(std::string(kToolsList), {{"Accept", "*/*"}}), 406},
        {"not JSON", post(std::string(kToolsList), {{"Content-Type", "text/plain"}}), 415},
        {"unknown protocol version", post(std::string(kToolsList), {{"MCP-Protocol-Version", "1999-01-01"}}), 400},
        {"token checked before Host", post(std::string(kToolsList), {{"Host", "example.com"}, {"Authorization", ""}}),
         401},
        {"notification", post(notification), 202},
    };
    for (const auto& c : kCases) {
        const auto response = serve(c.request);
        EXPECT_EQ(response.statusCode(), c.status) << c.name << ": " << response.bodyData().value_or("");
    }
    const auto refused = serve({"GET", {}, std::nullopt, "/mcp"});
    EXPECT_EQ(mcp::HTTPRequest({"GET", refused.headers(), {}, {}}).header("Allow"), "POST");
    EXPECT_EQ(serve(post(notification)).bodyData(), std::nullopt);
}

TEST_F(ServeRequestTest, TheClientHeaderIsRecordedOnlyWithTheToken) {
    const struct {
        const char* name;
        std::string header;
        std::string authorization;
        std::optional<std::string> want;
    } kCases[] = {
        {"two words", "Claude%20Code", kBearer, "Claude Code"},
        {"tidied", "%20%20Claude%0A%20%20Code%20", kBearer, "Claude Code"},
        {"plus stays plus", "A+B", kBearer, "A+B"},
        {"UTF-8 escapes", "Cl%C3%A4ude", kBearer, "Cl\u00e4ude"},
        {"sixty letters, the cut shown", std::string(60, 'n'), kBearer, std::string(39, 'n') + "\u2026"},
        {"wrong token", "Claude%20Code", "Bearer nope", std::nullopt},
        {"no token", "Claude%20Code", "", std::nullopt},
        {"malformed escape", "Claude%2", kBearer, std::nullopt},
        {"escape that isn't UTF-8", "Claude%FF", kBearer, std::nullopt},
    };
    for (const auto& c : kCases) {
        platform::MemorySettings fresh;
        HostStatus freshStatus;
        ServingContext freshContext{main, freshStatus, fresh, tools, "1.0"};
        mcp::HTTPHeaders headers{{"x-vantor-mcp-client", c.header}};
        if (!c.authorization.empty()) headers.emplace_back("Authorization", c.authorization);
        // A GET is refused with 405, after the client has been recorded.
        EXPECT_EQ(serveWith(freshContext, {"GET", headers, std::nullopt, "/mcp"}).statusCode(), 405) << c.name;
        EXPECT_EQ(freshStatus.lastClient().get(), c.want) << c.name;
        EXPECT_EQ(fresh.getBool(setting::kHasConnectedClient), c.want ? std::optional(true) : std::nullopt) << c.name;
    }
}

TEST_F(ServeRequestTest, ARecognisedClientWritesTheSettingOnce) {
    serve(post(std::string(kToolsList), {{"X-Vantor-MCP-Client", "A"}}));
    serve(post(std::string(kToolsList), {{"X-Vantor-MCP-Client", "B"}}));
    EXPECT_EQ(settings.writes(), 1);
    EXPECT_EQ(status.lastClient().get(), "B");
}

TEST_F(ServeRequestTest, ToolCallsGoToTheDispatcher) {
    tools.content = {mcp::Tool::Content::text("{\"finished\":true}")};
    const auto called = result(serve(post(R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"finish"}})",
                                          {{"X-Vantor-MCP-Client", "Codex"}})));
    EXPECT_EQ(called, mcp::parseJSON(R"({"content":[{"type":"text","text":"{\"finished\":true}"}],"isError":false})"));
    ASSERT_EQ(tools.calls.size(), 1u);
    EXPECT_EQ(tools.calls[0].name, "finish");
    EXPECT_EQ(tools.calls[0].arguments, mcp::ValueObject());
    EXPECT_EQ(tools.calls[0].client, "Codex");

    serve(post(R"({"jsonrpc":"2.0","id":8,"method":"tools/call","params":{"name":"look","arguments":{"reason":"r"}}})"));
    ASSERT_EQ(tools.calls.size(), 2u);
    EXPECT_EQ(tools.calls[1].arguments, (mcp::ValueObject{{"reason", "r"}}));
    EXPECT_EQ(tools.calls[1].client, std::nullopt);
}

TEST_F(ServeRequestTest, WhatTheDispatcherThrowsBecomesAnErrorResult) {
    const struct {
        const char* name;
        std::exception_ptr failure;
        std::string text;
    } kCases[] = {
        {"tool error", std::make_exception_ptr(ToolError("Missing reason")), "Missing reason"},
        {"other error", std::make_exception_ptr(std::runtime_error("broken")), "broken"},
        {"protocol error", std::make_exception_ptr(mcp::MCPError::invalidParams("bad")), "Invalid params: bad"},
    };
    for (const auto& c : kCases) {
        tools.failure = c.failure;
        const auto called = result(serve(post(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"look"}})")));
        const auto expected = mcp::Value(mcp::ValueObject{
            {"content", mcp::Value::Array{mcp::Value(mcp::ValueObject{{"type", "text"}, {"text", c.text}})}},
            {"isError", true}});
        EXPECT_EQ(called, expected) << c.name;
    }
}

TEST_F(ServeRequestTest, WithoutToolsEveryNameIsUnknown) {
    NoToolDispatcher none;
    ServingContext noTools{main, status, settings, none, "1.0"};
    const auto response =
        serveWith(noTools, post(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"Look"}})"));
    EXPECT_EQ(result(response),
              mcp::parseJSON(R"({"content":[{"type":"text","text":"Unknown tool Look"}],"isError":true})"));
}

}  // namespace
}  // namespace app
