#include "mcp/client/client.hpp"

#include "tests/mcp/client/client_fixture.hpp"
#include "tests/mcp/server_harness.hpp"

#include "mcp/json/json.hpp"

#include "mcp/catalogue/tool_methods.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The client against the project's own server over the in-memory pair.

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::errorText;

class ClientWithServer : public testing::ClientFixture {
protected:
    void SetUp() override {
        makeServer();
        server_->withMethodHandler<ListTools>([](ListTools::Parameters) -> asio::awaitable<ListTools::Result> {
            co_return ListTools::Result{.tools = {Tool{.name = "echo", .inputSchema = Value::Object{{"type", "object"}}}}};
        });
        server_->withMethodHandler<CallTool>([this](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
            if (params.name == "wait") co_await gate_.wait();
            if (params.name == "structured") {
                co_return CallTool::Result{.content = {Tool::Content::text("{\"x\":1}")},
                                           .structuredContent = Value::Object{{"x", 1}},
                                           .isError = false};
            }
            co_return CallTool::Result{.content = {Tool::Content::text("called " + params.name)}};
        });
    }

    void TearDown() override {
        // Handlers still held at the gate end before the fixture goes.
        for (int i = 0; i < gate_.waiting(); ++i) gate_.release();
        ClientFixture::TearDown();
    }

    // Starts a "tools/call" of `name`, sent and awaited in one coroutine.
    auto startCall(std::string name) {
        // The coroutine takes its inputs as parameters: a lambda's captures die with the
        // lambda, before the coroutine runs.
        return start([](std::shared_ptr<Client> client, std::string tool) -> asio::awaitable<CallTool::Result> {
            // Named first: GCC 12 copies a temporary inside a co_await expression bytewise.
            auto request = makeRequest<CallTool>(ID::random(), {.name = tool});
            auto context = co_await client->send(std::move(request));
            co_return co_await context.value();
        }(client_, std::move(name)));
    }

    testing::Gate gate_;
};

TEST_F(ClientWithServer, ConnectPerformsTheHandshakeAndReturnsTheServersAnswer) {
    std::vector<std::string> seen;
    server_->onNotification<InitializedNotification>([&seen](Message<InitializedNotification>) -> asio::awaitable<void> {
        seen.push_back("notifications/initialized");
        co_return;
    });
    makeClient(Client::Capabilities{.roots = Client::Capabilities::Roots{.listChanged = true}});

    const auto answer = connectToServer();

    EXPECT_EQ(answer.serverInfo.name, "probe");
    EXPECT_EQ(answer.serverInfo.version, "1.0");
    EXPECT_EQ(answer.protocolVersion, "2025-11-25");
    EXPECT_EQ(answer.instructions, "Be brief.");
    EXPECT_EQ(client_->serverVersion(), "2025-11-25");
    EXPECT_EQ(client_->instructions(), "Be brief.");
    ASSERT_TRUE(client_->serverCapabilities());
    EXPECT_TRUE(client_->serverCapabilities()->tools);

    // The notification follows the answer; a ping answered after it shows it has been read.
    await(client_->ping());
    EXPECT_EQ(seen, std::vector<std::string>{"notifications/initialized"});
    EXPECT_TRUE(server_->isInitialized());
    EXPECT_EQ(server_->protocolVersion(), "2025-11-25");
    ASSERT_TRUE(server_->clientInfo());
    EXPECT_EQ(server_->clientInfo()->name, "test-client");
    ASSERT_TRUE(server_->clientCapabilities());
    EXPECT_EQ(server_->clientCapabilities()->roots, Client::Capabilities::Roots{.listChanged = true});
}

TEST_F(ClientWithServer, PingToolsListAndToolsCallWork) {
    connectToServer();
    await(client_->ping());

    auto list = await(client_->send(makeRequest<ListTools>(ID::random(), {})));
    const auto tools = await(list.value());
    ASSERT_EQ(tools.tools.size(), 1u);
    EXPECT_EQ(tools.tools[0].name, "echo");

    auto call = await(client_->send(makeRequest<CallTool>(ID::random(), {.name = "echo"})));
    const auto result = await(call.value());
    EXPECT_EQ(result.content, std::vector<Tool::Content>{Tool::Content::text("called echo")});
    // The outcome stays: a second wait gives the same result.
    EXPECT_EQ(await(call.value()), result);
    EXPECT_EQ(client_->pendingRequestCount(), 0u);
}

