#include "mcp/client/client.hpp"

#include "tests/mcp/client/client_fixture.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// The typed requests: what each sends, what strict mode lets through, what comes back.

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::errorText;

using Operation = std::function<asio::awaitable<void>(Client&)>;

struct NamedOperation {
    std::string_view method;
    Operation run;
};

// One call of each typed request, by the method it sends. Each call is named before it is
// awaited: GCC 12 copies a temporary inside a co_await expression bytewise.
const std::vector<NamedOperation>& operations() {
    static const std::vector<NamedOperation> all = {
        {"ping", [](Client& client) { return client.ping(); }},
        {"prompts/get", [](Client& client) -> asio::awaitable<void> { auto call = client.getPrompt("review"); co_await std::move(call); }},
        {"prompts/list", [](Client& client) -> asio::awaitable<void> { auto call = client.listPrompts(); co_await std::move(call); }},
        {"resources/read", [](Client& client) -> asio::awaitable<void> { auto call = client.readResource("file:///a"); co_await std::move(call); }},
        {"resources/list", [](Client& client) -> asio::awaitable<void> { auto call = client.listResources(); co_await std::move(call); }},
        {"resources/subscribe", [](Client& client) { return client.subscribeToResource("file:///a"); }},
        {"resources/templates/list",
         [](Client& client) -> asio::awaitable<void> { auto call = client.listResourceTemplates(); co_await std::move(call); }},
        {"tools/list", [](Client& client) -> asio::awaitable<void> { auto call = client.listTools(); co_await std::move(call); }},
        {"tools/call", [](Client& client) -> asio::awaitable<void> { auto call = client.callTool("look"); co_await std::move(call); }},
        {"logging/setLevel", [](Client& client) { return client.setLoggingLevel(LogLevel::warning); }},
        {"completion/complete",
         [](Client& client) -> asio::awaitable<void> { auto call = client.completePrompt("review", "lang", "c"); co_await std::move(call); }},
    };
    return all;
}

const Operation& operation(std::string_view method) {
    for (const auto& named : operations()) {
        if (named.method == method) return named.run;
    }
    throw std::invalid_argument("no such operation");
}

class ClientTypedRequests : public testing::ClientFixture {
protected:
    // Answers every typed request at once with an empty result of its type.
    void answerEverything() {
        script_->results.insert({
            {"prompts/get", R"({"messages":[]})"},
            {"prompts/list", R"({"prompts":[]})"},
            {"resources/read", R"({"contents":[]})"},
            {"resources/list", R"({"resources":[]})"},
            {"resources/subscribe", "{}"},
            {"resources/templates/list", R"({"resourceTemplates":[]})"},
            {"tools/list", R"({"tools":[]})"},
            {"tools/call", R"({"content":[]})"},
            {"logging/setLevel", "{}"},
            {"completion/complete", R"({"completion":{"values":["cpp"]}})"},
        });
    }

    // Runs `method`'s operation to its end; the text of its error, empty when it succeeded.
    std::string run(std::string_view method) {
        const auto outcome = start(operation(method)(*client_));
        runUntil([&] { return outcome->done; });
        return errorText(*outcome);
    }
};

