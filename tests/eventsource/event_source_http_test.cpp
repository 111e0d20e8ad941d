// The event-source client against a scripted HTTP server on 127.0.0.1, through the project's
// HTTP client.
#include "eventsource/event_source.hpp"

#include "eventsource/net_stream_connector.hpp"
#include "tests/eventsource/event_printer.hpp"
#include "tests/eventsource/event_source_harness.hpp"
#include "tests/support/http/scripted_http_server.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace eventsource {
namespace {

namespace asio = boost::asio;
using test_support::ChunkFeed;
using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;
using namespace std::chrono_literals;

// Answers the n-th request with the n-th reply; later requests get the last one.
ScriptedHTTPServer::Script inTurn(std::vector<Reply> replies) {
    auto next = std::make_shared<std::atomic<std::size_t>>(0);
    return [replies = std::move(replies), next](const RecordedRequest&) {
        return replies[std::min(next->fetch_add(1), replies.size() - 1)];
    };
}

Reply eventStream(std::string body) {
    return Reply{.headers = {{"Content-Type", "text/event-stream"}}, .body = std::move(body)};
}

Reply openEventStream(std::shared_ptr<ChunkFeed> feed, std::string contentType = "text/event-stream") {
    return Reply{.headers = {{"Content-Type", std::move(contentType)}}, .feed = std::move(feed)};
}

class Client : public testing::EventSourceHarness<NetStreamConnector> {
public:
    explicit Client(const ScriptedHTTPServer& server)
        : EventSourceHarness(boost::urls::url(server.url("/events")), [](asio::any_io_executor executor) {
              return std::make_shared<NetStreamConnector>(net::HTTPClient::make(executor));
          }) {}
};

TEST(EventSourceOverHTTP, RefusedAnswersEndTheClientAfterOneRequest) {
    const struct {
        std::string_view name;
        Reply reply;
        std::string_view error;
    } kCases[] = {
        {"no content", Reply{.status = 204}, "Invalid HTTP response status code: 204"},
        {"plain text", Reply{.headers = {{"Content-Type", "text/plain"}}, .body = "data: x\n\n"},
         "Invalid Content-Type for SSE: text/plain"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ScriptedHTTPServer server(inTurn({c.reply}));
        Client client(server);
        client.runUntil([&] { return !client.errors.empty(); });
        EXPECT_EQ(client.readyState(), ReadyState::closed);
        client.runUntilTheRunEnds();
        EXPECT_EQ(client.errors, std::vector<std::string>{std::string(c.error)});
        EXPECT_TRUE(client.events.empty());
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

TEST(EventSourceOverHTTP, AcceptsAnEventStreamTypeInCapitalsWithACharset) {
    auto feed = std::make_shared<ChunkFeed>();
    ScriptedHTTPServer server(inTurn({openEventStream(feed, "TEXT/EVENT-STREAM; charset=utf-8")}));
    Client client(server);
    feed->push("data: hello\n\n");
    client.runUntil([&] { return !client.events.empty(); });
    EXPECT_EQ(client.events, std::vector<Event>{Event{.data = "hello"}});
    EXPECT_EQ(client.opens, 1);
    EXPECT_EQ(client.readyState(), ReadyState::open);
    const auto request = server.requests().at(0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/events");
    EXPECT_EQ(request.header("Accept"), "text/event-stream");
    EXPECT_EQ(request.header("Cache-Control"), "no-cache");
    EXPECT_EQ(request.header("Last-Event-ID"), std::nullopt);
    // The stream stays open: close() must end the read that waits for the server.
    client.close();
    client.runUntilTheRunEnds();
    EXPECT_TRUE(client.errors.empty());
}

TEST(EventSourceOverHTTP, ReconnectsAfterRetryWithTheLastEventID) {
    auto feed = std::make_shared<ChunkFeed>();
    ScriptedHTTPServer server(inTurn({eventStream("id: 7\nretry: 100\ndata: a\n\n"), openEventStream(feed)}));
    Client client(server);
    client.runUntil([&] { return server.requests().size() == 2; });
    feed->push("data: b\n\n");
    client.runUntil([&] { return client.events.size() == 2; });
    const auto requests = server.requests();
    EXPECT_EQ(requests[0].header("Last-Event-ID"), std::nullopt);
    EXPECT_EQ(requests[1].header("Last-Event-ID"), "7");
    EXPECT_GE(requests[1].receivedAt - requests[0].receivedAt, 100ms);
    EXPECT_EQ(client.errors, std::vector<std::string>{"none"}) << "the first body ended without a failure";
    EXPECT_EQ(client.events, (std::vector<Event>{{.id = "7", .data = "a", .retry = 100}, {.data = "b"}}));
    client.close();
    client.runUntilTheRunEnds();
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST(EventSourceOverHTTP, CloseDuringTheReconnectionWaitSendsNothingMore) {
    const struct {
        std::string_view name, body;
    } kCases[] = {
        {"default wait", "data: a\n\n"},
        {"largest retry", "retry: 9223372036854775807\ndata: a\n\n"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ScriptedHTTPServer server(inTurn({eventStream(std::string(c.body))}));
        Client client(server);
        client.runUntil([&] { return !client.errors.empty(); });
        client.close();
        client.runUntilTheRunEnds();
        EXPECT_EQ(client.errors, std::vector<std::string>{"none"});
        EXPECT_EQ(client.events.size(), 1u);
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

}  // namespace
}  // namespace eventsource
