#include "mcp/client/client.hpp"

#include "tests/mcp/client/client_fixture.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "tests/mcp/server_harness.hpp"

#include <gtest/gtest.h>

#include <boost/system/system_error.hpp>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// What the client does with each message from the server, played through a scripted
// transport.

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::errorText;

class ClientIncoming : public testing::ClientFixture {
protected:
    // Lets everything delivered so far be handled: the loop reads in order, so a ping's
    // answer comes after it.
    void settle() { await(client_->ping()); }

    bool logged(std::string_view line) const {
        const auto lines = script_->logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    long countLogged(std::string_view line) const {
        const auto lines = script_->logLines();
        return std::count(lines.begin(), lines.end(), line);
    }

    // The answers the client sent, read as responses.
    std::vector<Response<AnyMethod>> answers() const {
        std::vector<Response<AnyMethod>> responses;
        for (const auto& message : script_->sentMessages()) {
            const auto* object = message.objectValue();
            if (object != nullptr && !object->contains("method")) responses.push_back(decode<Response<AnyMethod>>(message));
        }
        return responses;
    }
};

constexpr std::string_view kUnexpected =
    "warning Unexpected message received by client (not single/batch response or notification)";

TEST_F(ClientIncoming, EachShapeTakesItsPath) {
    constexpr struct {
        std::string_view name, bytes, line;
        bool unexpected;
    } kCases[] = {
        {"empty batch", "[]", "trace Processing batch response", false},
        {"notification inside a batch", R"([{"jsonrpc":"2.0","method":"notifications/x"}])", kUnexpected, true},
        {"error with a null id", R"({"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"Invalid Request"}})",
         kUnexpected, true},
        {"request from the server", R"({"jsonrpc":"2.0","id":"x","method":"m"})",
         "trace Processing incoming request from server", false},
        {"notification", R"({"jsonrpc":"2.0","method":"notifications/x"})", "trace Processing notification", false},
        {"answer nobody waits for", R"({"jsonrpc":"2.0","id":"gone","result":{}})",
         "warning Attempted to handle response for already removed request", false},
        {"error answer nobody waits for", R"({"jsonrpc":"2.0","id":3,"error":{"code":-32601,"message":"Method not found"}})",
         "warning Attempted to handle response for already removed request", false},
        {"garbage", "not json at all", kUnexpected, true},
        {"a bare number", "42", kUnexpected, true},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        client_.reset();
        connectScripted();
        script_->deliver(std::string(row.bytes));
        settle();
        EXPECT_TRUE(logged(row.line));
        EXPECT_EQ(countLogged(kUnexpected), row.unexpected ? 1 : 0);
        if (row.unexpected) {
            const auto metadata = script_->metadataOf(kUnexpected.substr(std::string_view("warning ").size()));
            ASSERT_TRUE(metadata);
            EXPECT_EQ(metadata->at("message").description(), row.bytes);
        }
        await(client_->disconnect());
    }
}

TEST_F(ClientIncoming, InvalidUTF8IsLoggedWithoutItsText) {
    connectScripted();
    script_->deliver("\xff\xfe{");
    settle();
    const auto metadata = script_->metadataOf(kUnexpected.substr(std::string_view("warning ").size()));
    ASSERT_TRUE(metadata);
    EXPECT_FALSE(metadata->contains("message"));
}

TEST_F(ClientIncoming, ServerRequestsAreAnsweredUnderTheirIDs) {
    client_ = makeClient();
    client_->withMethodHandler<Ping>([](Empty) -> asio::awaitable<Empty> { co_return Empty{}; });
    client_->withMethodHandler<CallTool>([](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
        if (params.name == "mcp") throw MCPError::invalidParams("no such argument");
        throw std::runtime_error("boom");
    });
    connectScripted();

    script_->deliver(R"({"jsonrpc":"2.0","id":"r1","method":"roots/list"})");
    script_->deliver(R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"std"}})");
    script_->deliver(R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"mcp"}})");
    script_->deliver(R"({"jsonrpc":"2.0","id":4,"method":"ping"})");
    runUntil([&] { return answers().size() == 4; });

    auto responses = answers();
    std::sort(responses.begin(), responses.end(), [](const auto& a, const auto& b) {
        return a.id->description() < b.id->description();
    });
    EXPECT_EQ(responses[0], (Response<AnyMethod>{ID(2), MCPError::internalError("boom")}));
    EXPECT_EQ(responses[1], (Response<AnyMethod>{ID(3), MCPError::invalidParams("no such argument")}));
    EXPECT_EQ(responses[2], (Response<AnyMethod>{ID(4), Value(Value::Object{})}));
    EXPECT_EQ(responses[3], (Response<AnyMethod>{ID("r1"), MCPError::methodNotFound("Unknown method: roots/list")}));
    EXPECT_EQ(responses[3].error()->code(), -32601);
    EXPECT_EQ(responses[0].error()->code(), -32603);
    EXPECT_TRUE(logged("warning No handler registered for method"));
}

