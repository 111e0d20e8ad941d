#include "eventsource/event_stream.hpp"

#include "net/error.hpp"
#include "tests/eventsource/event_source_harness.hpp"
#include "tests/eventsource/scripted_connector.hpp"

#include <gtest/gtest.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/strand.hpp>

#include <chrono>
#include <exception>
#include <string>
#include <vector>

namespace eventsource {
namespace {

namespace asio = boost::asio;
using testing::Answer;
using testing::ScriptedConnector;
using namespace std::chrono_literals;

// A handler that opens every connection through a scripted connector and records what the
// stream tells it. It asks for `connections` connections in all, and waits 1 ms between them
// (or `wait`), whatever the stream announced.
class Recorder final : public EventStream::Handler {
public:
    Recorder(std::deque<Answer> script, std::size_t connections) : connector(std::move(script)), wanted(connections) {}

    asio::awaitable<std::unique_ptr<StreamResponse>> open(const std::string& lastEventID) override {
        lastEventIDs.push_back(lastEventID);
        const Request request;
        co_return co_await connector.open(request);
    }
    asio::awaitable<bool> event(Event& event) override {
        events.push_back(event.data);
        co_return true;
    }
    asio::awaitable<bool> refused(const SizeLimitError& error) override {
        events.push_back(error.what());
        co_return true;
    }
    asio::awaitable<bool> ended(std::exception_ptr failure) override {
        endings.push_back(testing::describe(failure));
        co_return endings.size() < wanted;
    }
    std::chrono::milliseconds reconnectionTime(std::chrono::milliseconds announced) override {
        announcedTimes.push_back(announced);
        return wait;
    }

    ScriptedConnector connector;
    std::size_t wanted;
    std::chrono::milliseconds wait = 1ms;
    std::vector<std::string> lastEventIDs, events, endings;
    std::vector<std::chrono::milliseconds> announcedTimes;
};

class EventStreamTest : public ::testing::Test {
protected:
    // Runs `stream` on the strand; the outcome is "none" or what run() threw.
    void start(EventStream& stream) {
        asio::co_spawn(strand_, stream.run(),
                       [this](std::exception_ptr error) { outcome_ = testing::describe(error); });
    }

    void runUntil(const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (!done()) {
            ASSERT_LT(std::chrono::steady_clock::now(), until) << "deadline passed";
            if (io_.stopped()) io_.restart();
            io_.run_one_for(10ms);
        }
    }

    asio::io_context io_;
    asio::strand<asio::io_context::executor_type> strand_ = asio::make_strand(io_);
    std::optional<std::string> outcome_;
};

// The second connection starts from the first one's last id and a fresh block: the block that
// broke off with the first connection never reaches an event.
TEST_F(EventStreamTest, ReconnectsFromTheLastEventIDAfterTheAnnouncedRetry) {
    Recorder handler({Answer{.chunks = {"retry: 500\nid: 7\ndata: a\n\nid: 8\ndata: hal"}, .end = Answer::End::fails},
                      Answer{.chunks = {"data: b\n\n"}}},
                     2);
    EventStream stream(strand_, handler, {});
    start(stream);
    runUntil([&] { return outcome_.has_value(); });

    EXPECT_EQ(*outcome_, "none");
    EXPECT_EQ(handler.lastEventIDs, (std::vector<std::string>{"", "8"}));
    EXPECT_EQ(handler.events, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(handler.announcedTimes, std::vector<std::chrono::milliseconds>{500ms});
    EXPECT_EQ(handler.endings,
              (std::vector<std::string>{boost::system::system_error(asio::error::connection_reset).what(), "none"}));
    EXPECT_EQ(stream.connections(), 2u);
}

TEST_F(EventStreamTest, GivesUpAtTheBoundOnConnections) {
    Recorder handler({Answer{}, Answer{}, Answer{}, Answer{}}, 10);
    EventStream stream(strand_, handler, {.maxConnections = 3});
    start(stream);
    runUntil([&] { return outcome_.has_value(); });

    EXPECT_EQ(*outcome_, "Event stream given up after 3 connections");
    EXPECT_EQ(handler.connector.requests.size(), 3u);
    EXPECT_EQ(handler.endings.size(), 3u);
}

TEST_F(EventStreamTest, StopEndsTheWaitForTheNextConnection) {
    Recorder handler({Answer{}, Answer{}}, 10);
    handler.wait = 1h;
    EventStream stream(strand_, handler, {});
    start(stream);
    runUntil([&] { return !handler.announcedTimes.empty(); });
    asio::post(strand_, [&] { stream.stop(); });
    runUntil([&] { return outcome_.has_value(); });

    EXPECT_EQ(*outcome_, boost::system::system_error(net::Error::cancelled).what());
    EXPECT_EQ(handler.connector.requests.size(), 1u);
    EXPECT_EQ(handler.announcedTimes, std::vector<std::chrono::milliseconds>{3000ms}) << "the default";
}

}  // namespace
}  // namespace eventsource
