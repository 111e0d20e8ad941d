#include "mcp/client/client_batch.hpp"

#include "tests/mcp/client/client_fixture.hpp"

#include "mcp/async/cancellation_error.hpp"
#include "mcp/transport/stdio_transport.hpp"
#include "tests/mcp/transport/pipe.hpp"

#include <gtest/gtest.h>

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/experimental/awaitable_operators.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The client's own cancellation of its requests, and batches, through a scripted transport.

namespace mcp {
namespace {

namespace asio = boost::asio;
using testing::errorText;

class ClientBatchAndCancellation : public testing::ClientFixture {
protected:
    // Sends a ping under `id` and waits for its answer, in one coroutine.
    auto startPing(ID id) {
        return start([](std::shared_ptr<Client> client, ID requestID) -> asio::awaitable<Empty> {
            auto request = makeRequest<Ping>(std::move(requestID));
            auto context = co_await client->send(std::move(request));
            co_return co_await context.value();
        }(client_, std::move(id)));
    }

    bool logged(std::string_view line) const {
        const auto lines = script_->logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // The messages sent after the handshake.
    std::vector<Value> sentAfterHandshake() const {
        auto sent = script_->sentMessages();
        sent.erase(sent.begin(), sent.begin() + 2);
        return sent;
    }
};

TEST_F(ClientBatchAndCancellation, CancellingReleasesTheWaiterThenTellsTheServer) {
    connectScripted();
    script_->results.clear();
    const auto ping = startPing(ID("c1"));
    runUntil([&] { return client_->pendingRequestCount() == 1; });

    await(client_->cancelRequest(ID("c1"), std::string("r")));
    runReady();
    ASSERT_TRUE(ping->done);
    EXPECT_THROW(std::rethrow_exception(ping->error), CancellationError);
    EXPECT_EQ(script_->sentWithMethod("notifications/cancelled"),
              std::vector<Value>{parseJSON(
                  R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":"c1","reason":"r"}})")});

    script_->deliver(R"({"jsonrpc":"2.0","id":"c1","result":{}})");
    script_->results.emplace("ping", "{}");
    await(client_->ping());
    EXPECT_TRUE(logged("warning Attempted to handle response for already removed request"));
}

TEST_F(ClientBatchAndCancellation, CancellingAnUnknownIDStillTellsTheServer) {
    connectScripted();
    await(client_->cancelRequest(ID(5)));
    EXPECT_EQ(script_->sentWithMethod("notifications/cancelled"),
              std::vector<Value>{
                  parseJSON(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":5}})")});
}

// Races `call` against a timer of `wait`: true when the timer won.
asio::awaitable<bool> raceAgainstTimer(asio::awaitable<void> call, std::chrono::milliseconds wait) {
    using asio::experimental::awaitable_operators::operator||;
    asio::steady_timer timer(co_await asio::this_coro::executor, wait);
    const auto first = co_await (std::move(call) || timer.async_wait(asio::use_awaitable));
    co_return first.index() == 1;
}

// The ways a caller awaits a request: a typed request, and the context of `send`.
asio::awaitable<void> callTool(std::shared_ptr<Client> client) {
    auto calling = client->callTool("look");
    co_await std::move(calling);
}

asio::awaitable<void> sendAndAwait(std::shared_ptr<Client> client) {
    auto request = makeRequest<Ping>(ID("sent"));
    auto context = co_await client->send(std::move(request));
    co_await context.value();
}

TEST_F(ClientBatchAndCancellation, ACancelledWaiterGivesItsRequestUpOnce) {
    struct Case {
        const char* name;
        std::function<asio::awaitable<void>(std::shared_ptr<Client>)> call;
        bool answered;
    };
    const Case kCases[] = {
        {"a typed request loses to the timer", callTool, false},
        {"the context of send loses to the timer", sendAndAwait, false},
        {"a typed request answered at once wins", callTool, true},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        connectScripted(R"({"tools":{}})");
        script_->results.clear();
        if (test.answered) script_->results.emplace("tools/call", R"({"content":[]})");
        const auto race = start(raceAgainstTimer(test.call(client_), std::chrono::milliseconds(test.answered ? 60000 : 10)));
        runUntil([&] { return race->done; });
        ASSERT_FALSE(race->error) << errorText(*race);
        EXPECT_EQ(*race->value, !test.answered);
        runUntil([&] { return client_->pendingRequestCount() == 0; });
        const auto notices = script_->sentWithMethod("notifications/cancelled");
        if (test.answered) {
            EXPECT_TRUE(notices.empty());
        } else {
            ASSERT_EQ(notices.size(), 1u);
            const auto sent = sentAfterHandshake();
            const Value& params = *notices[0].objectValue()->find("params");
            EXPECT_EQ(params.objectValue()->size(), 1u) << "no reason";
            EXPECT_EQ(*params.objectValue()->find("requestId"), *sent[0].objectValue()->find("id"));
        }
        await(client_->disconnect());
    }
}

// A waiter cancelled while its request is still going out can no longer begin to wait; the
// request must still be given up and the server told, or it stays pending for nobody.
TEST_F(ClientBatchAndCancellation, AWaiterCancelledWhileItsRequestGoesOutGivesItUp) {
    const struct {
        const char* name;
        std::function<asio::awaitable<void>(std::shared_ptr<Client>)> call;
    } kCases[] = {{"a typed request", callTool}, {"the context of send", sendAndAwait}};
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        connectScripted(R"({"tools":{}})");
        script_->results.clear();
        asio::cancellation_signal signal;
        script_->onSend = [&](const Value& message) {
            if (!message.objectValue()->contains("method")) return;
            const auto method = message.objectValue()->find("method")->stringValue();
            if (method && (*method == "tools/call" || *method == "ping")) signal.emit(asio::cancellation_type::terminal);
        };
        auto ended = std::make_shared<std::optional<std::exception_ptr>>();
        asio::co_spawn(io_.get_executor(), test.call(client_),
                       asio::bind_cancellation_slot(signal.slot(), [ended](std::exception_ptr error) { *ended = error; }));
        runUntil([&] { return ended->has_value(); });
        EXPECT_TRUE(**ended) << "the cancelled waiter ends with an error";
        runUntil([&] { return client_->pendingRequestCount() == 0; });
        EXPECT_EQ(script_->sentWithMethod("notifications/cancelled").size(), 1u);
        script_->onSend = nullptr;
        await(client_->disconnect());
    }
}

TEST_F(ClientBatchAndCancellation, ACancelledWaiterGivesItsRequestUpOverStdio) {
    testing::Pipe toClient;
    testing::Pipe fromClient;
    makeClient();
    std::string written;
    // The lines the client has written whose text holds `part`.
    const auto linesWith = [&](std::string_view part) {
        written += testing::readAvailable(fromClient.readEnd());
        std::vector<std::string> lines;
        for (std::size_t start = 0, end; (end = written.find('\n', start)) != std::string::npos; start = end + 1) {
            const auto line = written.substr(start, end - start);
            if (line.find(part) != std::string::npos) lines.push_back(line);
        }
        return lines;
    };
    const auto connecting =
        start(client_->connect(StdioTransport::make(io_.get_executor(), toClient.readEnd(), fromClient.writeEnd())));
    pollUntil([&] { return !linesWith("\"initialize\"").empty(); });
    const auto id = writeJSON(*parseJSON(linesWith("\"initialize\"")[0]).objectValue()->find("id"));
    testing::writeAll(toClient.writeEnd(),
                      R"({"jsonrpc":"2.0","id":)" + id +
                          R"(,"result":{"protocolVersion":"2025-06-18","capabilities":{},"serverInfo":{"name":"s","version":"1"}}})"
                          "\n");
    pollUntil([&] { return connecting->done; });
    ASSERT_FALSE(connecting->error) << errorText(*connecting);

    const auto race = start(raceAgainstTimer(sendAndAwait(client_), std::chrono::milliseconds(10)));
    pollUntil([&] { return race->done; });
    ASSERT_FALSE(race->error) << errorText(*race);
    EXPECT_TRUE(*race->value);
    pollUntil([&] { return !linesWith("notifications/cancelled").empty(); });
    const auto notices = linesWith("notifications/cancelled");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(parseJSON(notices[0]),
              parseJSON(R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":"sent"}})"));
    EXPECT_EQ(client_->pendingRequestCount(), 0u);
    await(client_->disconnect());
    EXPECT_EQ(linesWith("notifications/cancelled").size(), 1u);
}

TEST_F(ClientBatchAndCancellation, ABatchGoesOutAsOneArrayAndEachAnswerFindsItsRequest) {
    connectScripted();
    script_->results.clear();
    std::vector<RequestContext<Empty>> pings;
    std::vector<RequestContext<ListTools::Result>> lists;
    await(client_->withBatch([&](Client::Batch& batch) -> asio::awaitable<void> {
        auto first = makeRequest<Ping>(ID("p"));
        pings.push_back(co_await batch.addRequest(std::move(first)));
        auto second = makeRequest<ListTools>(ID("t"), {});
        lists.push_back(co_await batch.addRequest(std::move(second)));
        auto third = makeRequest<Ping>(ID("e"));
        pings.push_back(co_await batch.addRequest(std::move(third)));
    }));

    const auto sent = sentAfterHandshake();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], parseJSON(R"([{"jsonrpc":"2.0","id":"p","method":"ping","params":{}},)"
                                 R"({"jsonrpc":"2.0","id":"t","method":"tools/list","params":{}},)"
                                 R"({"jsonrpc":"2.0","id":"e","method":"ping","params":{}}])"));
    EXPECT_TRUE(logged("debug Sending batch request"));

