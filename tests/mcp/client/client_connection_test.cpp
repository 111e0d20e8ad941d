#include "mcp/client/client.hpp"

#include "tests/mcp/client/client_fixture.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/client/client_batch.hpp"

#include <gtest/gtest.h>

#include <boost/system/system_error.hpp>

#include <algorithm>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

// The client's connection, handshake, requests and message loop, through a scripted
// transport.

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::errorText;

class ClientConnection : public testing::ClientFixture {
protected:
    // Sends a "tools/call" under `id` and waits for its answer, in one coroutine.
    auto startCall(ID id) {
        // The coroutine takes its inputs as parameters: a lambda's captures die with the
        // lambda, before the coroutine runs.
        return start([](std::shared_ptr<Client> client, ID requestID) -> asio::awaitable<CallTool::Result> {
            // Named first: GCC 12 copies a temporary inside a co_await expression bytewise.
            auto request = makeRequest<CallTool>(requestID, {.name = "x"});
            auto context = co_await client->send(std::move(request));
            co_return co_await context.value();
        }(client_, std::move(id)));
    }

    bool logged(std::string_view line) const {
        const auto lines = script_->logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(ClientConnection, TheHandshakeSendsInitializeThenTheNotification) {
    makeClient(Client::Capabilities{.sampling = Client::Capabilities::Sampling{}});
    connectScripted(R"({"tools":{"listChanged":true}})");

    const auto sent = script_->sentMessages();
    ASSERT_EQ(sent.size(), 2u);
    const auto initialize = decode<Request<Initialize>>(sent[0]);
    EXPECT_TRUE(initialize.id.isString());
    EXPECT_EQ(initialize.id.stringValue()->size(), 36u);
    EXPECT_EQ(initialize.params.protocolVersion, "2025-11-25");
    EXPECT_EQ(initialize.params.clientInfo, (Client::Info{.name = "test-client", .version = "2.0"}));
    EXPECT_EQ(initialize.params.capabilities, Client::Capabilities{.sampling = Client::Capabilities::Sampling{}});
    EXPECT_EQ(sent[1], parseJSON(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));

    EXPECT_EQ(script_->negotiatedVersion, "2025-11-25");
    EXPECT_EQ(client_->serverCapabilities()->tools, (ServerCapabilities::Tools{.listChanged = true}));
    EXPECT_TRUE(logged("debug Client connected"));
}

// The transport is told what each message is instead of reading it back: what it is told
// must be what the message says.
TEST_F(ClientConnection, EachMessageTellsTheTransportItsRequestsAndMethod) {
    makeClient();
    client_->withMethodHandler<Ping>([](Empty) -> asio::awaitable<Empty> { co_return Empty{}; });
    connectScripted();
    await(client_->ping());
    await(client_->cancelRequest(ID("gone")));
    await(client_->withBatch([](Client::Batch& batch) -> asio::awaitable<void> {
        auto first = makeRequest<Ping>(ID("b1"));
        co_await batch.addRequest(std::move(first));
        auto second = makeRequest<Ping>(ID("b2"));
        co_await batch.addRequest(std::move(second));
    }));
    script_->deliver(R"({"jsonrpc":"2.0","id":9,"method":"ping"})");
    runUntil([&] { return script_->sent.size() == 6; });

    const std::string_view kinds[] = {"initialize", "initialized", "ping", "cancellation", "batch", "answer"};
    ASSERT_EQ(script_->outlines.size(), std::size(kinds));
    for (std::size_t index = 0; index < std::size(kinds); ++index) {
        SCOPED_TRACE(kinds[index]);
        ASSERT_TRUE(script_->outlines[index]);
        EXPECT_EQ(*script_->outlines[index], OutgoingMessage::outlineOf(script_->sent[index]));
    }
    EXPECT_EQ(script_->outlines[4]->requestIDs, (std::vector<ID>{ID("b1"), ID("b2")}));
    EXPECT_EQ(script_->outlines[5], OutgoingMessage::Outline{});
}

TEST_F(ClientConnection, AVersionTheClientDoesNotSpeakEndsTheConnection) {
    struct Case {
        const char* version;
        const char* want;
    };
    const Case kCases[] = {
        {"1999-01-01",
         R"(Internal error: The server answered with protocol version "1999-01-01", which this client does not support)"},
        {R"(2025-06-18\r\nX-Injected: 1)",
         "Internal error: The server answered with a protocol version, which this client does not support"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.version);
        makeClient();
        script_ = std::make_shared<testing::ScriptedTransport>();
        script_->protocolVersion = test.version;
        const auto connecting = start(client_->connect(script_));
        runUntil([&] { return connecting->done; });
        EXPECT_EQ(errorText(*connecting), test.want);
        EXPECT_FALSE(client_->connection());
        EXPECT_EQ(script_->disconnectCalls, 1);
        EXPECT_EQ(script_->negotiatedVersion, std::nullopt) << "the version is never handed to the transport";
        EXPECT_EQ(client_->serverVersion(), std::nullopt);
        EXPECT_TRUE(script_->sentWithMethod("notifications/initialized").empty());
    }
    // Every supported revision is taken.
    for (const auto& version : Version::supported()) {
        makeClient();
        script_ = std::make_shared<testing::ScriptedTransport>();
        script_->protocolVersion = version;
        await(client_->connect(script_));
        EXPECT_EQ(script_->negotiatedVersion, version);
        await(client_->disconnect());
    }
}

TEST_F(ClientConnection, ASecondHandshakeSendsTheNewCapabilitiesAndClearsInstructions) {
    makeClient();
    script_ = std::make_shared<testing::ScriptedTransport>();
    await(client_->connect(script_));
    client_->setCapabilities(Client::Capabilities{.roots = Client::Capabilities::Roots{}});
    await(client_->initialize());

    const auto initializes = script_->sentWithMethod("initialize");
    ASSERT_EQ(initializes.size(), 2u);
    EXPECT_EQ(decode<Request<Initialize>>(initializes[1]).params.capabilities.roots, Client::Capabilities::Roots{});
    EXPECT_EQ(script_->sentWithMethod("notifications/initialized").size(), 2u);
    EXPECT_EQ(client_->instructions(), std::nullopt);
}

TEST_F(ClientConnection, AFailedTransportConnectLeavesNoConnection) {
    makeClient();
    script_ = std::make_shared<testing::ScriptedTransport>();
    script_->connectFailure = std::make_exception_ptr(MCPError::transportError(std::runtime_error("refused")));
    EXPECT_THROW(await(client_->connect(script_)), MCPError);
    EXPECT_FALSE(client_->connection());
    EXPECT_TRUE(script_->sent.empty());
    // Whatever the transport did start ends: the caller has nothing to let go.
    EXPECT_EQ(script_->disconnectCalls, 1);
}

// A handshake that fails once used to leave the transport connected (and listening) until the
// caller disconnected the client and the transport by hand.
TEST_F(ClientConnection, AFailedHandshakeLetsTheTransportGo) {
    struct Case {
        const char* name;
        std::function<void(testing::ScriptedTransport&)> script;
        const char* want;
    };
    const Case kCases[] = {
        {"the initialize request can't be sent",
         [](testing::ScriptedTransport& script) {
             script.sendFailure = std::make_exception_ptr(MCPError::connectionClosed());
         },
         "Connection closed"},
        {"the server answers initialize with an error",
         [](testing::ScriptedTransport& script) {
             script.answerInitialize = false;
             script.onSend = [&script](const Value& message) {
                 const auto* id = message.objectValue()->find("id");
                 script.deliver(R"({"jsonrpc":"2.0","id":)" + writeJSON(*id) +
                                R"(,"error":{"code":-32602,"message":"Unsupported capabilities"}})");
             };
         },
         "Invalid params: Unsupported capabilities"},
        {"the stream ends before the answer",
         [](testing::ScriptedTransport& script) {
             script.answerInitialize = false;
             script.onSend = [&script](const Value&) { script.endStream(); };
         },
         "Internal error: Client connection lost"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        makeClient();
        script_ = std::make_shared<testing::ScriptedTransport>();
        test.script(*script_);
        const auto connecting = start(client_->connect(script_));
        runUntil([&] { return connecting->done; });
        EXPECT_EQ(errorText(*connecting), test.want);
        EXPECT_FALSE(client_->connection());
        EXPECT_EQ(script_->disconnectCalls, 1);
        EXPECT_FALSE(script_->connected);
        EXPECT_EQ(client_->pendingRequestCount(), 0u);
        script_->onSend = nullptr;
    }
}

TEST_F(ClientConnection, RequestsThatCannotBeSentFailAtOnce) {
    makeClient();
    const auto unconnected = startCall(ID("a"));
    runUntil([&] { return unconnected->done; });
    EXPECT_EQ(errorText(*unconnected), "Internal error: Client connection not initialized");
    EXPECT_THROW(await(client_->notify(makeMessage<InitializedNotification>())), MCPError);

    connectScripted();
    script_->results.clear();
    const auto first = startCall(ID("same"));
    runUntil([&] { return client_->pendingRequestCount() == 1; });
    const auto duplicate = startCall(ID("same"));
    runUntil([&] { return duplicate->done; });
    EXPECT_EQ(errorText(*duplicate), "Internal error: Request ID same is already pending");
    EXPECT_FALSE(first->done);

    script_->sendFailure = std::make_exception_ptr(MCPError::connectionClosed());
    const auto unsendable = startCall(ID("b"));
    runUntil([&] { return unsendable->done; });
    EXPECT_EQ(errorText(*unsendable), "Connection closed");
    EXPECT_EQ(client_->pendingRequestCount(), 1u);
}

TEST_F(ClientConnection, AnswersMatchIDsByKindAndValue) {
    connectScripted();
    script_->results.clear();
    const auto call = startCall(ID("7"));
    runUntil([&] { return client_->pendingRequestCount() == 1; });
    script_->deliver(R"({"jsonrpc":"2.0","id":7,"result":{"content":[]}})");
    script_->deliver(R"({"jsonrpc":"2.0","id":"7","result":{"content":"not a list"}})");
    runUntil([&] { return call->done; });
    // Only the string id settled it, with a result that doesn't read as the awaited type.
    EXPECT_THROW(std::rethrow_exception(call->error), TypeMismatchError);
    EXPECT_TRUE(logged("warning Attempted to handle response for already removed request"));
}

TEST_F(ClientConnection, BatchAnswersSettleEachRequestInTheirOrder) {
    connectScripted();
    script_->results.clear();
    const auto first = startCall(ID(1));
    const auto second = startCall(ID(2));
    runUntil([&] { return client_->pendingRequestCount() == 2; });
    script_->deliver(R"([{"jsonrpc":"2.0","id":2,"error":{"code":-32602,"message":"Invalid params"}},)"
                     R"({"jsonrpc":"2.0","id":"unknown","result":{}},)"
                     R"({"jsonrpc":"2.0","id":1,"result":{"content":[]}}])");
    runUntil([&] { return first->done && second->done; });
    EXPECT_EQ(errorText(*first), "");
    try {
        std::rethrow_exception(second->error);
    } catch (const MCPError& error) {
        EXPECT_EQ(error.code(), ErrorCode::invalidParams);
    }
    EXPECT_TRUE(logged("warning Received response in batch for unknown or already handled request ID"));
}

TEST_F(ClientConnection, AStreamThatEndsForGoodEndsTheLoopWithoutSpinning) {
    connectScripted();
    script_->results.clear();
    const auto call = startCall(ID("waiting"));
    runUntil([&] { return client_->pendingRequestCount() == 1; });

    script_->endStream();
    runUntil([&] { return call->done; });
    EXPECT_EQ(errorText(*call), "Internal error: Client connection lost");
    // Nothing is left to run: the loop asked once more, found the end again and stopped.
    runReady();
    EXPECT_EQ(script_->receiveCalls, 2);
    EXPECT_TRUE(logged("debug Client message handling loop task is terminating."));
    EXPECT_TRUE(io_.stopped() || io_.poll() == 0);
}

TEST_F(ClientConnection, AStreamThatEndsIsAskedForAgainWhileItDelivers) {
    connectScripted();
    script_->endStream(nullptr, false);
    // The next stream still delivers: the ping's answer comes through it.
    await(client_->ping());
    EXPECT_EQ(script_->receiveCalls, 2);
}

TEST_F(ClientConnection, ATemporarilyUnavailableStreamIsAskedForAgain) {
    connectScripted();
    script_->endStream(std::make_exception_ptr(boost::system::system_error(
                           std::make_error_code(std::errc::resource_unavailable_try_again))),
                       false);
    await(client_->ping());
    EXPECT_EQ(script_->receiveCalls, 2);
    EXPECT_FALSE(logged("error Error in message handling loop"));
}

TEST_F(ClientConnection, AFailedStreamIsLoggedAndEndsTheLoop) {
    connectScripted();
    script_->endStream(std::make_exception_ptr(MCPError::connectionClosed()), false);
    const auto late = start(client_->ping());
    runUntil([&] { return late->done; });
    EXPECT_EQ(errorText(*late), "Internal error: Client connection lost");
    EXPECT_TRUE(logged("error Error in message handling loop"));
    EXPECT_EQ(script_->metadataOf("Error in message handling loop")->at("error").description(), "Connection closed");
}

TEST_F(ClientConnection, DisconnectLogsItsStepsThroughTheTransportItHeld) {
    connectScripted();
    await(client_->disconnect());
    EXPECT_EQ(script_->disconnectCalls, 1);
    auto lines = script_->logLines();
    const auto from = std::find(lines.begin(), lines.end(), "debug Initiating client disconnect...");
    ASSERT_NE(from, lines.end());
    EXPECT_EQ(std::vector<std::string>(from, lines.end()),
              (std::vector<std::string>{"debug Initiating client disconnect...", "debug Pending requests cancelled.",
                                        "debug Message loop task cancellation requested.", "debug Transport disconnected.",
                                        "debug Client message loop task finished.", "debug Client disconnect complete."}));
    // A second disconnect, like one without a connection, finds nothing to do.
    await(client_->disconnect());
    EXPECT_EQ(script_->disconnectCalls, 1);
    EXPECT_EQ(script_->logLines().size(), lines.size());
}

}  // namespace
}  // namespace mcp