TEST_F(ClientWithServer, CallToolGivesContentAndTheContextFormTheWholeResult) {
    connectToServer();
    const auto outcome = await(client_->callTool("structured"));
    EXPECT_EQ(outcome, (Client::ToolOutcome{.content = {Tool::Content::text("{\"x\":1}")}, .isError = false}));

    const auto context = await(client_->callToolContext("structured"));
    const auto result = await(context.value());
    EXPECT_EQ(result.structuredContent, Value(Value::Object{{"x", 1}}));
    EXPECT_EQ(result.content, outcome.content);

    const auto tools = await(client_->listTools());
    ASSERT_EQ(tools.tools.size(), 1u);
    EXPECT_EQ(tools.tools[0].name, "echo");
}

TEST_F(ClientWithServer, EachMessageOfARoundTripIsReadOnceByItsReceiver) {
    connectToServer();
    // The first round trip also carries the server's reading of "notifications/initialized".
    await(client_->ping());
    const auto before = jsonReadCount();
    await(client_->ping());
    EXPECT_EQ(jsonReadCount() - before, 2u) << "the server reads the request, the client the answer";
}

TEST_F(ClientWithServer, TenThousandConcurrentPingsCompleteAndLeaveNothingPending) {
    connectToServer();
    constexpr int kPings = 10'000;
    int finished = 0;
    std::vector<std::shared_ptr<Outcome<void>>> pings;
    for (int i = 0; i < kPings; ++i) {
        pings.push_back(start([](std::shared_ptr<Client> client, int& count) -> asio::awaitable<void> {
            co_await client->ping();
            ++count;
        }(client_, finished)));
    }
    runUntil([&] { return finished == kPings; }, std::chrono::seconds(240));
    for (const auto& ping : pings) ASSERT_EQ(errorText(*ping), "");
    EXPECT_EQ(client_->pendingRequestCount(), 0u);
}

TEST_F(ClientWithServer, DisconnectFailsEveryRequestInFlightAtOnce) {
    connectToServer();
    std::vector<std::shared_ptr<Outcome<CallTool::Result>>> calls;
    for (int i = 0; i < 3; ++i) calls.push_back(startCall("wait"));
    runUntil([&] { return gate_.waiting() == 3; });
    EXPECT_EQ(client_->pendingRequestCount(), 3u);

    await(client_->disconnect());
    // No further message is needed: the waiters are released by the disconnect itself.
    runReady();
    for (const auto& call : calls) {
        ASSERT_TRUE(call->done);
        EXPECT_EQ(errorText(*call), "Internal error: Client disconnected");
    }
    EXPECT_EQ(client_->pendingRequestCount(), 0u);
    EXPECT_FALSE(client_->connection());

    const auto late = start(client_->ping());
    runUntil([&] { return late->done; });
    EXPECT_EQ(errorText(*late), "Internal error: Client connection not initialized");
}

TEST_F(ClientWithServer, TheServerGoingAwayFailsPendingRequestsAndLaterOnes) {
    connectToServer();
    const auto call = startCall("wait");
    runUntil([&] { return gate_.waiting() == 1; });

    await(server_->stop());
    runUntil([&] { return call->done; });
    EXPECT_EQ(errorText(*call), "Internal error: Client connection lost");

    const auto late = start(client_->ping());
    runUntil([&] { return late->done; });
    EXPECT_EQ(errorText(*late), "Internal error: Client connection lost");
}

TEST_F(ClientWithServer, ASecondConnectDisconnectsTheFirstConnection) {
    connectToServer();
    const auto call = startCall("wait");
    runUntil([&] { return gate_.waiting() == 1; });

    // The second pair and its server work on strands of their own, so that the client hops to
    // and from a transport that doesn't share its strand.
    auto second = std::make_shared<Server>(io_.get_executor(), "second", "1.0");
    auto [clientEnd, serverEnd] = InMemoryTransport::createConnectedPair(io_.get_executor());
    await(second->start(serverEnd));
    const auto answer = await(client_->connect(clientEnd));

    EXPECT_EQ(answer.serverInfo.name, "second");
    runUntil([&] { return call->done; });
    EXPECT_EQ(errorText(*call), "Internal error: Client disconnected");
    EXPECT_EQ(client_->connection(), clientEnd);
    // The first server stops reading once its peer, the first transport, has disconnected.
    await(server_->waitUntilCompleted());
    await(client_->ping());
    await(client_->disconnect());
    await(second->stop());
}

}  // namespace
}  // namespace mcp