// The handler's own answer that can't be sent is followed by one error answer saying why; an
// error answer (no handler, a failed handler) goes once, and when it can't be sent that is logged.
TEST_F(ClientIncoming, AnAnswerThatCantBeSentIsFollowedByOneErrorAnswerAtMost) {
    const struct {
        std::string_view name, request;
        int failingSends;
        // The outcome of each answer the client tried to send, as an error code or "result".
        std::vector<std::string> attempts;
        bool loggedFailure;
    } cases[] = {
        {"no handler", R"({"jsonrpc":"2.0","id":1,"method":"roots/list"})", 1, {"-32601"}, true},
        {"a failed handler", R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"x"}})", 1, {"-32603"},
         true},
        {"an answer that can't go", R"({"jsonrpc":"2.0","id":1,"method":"ping"})", 1, {"result", "-32603"}, false},
        {"an answer and its error answer that can't go", R"({"jsonrpc":"2.0","id":1,"method":"ping"})", 2,
         {"result", "-32603"}, true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        client_ = makeClient();
        client_->withMethodHandler<Ping>([](Empty) -> asio::awaitable<Empty> { co_return Empty{}; });
        client_->withMethodHandler<CallTool>(
            [](CallTool::Parameters) -> asio::awaitable<CallTool::Result> { throw std::runtime_error("boom"); });
        connectScripted();
        script_->onSend = [failing = std::make_shared<int>(row.failingSends)](const Value& message) {
            if (!message.objectValue()->contains("method") && (*failing)-- > 0) throw std::runtime_error("pipe broke");
        };
        script_->deliver(std::string(row.request));
        runUntil([&] { return answers().size() == row.attempts.size(); });
        settle();

        std::vector<std::string> attempts;
        for (const auto& answer : answers()) {
            attempts.push_back(answer.succeeded() ? "result" : std::to_string(answer.error()->code()));
        }
        EXPECT_EQ(attempts, row.attempts);
        ASSERT_EQ(countLogged("error Failed to send error response"), row.loggedFailure ? 1 : 0);
        if (row.loggedFailure) {
            EXPECT_EQ(script_->metadataOf("Failed to send error response")->at("error").description(), "pipe broke");
        }
        if (row.attempts.size() == 2) {
            EXPECT_EQ(answers()[1], (Response<AnyMethod>{ID(1), MCPError::internalError("pipe broke")}));
        }
        await(client_->disconnect());
    }
}

TEST_F(ClientIncoming, AServerRequestHandlerMayAwaitTheServer) {
    // The handler's own request is answered while the handler runs: the loop must not wait
    // for the handler before reading on.
    client_ = makeClient();
    client_->withMethodHandler<CallTool>([this](CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
        co_await client_->ping();
        co_return CallTool::Result{.content = {Tool::Content::text("asked back")}};
    });
    connectScripted();
    script_->deliver(R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":{"name":"x"}})");
    runUntil([&] { return answers().size() == 1; });
    EXPECT_TRUE(answers()[0].succeeded());
}

TEST_F(ClientIncoming, TheServersCancellationStopsTheHandlerAndSuppressesTheAnswer) {
    testing::Gate gate;
    bool aborted = false;
    client_ = makeClient();
    client_->withMethodHandler<CallTool>([&](CallTool::Parameters) -> asio::awaitable<CallTool::Result> {
        try {
            co_await gate.wait();
        } catch (const boost::system::system_error&) {
            aborted = true;
            throw;
        }
        co_return CallTool::Result{};
    });
    connectScripted();
    script_->deliver(R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"slow"}})");
    runUntil([&] { return gate.waiting() == 1; });
    EXPECT_EQ(client_->serverRequestsInProgress(), 1u);

    script_->deliver(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":7}})");
    settle();
    runUntil([&] { return aborted; });
    settle();
    EXPECT_TRUE(answers().empty());
    EXPECT_FALSE(logged("error Failed to send error response")) << "nothing was to be sent";
    EXPECT_EQ(client_->serverRequestsInProgress(), 0u);
    const auto metadata = script_->metadataOf("Received cancellation notification");
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->at("requestId").description(), "7");
    EXPECT_EQ(metadata->at("reason").description(), "none");
}

TEST_F(ClientIncoming, TheServersCancellationNeverFailsTheClientsOwnRequest) {
    connectScripted();
    script_->results.clear();
    const auto call = start([](std::shared_ptr<Client> client) -> asio::awaitable<CallTool::Result> {
        // Named first: GCC 12 copies a temporary inside a co_await expression bytewise.
        auto request = makeRequest<CallTool>(ID("shared"), {.name = "x"});
        auto context = co_await client->send(std::move(request));
        co_return co_await context.value();
    }(client_));
    runUntil([&] { return client_->pendingRequestCount() == 1; });

    script_->deliver(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":"shared","reason":"r"}})");
    script_->deliver(R"({"jsonrpc":"2.0","id":"shared","result":{"content":[]}})");
    runUntil([&] { return call->done; });
    EXPECT_EQ(errorText(*call), "");
}

TEST_F(ClientIncoming, NotificationHandlersAllRunInOrderDespiteAFailure) {
    std::vector<int> ran;
    client_ = makeClient();
    for (int handler = 1; handler <= 3; ++handler) {
        client_->onNotification<ToolListChangedNotification>([&ran, handler](Message<ToolListChangedNotification>) -> asio::awaitable<void> {
            ran.push_back(handler);
            if (handler == 2) throw std::runtime_error("second fails");
            co_return;
        });
    }
    connectScripted();
    script_->deliver(R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})");
    script_->deliver(R"({"jsonrpc":"2.0","method":"notifications/nobody/listens"})");
    settle();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(countLogged("error Error handling notification"), 1);
    EXPECT_TRUE(answers().empty());
}

}  // namespace
}  // namespace mcp