    script_->deliver(R"([{"jsonrpc":"2.0","id":"e","error":{"code":-32603,"message":"Internal error"}},)"
                     R"({"jsonrpc":"2.0","id":"t","result":{"tools":[{"name":"look","inputSchema":{"type":"object"}}]}},)"
                     R"({"jsonrpc":"2.0","id":"p","result":{}}])");
    EXPECT_EQ(await(pings[0].value()), Empty{});
    EXPECT_EQ(await(lists[0].value()).tools.at(0).name, "look");
    EXPECT_THROW(await(pings[1].value()), MCPError);
    EXPECT_EQ(client_->pendingRequestCount(), 0u);
}

TEST_F(ClientBatchAndCancellation, AnEmptyBatchSendsNothing) {
    connectScripted();
    await(client_->withBatch([](Client::Batch&) -> asio::awaitable<void> { co_return; }));
    EXPECT_TRUE(sentAfterHandshake().empty());
    EXPECT_TRUE(logged("debug Batch requested but no requests were added."));
}

TEST_F(ClientBatchAndCancellation, WithoutAConnectionTheBodyIsNotCalled) {
    makeClient();
    bool called = false;
    const auto batching = start(client_->withBatch([&](Client::Batch&) -> asio::awaitable<void> {
        called = true;
        co_return;
    }));
    runUntil([&] { return batching->done; });
    EXPECT_EQ(errorText(*batching), "Internal error: Client connection not initialized");
    EXPECT_FALSE(called);
}

