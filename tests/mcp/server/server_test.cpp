#include "mcp/server/server.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/json/json.hpp"
#include "tests/logging/recording_log_handler.hpp"
#include "tests/mcp/server_harness.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;

class ServerLifecycle : public testing::ServerFixture {
protected:
    // The messages logged so far, as "level message".
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        for (const auto& received : *journal_) {
            lines.push_back(std::string(logging::rawValue(received.event.level)) + " " + received.event.message.value);
        }
        return lines;
    }

    logging::testing::Journal journal_ = logging::testing::makeJournal();
};

TEST_F(ServerLifecycle, WaitingAndStoppingBeforeStartReturnAtOnce) {
    makeServer();
    await(server_->waitUntilCompleted());
    await(server_->stop());
    EXPECT_FALSE(server_->isStarted());
    EXPECT_FALSE(server_->connection());
}

TEST_F(ServerLifecycle, ASecondStartIsRefusedUntilStop) {
    startServer();
    auto [otherClient, otherServerEnd] = InMemoryTransport::createConnectedPair(io_.get_executor());
    EXPECT_THROW(await(server_->start(otherServerEnd)), std::logic_error);
    EXPECT_EQ(server_->connection(), serverEnd_);
    EXPECT_EQ(server_->notificationHandlerCount(CancelledNotification::name), 1u);
    send(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
    EXPECT_EQ(nextReply(), R"({"id":1,"jsonrpc":"2.0","result":{}})");

    await(server_->stop());
    EXPECT_FALSE(server_->isStarted());
    startServer();
    EXPECT_EQ(server_->notificationHandlerCount(CancelledNotification::name), 1u);
    send(R"({"jsonrpc":"2.0","id":2,"method":"ping"})");
    EXPECT_EQ(nextReply(), R"({"id":2,"jsonrpc":"2.0","result":{}})");
}

TEST_F(ServerLifecycle, AFailedConnectLeavesTheServerUnstarted) {
    makeServer();
    EXPECT_THROW(await(server_->start(InMemoryTransport::make(io_.get_executor()))), MCPError);
    EXPECT_FALSE(server_->isStarted());
    EXPECT_TRUE(server_->hasMethodHandler(Initialize::name));
    EXPECT_TRUE(server_->hasMethodHandler(Ping::name));
    startServer();
    send(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
    EXPECT_EQ(nextReply(), R"({"id":1,"jsonrpc":"2.0","result":{}})");
}

TEST_F(ServerLifecycle, TheLoopEndsWithTheTransportsStream) {
    transportLogger_.emplace("test", logging::testing::RecordingLogHandler(journal_));
    startServer();
    auto waiting = start(server_->waitUntilCompleted());
    runReady();
    EXPECT_FALSE(waiting->done);
    await(client_->disconnect());
    runUntil([&] { return waiting->done; });
    EXPECT_FALSE(waiting->error);
    EXPECT_TRUE(server_->connection());
    const auto lines = logLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "debug Server started"), lines.end());
    EXPECT_EQ(lines.back(), "debug Server finished");
}

TEST_F(ServerLifecycle, StopEndsTheLoopAndLetsTheTransportGo) {
    startServer();
    auto waiting = start(server_->waitUntilCompleted());
    runReady();
    await(server_->stop());
    runUntil([&] { return waiting->done; });
    EXPECT_FALSE(server_->connection());
    EXPECT_FALSE(server_->isStarted());
}

TEST_F(ServerLifecycle, WritingNeedsATransport) {
    makeServer();
    const auto expectNotConnected = [&](asio::awaitable<void> writing) {
        try {
            await(std::move(writing));
            ADD_FAILURE() << "no error";
        } catch (const MCPError& error) {
            EXPECT_EQ(error, MCPError::internalError("Server connection not initialized"));
        }
    };
    expectNotConnected(server_->notify(makeMessage<ToolListChangedNotification>()));
    expectNotConnected(server_->send(makeResponse<Ping>(1)));
    startServer();
    await(server_->stop());
    expectNotConnected(server_->notify(makeMessage<ToolListChangedNotification>()));
}

TEST_F(ServerLifecycle, WritesNotificationsAndResponsesWithSortedKeys) {
    startServer();
    await(server_->notify(makeMessage<ToolListChangedNotification>()));
    EXPECT_EQ(nextReply(), R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})");
    await(server_->notify(makeMessage<ProgressNotification>({.progressToken = "t/1", .progress = 0.5})));
    EXPECT_EQ(nextReply(), R"({"jsonrpc":"2.0","method":"notifications/progress","params":{"progress":0.5,"progressToken":"t/1"}})");
    await(server_->send(makeResponse<ListTools>(ID("a"), ListTools::Result{.nextCursor = "n"})));
    EXPECT_EQ(nextReply(), R"({"id":"a","jsonrpc":"2.0","result":{"nextCursor":"n","tools":[]}})");
    await(server_->cancelRequest(ID(4)));
    EXPECT_EQ(nextReply(), R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":4}})");
}

