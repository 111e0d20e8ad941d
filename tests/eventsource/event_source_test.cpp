#include "eventsource/event_source.hpp"

#include "tests/eventsource/event_printer.hpp"
#include "tests/eventsource/event_source_harness.hpp"
#include "tests/eventsource/scripted_connector.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace eventsource {
namespace {

namespace asio = boost::asio;
using testing::Answer;
using testing::ScriptedConnector;
using namespace std::chrono_literals;

// The client over a scripted connector.
class Harness : public testing::EventSourceHarness<ScriptedConnector> {
public:
    explicit Harness(std::deque<Answer> script, Parser::Limits limits = {})
        : EventSourceHarness(
              boost::urls::url("http://127.0.0.1:9/events"),
              [&script](asio::any_io_executor) { return std::make_shared<ScriptedConnector>(std::move(script)); },
              limits) {}
};

TEST(EventSource, RefusesAnswersThatAreNotEventStreamsForGood) {
    const struct {
        std::string_view name;
        Answer answer;
        std::string_view error;
    } kCases[] = {
        {"no content", Answer{.status = 204}, "Invalid HTTP response status code: 204"},
        {"server error", Answer{.status = 500}, "Invalid HTTP response status code: 500"},
        {"plain text", Answer{.headers = {{"Content-Type", "text/plain"}}}, "Invalid Content-Type for SSE: text/plain"},
        {"no content type", Answer{.headers = {}}, "Missing Content-Type header in SSE response"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness harness({c.answer});
        harness.runUntil([&] { return !harness.errors.empty(); });
        EXPECT_EQ(harness.readyState(), ReadyState::closed);
        harness.runUntilTheRunEnds();
        EXPECT_EQ(harness.errors, std::vector<std::string>{std::string(c.error)});
        EXPECT_EQ(harness.opens, 0);
        EXPECT_EQ(harness.connector->requests.size(), 1u) << "no reconnection after a refused answer";
    }
}

TEST(EventSource, AcceptsTheMediaTypeInAnyCaseWithParameters) {
    Harness harness({Answer{.headers = {{"content-type", "TEXT/EVENT-STREAM; charset=utf-8"}},
                            .chunks = {"data: hello\n\n"},
                            .end = Answer::End::hangs}});
    harness.runUntil([&] { return !harness.events.empty(); });
    EXPECT_EQ(harness.opens, 1);
    EXPECT_EQ(harness.readyState(), ReadyState::open);
    EXPECT_EQ(harness.events, std::vector<Event>{Event{.data = "hello"}});
    const auto& headers = harness.connector->requests.at(0).request.headers;
    EXPECT_EQ(headers["Accept"], "text/event-stream");
    EXPECT_EQ(headers["Cache-Control"], "no-cache");
    harness.close();
    harness.runUntilTheRunEnds();
    EXPECT_TRUE(harness.errors.empty()) << "close() reports nothing";
}

TEST(EventSource, ReconnectsAfterTheServerHonouringRetryAndSendingTheLastEventID) {
    Harness harness({
        Answer{.chunks = {"id: 1\nretry: 150\ndata: a\n\n"}, .end = Answer::End::fails},
        Answer{.chunks = {"id: 2\ndata: b\n\n"}},
        Answer{.end = Answer::End::hangs},
    });
    harness.runUntil([&] { return harness.connector->requests.size() == 3; });
    const auto& requests = harness.connector->requests;
    EXPECT_EQ(requests[0].request.headers.count("Last-Event-ID"), 0u) << "no id seen before the first request";
    EXPECT_EQ(requests[1].request.headers["Last-Event-ID"], "1");
    EXPECT_EQ(requests[2].request.headers["Last-Event-ID"], "2");
    EXPECT_GE(requests[1].at - requests[0].at, 150ms);
    EXPECT_GE(requests[2].at - requests[1].at, 150ms);
    EXPECT_EQ(harness.errors, (std::vector<std::string>{
                                  boost::system::system_error(asio::error::connection_reset).what(), "none"}));
    EXPECT_EQ(harness.events, (std::vector<Event>{{.id = "1", .data = "a", .retry = 150}, {.id = "2", .data = "b"}}));
    harness.close();
    harness.runUntilTheRunEnds();
}

// A connection that broke off in the middle of a block once left that block in the parser, and
// the next connection's first line was glued to it.
TEST(EventSource, ReconnectsAfterServerClosesMidEvent) {
    Harness harness({
        Answer{.chunks = {"retry: 100\nid: 1\ndata: a\n\nid: 2\ndata: par"}, .end = Answer::End::fails},
        Answer{.chunks = {"data: b\n\n"}, .end = Answer::End::hangs},
    });
    harness.runUntil([&] { return harness.events.size() == 2; });
    EXPECT_EQ(harness.events, (std::vector<Event>{{.id = "1", .data = "a", .retry = 100}, {.data = "b"}}));
    EXPECT_EQ(harness.connector->requests.at(1).request.headers["Last-Event-ID"], "2")
        << "the id line of the broken block was read";
    harness.close();
    harness.runUntilTheRunEnds();
}

TEST(EventSource, DeliversTheUnterminatedLastBlockUpToTheFinalizationLimit) {
    const struct {
        std::string_view name;
        std::int64_t limit;
        std::vector<Event> events;
    } kCases[] = {
        {"default limit", EventSource::kDefaultMaximumFinalizationEventCount, {{.data = "a"}, {.data = "b"}}},
        {"limit 0", 0, {{.data = "a"}}},
        {"negative limit counts as 0", -3, {{.data = "a"}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness harness({Answer{.chunks = {"data: a\n\nda", "ta: b"}}});
        harness.connector->hold();
        harness.await(harness.source->setMaximumFinalizationEventCount(c.limit));
        harness.connector->release();
        harness.runUntil([&] { return !harness.errors.empty(); });
        EXPECT_EQ(harness.events, c.events);
        EXPECT_EQ(harness.errors, std::vector<std::string>{"none"}) << "a body that ended is reported without error";
        harness.close();
        harness.runUntilTheRunEnds();
    }
}

TEST(EventSource, CloseDuringTheReconnectionWaitSendsNothingMore) {
    const struct {
        std::string_view name, body;
        Event event;
    } kCases[] = {
        {"default wait", "data: a\n\n", {.data = "a"}},
        {"largest retry", "retry: 9223372036854775807\ndata: a\n\n", {.data = "a", .retry = 60'000}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Harness harness({Answer{.chunks = {std::string(c.body)}}, Answer{.chunks = {"data: never\n\n"}}});
        harness.runUntil([&] { return !harness.errors.empty(); });
        harness.close();
        EXPECT_EQ(harness.readyState(), ReadyState::closed);
        harness.runUntilTheRunEnds();
        EXPECT_EQ(harness.connector->requests.size(), 1u);
        EXPECT_EQ(harness.errors, std::vector<std::string>{"none"});
        EXPECT_EQ(harness.events, std::vector<Event>{c.event});
    }
}

TEST(EventSource, CloseWhileABlockIsHalfReadDeliversThatBlockAndNothingAfter) {
    Harness harness({Answer{.chunks = {"data: a\n\ndata: par", "tial\n\ndata: late\n\n"}, .end = Answer::End::hangs}});
    harness.afterMessage = [source = harness.source.get()](const Event& event) -> asio::awaitable<void> {
        if (event.data == "a") co_await source->close();
    };
    harness.runUntil([&] { return harness.events.size() == 2; });
    harness.runUntilTheRunEnds();
    EXPECT_EQ(harness.events, (std::vector<Event>{{.data = "a"}, {.data = "par"}}));
    EXPECT_TRUE(harness.errors.empty());
    EXPECT_EQ(harness.connector->requests.size(), 1u);
}

TEST(EventSource, CloseBetweenEventsOfOneChunkDropsTheRest) {
    Harness harness({Answer{.chunks = {"data: a\n\ndata: b\n\ndata: c"}, .end = Answer::End::hangs}});
    harness.afterMessage = [source = harness.source.get()](const Event& event) -> asio::awaitable<void> {
        if (event.data == "a") co_await source->close();
    };
    harness.runUntil([&] { return !harness.events.empty(); });
    harness.runUntilTheRunEnds();
    EXPECT_EQ(harness.events, std::vector<Event>{Event{.data = "a"}});
    EXPECT_TRUE(harness.errors.empty());
}

TEST(EventSource, OversizedLineIsReportedAndTheStreamGoesOn) {
    Harness harness({Answer{.chunks = {"data: a\n\ndata: this line is far too long\n\n", "data: c\n\n"},
                            .end = Answer::End::hangs}},
                    Parser::Limits{.maxLineBytes = 16});
    harness.runUntil([&] { return harness.events.size() == 2; });
    EXPECT_EQ(harness.events, (std::vector<Event>{{.data = "a"}, {.data = "c"}}));
    EXPECT_EQ(harness.errors,
              std::vector<std::string>{SizeLimitError(SizeLimitError::Kind::line, 16).what()});
    EXPECT_EQ(harness.readyState(), ReadyState::open);
    EXPECT_EQ(harness.connector->requests.size(), 1u) << "a refused line does not end the connection";
    harness.close();
    harness.runUntilTheRunEnds();
}

TEST(EventSource, ReadyStateRawValuesAndTexts) {
    EXPECT_EQ(readyStateFromRawValue(0), ReadyState::connecting);
    EXPECT_EQ(readyStateFromRawValue(1), ReadyState::open);
    EXPECT_EQ(readyStateFromRawValue(2), ReadyState::closed);
    EXPECT_EQ(readyStateFromRawValue(3), std::nullopt);
    EXPECT_EQ(readyStateFromRawValue(-1), std::nullopt);
    EXPECT_EQ(toString(ReadyState::open), "open");
}

}  // namespace
}  // namespace eventsource
