#include "mcp/http/client/http_client_transport.hpp"

#include "net/error.hpp"
#include "tests/mcp/http/client/transport_fixture.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include <boost/json.hpp>

#include <algorithm>
#include <map>
#include <set>
#include <atomic>
#include <mutex>

namespace mcp {
namespace {

using test_support::ChunkFeed;
using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;

constexpr std::string_view kInitialize = R"({"jsonrpc":"2.0","id":1,"method":"initialize"})";
constexpr std::string_view kAnswer = R"({"jsonrpc":"2.0","id":1,"result":{}})";

Reply eventStream(std::shared_ptr<ChunkFeed> feed, std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("Content-Type", "text/event-stream");
    return Reply{.headers = std::move(headers), .feed = std::move(feed)};
}

Reply events(std::vector<std::string> chunks, std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("Content-Type", "text/event-stream");
    return Reply{.headers = std::move(headers), .chunks = std::move(chunks)};
}

// The GETs a server received, in order.
std::vector<RecordedRequest> gets(const ScriptedHTTPServer& server) {
    auto requests = server.requests();
    std::erase_if(requests, [](const RecordedRequest& request) { return request.method != "GET"; });
    return requests;
}

class HTTPClientTransportStreamsTest : public testing::HTTPClientTransportFixture {
protected:
    // Ends the transport and everything it holds, so the server can stop.
    void finish(HTTPClientTransport& transport) { await(transport.disconnect()); }
};

TEST_F(HTTPClientTransportStreamsTest, AnEventStreamAnswerPassesOnTheDataOfEachEvent) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.method == "GET") return Reply{.status = 405};
        return events({"event: message\ndata: {\"jsonrpc\":\"2.0\",\"method\":\"notifications/progress\"}\n\n",
                       ": comment\nid: 7\nevent: ping\n", "data: {\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{}}\n\n",
                       "id: 8\n\n"});
    });
    auto transport = makeTransport(server, 0);
    await(transport->send(std::string(kInitialize)));
    auto incoming = transport->receive();
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"jsonrpc":"2.0","method":"notifications/progress"})");
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"jsonrpc":"2.0","id":1,"result":{}})");
    finish(*transport);
    EXPECT_EQ(await(incoming->next()), std::nullopt) << "an event without data passes nothing on";
}