// Requests that the server sends to the client.
class ServerRequests : public testing::ServerFixture {
protected:
    void SetUp() override { startServer(); }

    // Starts a request of method `M` and returns the id it went out with.
    template <Method M>
    std::pair<std::shared_ptr<Outcome<typename M::Result>>, std::string> request(typename M::Parameters params = {}) {
        auto outcome = start(server_->sendRequest(makeRequest<M>(ID::random(), std::move(params))));
        const Value sent = parseJSON(nextReply());
        const auto id = decode<ID>(*sent.objectValue()->find("id"));
        EXPECT_EQ(*sent.objectValue()->find("method")->stringValue(), M::name);
        return {outcome, encodeJSON(id)};
    }

    template <class T>
    T resultOf(const std::shared_ptr<Outcome<T>>& outcome) {
        runUntil([&] { return outcome->done; });
        if (outcome->error) std::rethrow_exception(outcome->error);
        return *outcome->value;
    }
};

TEST_F(ServerRequests, SendsASortedRequestAndResumesWithTheAnswer) {
    auto outcome = start(server_->sendRequest(makeRequest<Ping>(ID("A/1"))));
    EXPECT_EQ(nextReply(), R"({"id":"A/1","jsonrpc":"2.0","method":"ping","params":{}})");
    EXPECT_EQ(server_->requestsAwaitingClient(), 1u);
    send(R"({"jsonrpc":"2.0","id":"A/1","result":{}})");
    EXPECT_EQ(resultOf(outcome), Empty{});
    EXPECT_EQ(server_->requestsAwaitingClient(), 0u);
}

TEST_F(ServerRequests, ResumesWithTheClientsError) {
    auto [outcome, id] = request<Ping>();
    send(R"({"jsonrpc":"2.0","id":)" + id + R"(,"error":{"code":-32601,"message":"Method not found"}})");
    EXPECT_THROW(resultOf(outcome), MCPError);
}

TEST_F(ServerRequests, AResultOfAnotherShapeIsATypeMismatch) {
    auto [outcome, id] = request<Initialize>(Initialize::Parameters{.protocolVersion = "2025-11-25"});
    send(R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":{"protocolVersion":"2025-11-25"}})");
    EXPECT_THROW(resultOf(outcome), TypeMismatchError);
}

TEST_F(ServerRequests, StopFailsTheRequestsStillWaiting) {
    auto [first, firstID] = request<Ping>();
    auto [second, secondID] = request<ListTools>();
    await(server_->stop());
    for (const auto& error : {first->error, second->error}) {
        ASSERT_TRUE(error);
        try {
            std::rethrow_exception(error);
        } catch (const MCPError& mcpError) {
            EXPECT_EQ(mcpError, MCPError::internalError("Server disconnected"));
        }
    }
}

TEST_F(ServerRequests, AFailedSendFailsTheRequest) {
    client_.reset();
    incoming_.reset();
    auto outcome = start(server_->sendRequest(makeRequest<Ping>(ID::random())));
    EXPECT_THROW(resultOf(outcome), MCPError);
    EXPECT_EQ(server_->requestsAwaitingClient(), 0u);
}

TEST_F(ServerRequests, AnAnswerToNoRequestIsDropped) {
    auto [outcome, id] = request<Ping>();
    send(R"({"jsonrpc":"2.0","id":"unknown","result":{}})");
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{});
    EXPECT_FALSE(outcome->done);
    send(R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":{}})");
    EXPECT_EQ(resultOf(outcome), Empty{});
}

class ServerClientCapabilities : public testing::ServerFixture {};

TEST_F(ServerClientCapabilities, AreCheckedOnlyInStrictMode) {
    using Feature = Server::ClientFeature;
    const struct {
        std::string_view name;
        bool strict;
        std::optional<std::string_view> declared;
        Feature feature;
        std::string_view error;
    } kCases[] = {
        {"not strict", false, std::nullopt, Feature::sampling, ""},
        {"no handshake", true, std::nullopt, Feature::roots, "Client capabilities not initialized"},
        {"sampling missing", true, "{}", Feature::sampling, "Sampling is not supported by the client"},
        {"elicitation missing", true, R"({"sampling":{}})", Feature::elicitation, "Elicitation is not supported by the client"},
        {"roots missing", true, R"({"elicitation":{}})", Feature::roots, "Roots is not supported by the client"},
        {"sampling declared", true, R"({"sampling":{}})", Feature::sampling, ""},
        {"elicitation declared", true, R"({"elicitation":{}})", Feature::elicitation, ""},
        {"roots declared", true, R"({"roots":{}})", Feature::roots, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        makeServer({.strict = c.strict});
        startServer();
        if (c.declared) {
            send(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":)" + std::string(*c.declared) + "}}");
            nextReply();
        }
        try {
            server_->checkClientCapability(c.feature);
            EXPECT_EQ(c.error, "");
        } catch (const MCPError& error) {
            EXPECT_EQ(error, MCPError::methodNotFound(std::string(c.error)));
        }
        await(server_->stop());
    }
}

}  // namespace
}  // namespace mcp