TEST_F(ClientTypedRequests, StrictModeSendsOnlyWhatTheServerDeclared) {
    constexpr std::string_view kMissing = " is not supported by the server";
    const struct {
        bool strict;
        std::string_view capabilities, method;
        std::string refusal;  // empty: sent
    } kCases[] = {
        {false, "{}", "tools/list", ""},
        {false, "{}", "resources/subscribe", ""},
        {true, "{}", "ping", ""},
        {true, "{}", "tools/list", "Tools"},
        {true, "{}", "tools/call", "Tools"},
        {true, R"({"tools":{}})", "tools/list", ""},
        {true, R"({"tools":{}})", "tools/call", ""},
        {true, R"({"tools":{}})", "resources/read", "Resources"},
        {true, "{}", "prompts/get", "Prompts"},
        {true, R"({"prompts":{}})", "prompts/get", ""},
        {true, R"({"prompts":{}})", "prompts/list", ""},
        {true, R"({"resources":{}})", "resources/read", ""},
        {true, R"({"resources":{}})", "resources/list", ""},
        {true, R"({"resources":{}})", "resources/templates/list", ""},
        {true, R"({"resources":{}})", "resources/subscribe", "Resource subscription"},
        {true, R"({"resources":{"subscribe":false}})", "resources/subscribe", ""},
        {true, R"({"resources":{"subscribe":true}})", "resources/subscribe", ""},
        {true, R"({"logging":{}})", "logging/setLevel", ""},
        {true, R"({"logging":{}})", "completion/complete", "Completions"},
        {true, R"({"completions":{}})", "completion/complete", ""},
        {true, R"({"completions":{}})", "logging/setLevel", "Logging"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(std::string(row.method) + (row.strict ? " strict " : " lenient ") + std::string(row.capabilities));
        client_.reset();
        makeClient({}, Client::Configuration{.strict = row.strict});
        connectScripted(std::string(row.capabilities));
        answerEverything();

        const auto error = run(row.method);
        const bool sent = script_->sentWithMethod(row.method).size() == 1;
        if (row.refusal.empty()) {
            EXPECT_EQ(error, "");
            EXPECT_TRUE(sent);
        } else {
            EXPECT_EQ(error, MCPError::methodNotFound(row.refusal + std::string(kMissing)).what());
            EXPECT_FALSE(sent);
        }
        await(client_->disconnect());
    }
}

TEST_F(ClientTypedRequests, StrictModeBeforeTheHandshakeRefusesCheckedRequests) {
    makeClient({}, Client::Configuration::strictConfiguration());
    script_ = std::make_shared<testing::ScriptedTransport>();
    script_->answerInitialize = false;
    const auto connecting = start(client_->connect(script_));
    runUntil([&] { return script_->sentWithMethod("initialize").size() == 1; });

    EXPECT_EQ(run("prompts/list"), MCPError::methodNotFound("Server capabilities not initialized").what());
    EXPECT_TRUE(script_->sentWithMethod("prompts/list").empty());
    EXPECT_EQ(run("ping"), "");
    await(client_->disconnect());
    runUntil([&] { return connecting->done; });
}

TEST_F(ClientTypedRequests, ANewConfigurationAppliesToTheNextRequest) {
    connectScripted();
    answerEverything();
    EXPECT_EQ(run("tools/list"), "");
    client_->setConfiguration(Client::Configuration::strictConfiguration());
    EXPECT_NE(run("tools/list"), "");
    client_->setConfiguration(Client::Configuration::defaultConfiguration());
    EXPECT_EQ(run("tools/list"), "");
    EXPECT_EQ(script_->sentWithMethod("tools/list").size(), 2u);
}

TEST_F(ClientTypedRequests, EachCallSendsItsOwnFreshID) {
    connectScripted();
    answerEverything();
    run("tools/list");
    run("tools/list");
    const auto sent = script_->sentWithMethod("tools/list");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(*sent[0].objectValue()->find("id"), *sent[1].objectValue()->find("id"));
}

TEST_F(ClientTypedRequests, CompletionSendsTheReferenceAndContextOnlyAsGiven) {
    connectScripted();
    answerEverything();
    const auto completion = await(client_->completePrompt("review", "lang", "c"));
    EXPECT_EQ(completion.values, std::vector<std::string>{"cpp"});
    await(client_->completeResource("file:///{path}", "path", "sr", ArgumentValues{{"root", "/"}}));

    const auto sent = script_->sentWithMethod("completion/complete");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(*sent[0].objectValue()->find("params"),
              parseJSON(R"({"ref":{"type":"ref/prompt","name":"review"},"argument":{"name":"lang","value":"c"}})"));
    EXPECT_EQ(*sent[1].objectValue()->find("params"),
              parseJSON(R"({"ref":{"type":"ref/resource","uri":"file:///{path}"},)"
                        R"("argument":{"name":"path","value":"sr"},"context":{"arguments":{"root":"/"}}})"));
}

TEST_F(ClientTypedRequests, TheServersRequestsReachTheLastRegisteredHandler) {
    makeClient();
    client_->withRootsHandler([]() -> asio::awaitable<std::vector<Root>> { co_return std::vector<Root>{{.uri = "file:///first"}}; });
    client_->withRootsHandler([]() -> asio::awaitable<std::vector<Root>> { co_return std::vector<Root>{{.uri = "file:///second"}}; });
    client_->withSamplingHandler([](CreateSamplingMessage::Parameters) -> asio::awaitable<CreateSamplingMessage::Result> {
        throw std::runtime_error("the sampling handler");
    });
    client_->withMethodHandler<CreateSamplingMessage>(
        [](CreateSamplingMessage::Parameters) -> asio::awaitable<CreateSamplingMessage::Result> {
            throw std::runtime_error("the method handler");
        });
    connectScripted();
    script_->deliver(R"({"jsonrpc":"2.0","id":1,"method":"roots/list"})");
    script_->deliver(R"({"jsonrpc":"2.0","id":2,"method":"sampling/createMessage","params":{"messages":[],"maxTokens":5}})");
    runUntil([&] { return script_->sent.size() == 4; });

    const auto sent = script_->sentMessages();
    for (const auto& message : {sent[2], sent[3]}) {
        const auto response = decode<Response<AnyMethod>>(message);
        if (response.id == ID(1)) {
            EXPECT_EQ(*response.result(), parseJSON(R"({"roots":[{"uri":"file:///second"}]})"));
        } else {
            EXPECT_EQ(*response.error(), MCPError::internalError("the method handler"));
        }
    }
}

TEST_F(ClientTypedRequests, NotifyRootsChangedSendsTheNotification) {
    connectScripted();
    await(client_->notifyRootsChanged());
    EXPECT_EQ(script_->sentWithMethod("notifications/roots/list_changed"),
              std::vector<Value>{parseJSON(R"({"jsonrpc":"2.0","method":"notifications/roots/list_changed"})")});
}

}  // namespace
}  // namespace mcp
