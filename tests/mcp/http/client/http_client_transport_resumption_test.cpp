#include "mcp/http/client/http_client_transport.hpp"

#include "net/error.hpp"
#include "tests/mcp/http/client/transport_fixture.hpp"
#include "tests/mcp/transport/message_text.hpp"

#include <algorithm>

namespace mcp {
namespace {

using test_support::ChunkFeed;
using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;

constexpr std::string_view kCall = R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})";
constexpr std::string_view kAnswer = R"({"jsonrpc":"2.0","id":1,"result":{}})";

// The first event of a POST's stream: an id to resume from and the wait before resuming.
std::string priming(int retryMs) { return "id: e-1\nretry: " + std::to_string(retryMs) + "\ndata: \n\n"; }

Reply events(std::vector<std::string> chunks) {
    return Reply{.headers = {{"Content-Type", "text/event-stream"}, {"MCP-Session-Id", "s-1"}}, .chunks = std::move(chunks)};
}

Reply eventStream(std::shared_ptr<ChunkFeed> feed) {
    return Reply{.headers = {{"Content-Type", "text/event-stream"}}, .feed = std::move(feed)};
}

// A feed that writes `chunks`, then ends the body or closes the connection mid-stream.
std::shared_ptr<ChunkFeed> feedOf(std::vector<std::string> chunks, bool breakOff) {
    auto feed = std::make_shared<ChunkFeed>();
    for (auto& chunk : chunks) feed->push(std::move(chunk));
    if (breakOff) {
        feed->drop();
    } else {
        feed->finish();
    }
    return feed;
}

bool resumes(const RecordedRequest& request) {
    return request.method == "GET" && request.header("Last-Event-ID").has_value();
}

std::vector<RecordedRequest> resumptions(const ScriptedHTTPServer& server) {
    auto requests = server.requests();
    std::erase_if(requests, [](const RecordedRequest& request) { return !resumes(request); });
    return requests;
}

class HTTPClientTransportResumptionTest : public testing::HTTPClientTransportFixture {
protected:
    // The server's own stream is refused, so that every GET with "Last-Event-ID" is a
    // resumption.
    static Reply refuseStandingStream() { return Reply{.status = 405}; }

    // The standing stream's GET goes out at once, without waiting for a session id.
    std::shared_ptr<HTTPClientTransport> makeTransport(const ScriptedHTTPServer& server) {
        return HTTPClientTransportFixture::makeTransport(server, 0);
    }

};

TEST_F(HTTPClientTransportResumptionTest, AStreamThatStopsBeforeItsAnswerIsResumedAfterRetryFromItsLastEvent) {
    for (const bool breakOff : {false, true}) {
        SCOPED_TRACE(breakOff ? "the connection breaks off" : "the server ends the stream");
        // The resuming GET is held open after the answer, as a server may do.
        const auto resumed = std::make_shared<ChunkFeed>();
        resumed->push("id: e-2\ndata: \n\n");
        resumed->push("id: e-3\nevent: message\ndata: " + std::string(kAnswer) + "\n\n");
        ScriptedHTTPServer server([&](const RecordedRequest& request) {
            if (resumes(request)) return eventStream(resumed);
            if (request.method == "GET") return refuseStandingStream();
            auto reply = events({});
            reply.feed = feedOf({priming(200), "data: {\"method\":\"notifications/progress\"}\n\n"}, breakOff);
            return reply;
        });
        auto transport = makeTransport(server);
        await(transport->send(std::string(kCall)));

        auto incoming = transport->receive();
        EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"method":"notifications/progress"})");
        EXPECT_EQ(testing::textOf(await(incoming->next())), kAnswer);
        const auto requests = server.requests();
        const auto post = std::find_if(requests.begin(), requests.end(), [](auto& r) { return r.method == "POST"; });
        const auto gets = resumptions(server);
        ASSERT_EQ(gets.size(), 1u);
        EXPECT_EQ(gets[0].header("Last-Event-ID"), "e-1");
        EXPECT_EQ(gets[0].header("MCP-Session-Id"), "s-1");
        EXPECT_EQ(gets[0].header("Accept"), "text/event-stream");
        EXPECT_GE(gets[0].receivedAt - post->receivedAt, std::chrono::milliseconds(200)) << "the announced retry";
        await(transport->disconnect());
    }
}