// A server that sends faster than the client takes once filled the memory: the reader stops
// while the consumer's backlog is full, and nothing is lost.
TEST_F(HTTPClientTransportStreamsTest, AFloodOfEventsWaitsForTheConsumer) {
    const std::size_t sent = kIncomingMessageCapacity * 3;
    std::string flood;
    for (std::size_t i = 0; i < sent; ++i) flood += "data: {\"n\":" + std::to_string(i) + "}\n\n";
    std::atomic<int> served = 0;
    ScriptedHTTPServer server([&](const RecordedRequest&) {
        if (served++ == 0) return events({flood});
        return eventStream(std::make_shared<ChunkFeed>());
    });
    auto transport = makeTransport(server, 0);
    auto incoming = transport->receive();
    pollUntil([&] { return incoming->size() >= kIncomingMessageCapacity; });
    EXPECT_EQ(incoming->size(), kIncomingMessageCapacity);
    for (std::size_t i = 0; i < sent; ++i) {
        EXPECT_EQ(testing::textOf(await(incoming->next())), "{\"n\":" + std::to_string(i) + "}");
    }
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, TheFirstGetFollowsTheSessionIDAndCarriesIt) {
    const auto standing = std::make_shared<ChunkFeed>();
    ScriptedHTTPServer server([standing](const RecordedRequest& request) {
        if (request.method == "GET") return eventStream(standing);
        return Reply{.headers = {{"Content-Type", "application/json"}, {"MCP-Session-Id", "s-1"}}, .body = std::string(kAnswer)};
    });
    auto transport = makeTransport(server);
    await(transport->send(std::string(kInitialize)));
    const auto answeredAt = std::chrono::steady_clock::now();
    pollUntil([&] { return gets(server).size() == 1; });

    const auto get = gets(server).at(0);
    EXPECT_LT(get.receivedAt - answeredAt, std::chrono::milliseconds(200));
    EXPECT_EQ(get.header("MCP-Session-Id"), "s-1");
    EXPECT_EQ(get.header("Accept"), "text/event-stream");
    EXPECT_EQ(get.header("Cache-Control"), "no-cache");
    EXPECT_EQ(get.header("Last-Event-ID"), std::nullopt);

    standing->push("data: {\"jsonrpc\":\"2.0\",\"method\":\"notifications/message\"}\n\n");
    auto incoming = transport->receive();
    EXPECT_EQ(testing::textOf(await(incoming->next())), kAnswer) << "the initialize answer";
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"jsonrpc":"2.0","method":"notifications/message"})");
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, WithoutASessionTheFirstGetWaitsForTheInitializationTimeout) {
    const auto standing = std::make_shared<ChunkFeed>();
    ScriptedHTTPServer server([standing](const RecordedRequest&) { return eventStream(standing); });
    const auto connectedAt = std::chrono::steady_clock::now();
    auto transport = makeTransport(server, 0.3);
    pollUntil([&] { return gets(server).size() == 1; });

    const auto get = gets(server).at(0);
    EXPECT_GE(get.receivedAt - connectedAt, std::chrono::milliseconds(300));
    EXPECT_EQ(get.header("MCP-Session-Id"), std::nullopt);
    EXPECT_TRUE(logged("⏱️ Timeout waiting for session ID (0.3s). SSE stream will proceed anyway."));
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, AReconnectWaitsTheAnnouncedRetryAndResumesFromTheLastEventID) {
    std::atomic<int> served = 0;
    ScriptedHTTPServer server([&](const RecordedRequest&) {
        if (served++ == 0) return events({"retry: 200\nid: 41\ndata: {\"n\":1}\n\n", "id: 42\ndata: {\"n\":2}\n\n"});
        return eventStream(std::make_shared<ChunkFeed>());
    });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return gets(server).size() == 2; });

    const auto requests = gets(server);
    EXPECT_EQ(requests[0].header("Last-Event-ID"), std::nullopt);
    EXPECT_EQ(requests[1].header("Last-Event-ID"), "42");
    EXPECT_GE(requests[1].receivedAt - requests[0].receivedAt, std::chrono::milliseconds(200));
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, ALoneRetryBlockSetsTheWaitBeforeTheNextGet) {
    std::atomic<int> served = 0;
    ScriptedHTTPServer server([&](const RecordedRequest&) {
        if (served++ == 0) return events({"retry: 200\n\n"});
        return eventStream(std::make_shared<ChunkFeed>());
    });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return gets(server).size() == 2; });
    EXPECT_TRUE(logged("SSE retry interval updated"));
    const auto requests = gets(server);
    EXPECT_GE(requests[1].receivedAt - requests[0].receivedAt, std::chrono::milliseconds(200));
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, AnAbsurdRetryIsHeldToTheFloor) {
    std::atomic<int> served = 0;
    ScriptedHTTPServer server([&](const RecordedRequest&) {
        if (served++ == 0) return events({"retry: 1\nid: 1\ndata: {}\n\n"});
        return eventStream(std::make_shared<ChunkFeed>());
    });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return gets(server).size() == 2; });
    const auto requests = gets(server);
    EXPECT_GE(requests[1].receivedAt - requests[0].receivedAt, std::chrono::milliseconds(100));
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, AGetAnsweredWithAnErrorIsTriedAgainAfterEveryPause) {
    std::atomic<int> served = 0;
    ScriptedHTTPServer server([&](const RecordedRequest&) {
        // The first stream shortens the pause and ends; every later GET fails.
        if (served++ == 0) return events({"retry: 100\nid: 1\n\n"});
        return Reply{.status = 500};
    });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return logged("❌ SSE connection error (attempt #4): Internal error: HTTP error: 500"); });
    finish(*transport);

    std::vector<std::string> errors;
    for (const auto& line : log_.lines()) {
        if (line.starts_with("error ")) errors.push_back(line);
    }
    errors.resize(3);
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "error ❌ SSE connection error (attempt #2): Internal error: HTTP error: 500",
                          "error ❌ SSE connection error (attempt #3): Internal error: HTTP error: 500",
                          "error ❌ SSE connection error (attempt #4): Internal error: HTTP error: 500",
                      }));
    EXPECT_EQ(gets(server).at(3).header("Last-Event-ID"), "1");
}

// The pause between two GETs is 3000 ms until the server announces another; disconnect() cuts
// it short and the loop ends at once.
TEST_F(HTTPClientTransportStreamsTest, DisconnectDuringThePauseEndsTheLoop) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.status = 500}; });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return logged("⏳ Waiting before SSE reconnection"); });
    await(transport->disconnect());
    runUntil([&] { return logged("⏹️ SSE retry loop exited"); });

    const auto lines = log_.lines();
    const auto pause = std::find(lines.begin(), lines.end(), "debug ⏳ Waiting before SSE reconnection retryMs=3000");
    ASSERT_NE(pause, lines.end());
    EXPECT_EQ(std::vector<std::string>(pause, lines.end()),
              (std::vector<std::string>{
                  "debug ⏳ Waiting before SSE reconnection retryMs=3000",
                  "debug HTTP clienttransport disconnected",
                  "debug ⏹️ SSE task cancelled",
                  "debug 🔄 End of retry loop iteration isCancelled=true isConnected=false willContinue=false",
                  "debug ⏹️ SSE retry loop exited isCancelled=true isConnected=false totalAttempts=2",
              }));
    EXPECT_EQ(gets(server).size(), 1u);
}