TEST_F(ClientBatchAndCancellation, ABatchThatIsNotSentFailsItsRequests) {
    connectScripted();
    std::vector<RequestContext<Empty>> pings;
    const auto batching = start(client_->withBatch([&](Client::Batch& batch) -> asio::awaitable<void> {
        auto request = makeRequest<Ping>(ID("never sent"));
        pings.push_back(co_await batch.addRequest(std::move(request)));
        throw std::runtime_error("changed my mind");
    }));
    runUntil([&] { return batching->done; });
    EXPECT_EQ(errorText(*batching), "changed my mind");
    EXPECT_TRUE(sentAfterHandshake().empty());
    ASSERT_EQ(pings.size(), 1u);
    EXPECT_THROW(await(pings[0].value()), std::runtime_error);
    EXPECT_EQ(client_->pendingRequestCount(), 0u);
}

TEST_F(ClientBatchAndCancellation, TenThousandBatchesAnsweredAtOnceNeverHang) {
    // The scripted server answers inside the very send that carries the batch.
    connectScripted();
    constexpr int kBatches = 10'000;
    int answered = 0;
    for (int i = 0; i < kBatches; ++i) {
        start([](std::shared_ptr<Client> client, int& count) -> asio::awaitable<void> {
            std::vector<RequestContext<Empty>> pings;
            auto batching = client->withBatch([&pings](Client::Batch& batch) -> asio::awaitable<void> {
                for (int request = 0; request < 2; ++request) {
                    auto ping = makeRequest<Ping>(ID::random());
                    pings.push_back(co_await batch.addRequest(std::move(ping)));
                }
            });
            co_await std::move(batching);
            for (const auto& ping : pings) co_await ping.value();
            ++count;
        }(client_, answered));
    }
    runUntil([&] { return answered == kBatches; }, std::chrono::seconds(240));
    EXPECT_EQ(client_->pendingRequestCount(), 0u);
}

}  // namespace
}  // namespace mcp