TEST_F(HTTPClientTransportResumptionTest, AResumptionThatCannotBringTheAnswerFailsTheSend) {
    struct Case {
        const char* name;
        Reply resumption;
        std::size_t wantGets;
        const char* want;
    };
    const Case kCases[] = {
        {"refused", Reply{.status = 404}, 1, "HTTP error: 404"},
        {"nothing new, again and again", events({}), 3, "Event stream ended before the response"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        ScriptedHTTPServer server([&](const RecordedRequest& request) {
            if (resumes(request)) return test.resumption;
            if (request.method == "GET") return refuseStandingStream();
            return events({priming(100)});
        });
        auto transport = makeTransport(server);
        EXPECT_EQ(sendFailure(*transport, kCall), test.want);
        EXPECT_EQ(resumptions(server).size(), test.wantGets);
        await(transport->disconnect());
    }
}

TEST_F(HTTPClientTransportResumptionTest, AnAnswerOnTheStandingStreamSparesTheResumption) {
    for (const bool duringTheWait : {false, true}) {
        SCOPED_TRACE(duringTheWait ? "the answer comes during the wait" : "the answer comes before the stream ends");
        const auto standing = std::make_shared<ChunkFeed>();
        const auto answer = std::make_shared<ChunkFeed>();
        ScriptedHTTPServer server([&](const RecordedRequest& request) {
            if (resumes(request)) return eventStream(std::make_shared<ChunkFeed>());
            if (request.method == "GET") return eventStream(standing);
            auto reply = events({});
            reply.feed = answer;
            return reply;
        });
        auto transport = makeTransport(server);
        pollUntil([&] { return server.requests().size() == 1; });
        auto sending = start(transport->send(std::string(kCall)));
        answer->push(priming(300));
        answer->push("data: {\"method\":\"notifications/progress\"}\n\n");
        auto incoming = transport->receive();
        EXPECT_EQ(testing::textOf(await(incoming->next())), R"({"method":"notifications/progress"})") << "the POST stream is read";
        if (duringTheWait) {
            answer->finish();
            pollUntil([&] { return logged("⏳ Waiting before resuming POST SSE stream"); });
        }
        standing->push("data: " + std::string(kAnswer) + "\n\n");
        EXPECT_EQ(testing::textOf(await(incoming->next())), kAnswer);
        answer->finish();

        runUntil([&] { return sending->done; });
        EXPECT_FALSE(sending->error);
        EXPECT_TRUE(resumptions(server).empty());
        await(transport->disconnect());
    }
}

TEST_F(HTTPClientTransportResumptionTest, AStreamWithoutEventIDsIsNotResumedAndFailsTheSend) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.method == "GET") return refuseStandingStream();
        return events({"retry: 100\ndata: {\"jsonrpc\":\"2.0\",\"method\":\"notifications/progress\"}\n\n"});
    });
    auto transport = makeTransport(server);
    EXPECT_EQ(sendFailure(*transport, kCall),
              "No response to request 1: the event stream ended without it, with no event ID to resume from");
    EXPECT_TRUE(resumptions(server).empty());
    await(transport->disconnect());
}

TEST_F(HTTPClientTransportResumptionTest, DisconnectCutsTheWaitBeforeResumingShort) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.method == "GET") return refuseStandingStream();
        return events({priming(60000)});
    });
    auto transport = makeTransport(server);
    auto sending = start(transport->send(std::string(kCall)));
    pollUntil([&] { return logged("⏳ Waiting before resuming POST SSE stream"); });

    await(transport->disconnect());
    runUntil([&] { return sending->done; }, std::chrono::seconds(5));
    try {
        std::rethrow_exception(sending->error);
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), net::Error::cancelled);
    }
    EXPECT_TRUE(resumptions(server).empty());
}

}  // namespace
}  // namespace mcp
