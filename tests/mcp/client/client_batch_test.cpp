#include "mcp/client/client_batch.hpp"

#include "tests/mcp/client/client_fixture.hpp"

#include "mcp/transport/cancellation_error.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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