TEST_F(HTTPClientTransportStreamsTest, AGetAnswered405IsNotRepeated) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.status = 405}; });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return logged("⏹️ SSE retry loop exited"); });
    EXPECT_EQ(gets(server).size(), 1u);
    EXPECT_TRUE(logged("⏹️ SSE task cancelled"));
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, APostStreamKeepsItsEventIDsAndLeavesTheStandingStreamAlone) {
    const auto standing = std::make_shared<ChunkFeed>();
    std::atomic<int> gotten = 0;
    ScriptedHTTPServer server([&](const RecordedRequest& request) {
        if (request.method == "GET") {
            if (gotten++ == 0) return eventStream(standing, {{"MCP-Session-Id", "s-1"}});
            return eventStream(std::make_shared<ChunkFeed>());
        }
        if (request.body == "empty") return events({": nothing\n\n"});
        return events({"id: post-9\ndata: " + std::string(kAnswer) + "\n\n"});
    });
    auto transport = makeTransport(server, 0);
    pollUntil([&] { return gets(server).size() == 1; });
    await(transport->send(std::string(kInitialize)));
    await(transport->send("empty"));

    standing->push("retry: 100\ndata: {\"from\":\"standing\"}\n\n");
    auto incoming = transport->receive();
    EXPECT_EQ(testing::textOf(await(incoming->next())), kAnswer);
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"from":"standing"})") << "the standing stream still delivers";
    standing->finish();
    pollUntil([&] { return gets(server).size() == 2; });
    EXPECT_EQ(gets(server).at(1).header("Last-Event-ID"), std::nullopt) << "a POST stream's id is not resumed by GET";
    EXPECT_EQ(gets(server).at(1).header("MCP-Session-Id"), "s-1") << "the GET answer's session id is kept";
    finish(*transport);
}

// Every call's answer stream waits for the client's answer to a request the server sent on it:
// with more such calls open than the client keeps connections to the server, the answers must
// still get through, or every call waits on the others for good.
TEST_F(HTTPClientTransportStreamsTest, AnswersToTheServerPassWhileEveryConnectionHoldsAStream) {
    const int calls = static_cast<int>(net::HTTPClientOptions{}.maxConnectionsPerHost) + 2;
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<ChunkFeed>> waitingCalls;
    ScriptedHTTPServer server([&](const RecordedRequest& request) {
        if (request.method == "GET") return Reply{.status = 405};
        const auto message = boost::json::parse(request.body).as_object();
        const auto id = boost::json::serialize(message.at("id"));
        std::lock_guard lock(mutex);
        if (message.contains("method")) {
            auto feed = std::make_shared<ChunkFeed>();
            waitingCalls[id] = feed;
            feed->push("data: {\"jsonrpc\":\"2.0\",\"id\":\"ask-" + id + "\",\"method\":\"ping\"}\n\n");
            return eventStream(feed);
        }
        const auto callID = std::string(message.at("id").as_string()).substr(4);
        const auto feed = waitingCalls.at(callID);
        feed->push("data: {\"jsonrpc\":\"2.0\",\"id\":" + callID + ",\"result\":{}}\n\n");
        feed->finish();
        return Reply{.status = 202};
    });
    auto transport = makeTransport(server, 0);
    auto incoming = transport->receive();
    std::vector<std::shared_ptr<Outcome<void>>> sends;
    for (int id = 1; id <= calls; ++id) {
        sends.push_back(start(transport->send(R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
                                              R"(,"method":"tools/call"})")));
    }
    std::set<std::string> answered;
    while (answered.size() < static_cast<std::size_t>(calls)) {
        const auto message = boost::json::parse(testing::textOf(await(incoming->next())).value()).as_object();
        if (message.contains("method")) {
            sends.push_back(start(transport->send(R"({"jsonrpc":"2.0","id":)" + boost::json::serialize(message.at("id")) +
                                                  R"(,"result":{}})")));
        } else {
            answered.insert(boost::json::serialize(message.at("id")));
        }
    }
    runUntil([&] { return std::all_of(sends.begin(), sends.end(), [](const auto& send) { return send->done; }); });
    for (const auto& send : sends) EXPECT_FALSE(send->error);
    finish(*transport);
}

TEST_F(HTTPClientTransportStreamsTest, DisconnectEndsASendReadingItsEventStream) {
    const auto answer = std::make_shared<ChunkFeed>();
    ScriptedHTTPServer server([&](const RecordedRequest& request) {
        if (request.method == "GET") return Reply{.status = 405};
        return eventStream(answer);
    });
    auto transport = makeTransport(server, 0);
    auto sending = start(transport->send(std::string(kInitialize)));
    answer->push("data: {\"progress\":1}\n\n");
    auto incoming = transport->receive();
    EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"progress":1})");

    await(transport->disconnect());
    runUntil([&] { return sending->done; });
    try {
        std::rethrow_exception(sending->error);
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), net::Error::cancelled);
    }
    EXPECT_EQ(await(incoming->next()), std::nullopt);
}

}  // namespace
}  // namespace mcp
