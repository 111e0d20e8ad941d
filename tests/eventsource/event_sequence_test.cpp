#include "eventsource/event_sequence.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace eventsource {
namespace {

namespace asio = boost::asio;

struct BodyFailed : std::runtime_error {
    BodyFailed() : std::runtime_error("connection reset") {}
};

// A body delivered in the given chunks; when `failAfterChunks` is set, the read after that
// many chunks throws BodyFailed instead of ending. Counts the reads it answers.
struct ScriptedBody {
    std::vector<std::string> chunks;
    bool fails = false;
    std::shared_ptr<int> reads = std::make_shared<int>(0);

    struct Iterator {
        const ScriptedBody* body;
        std::size_t next_ = 0;

        asio::awaitable<std::optional<std::string>> next() {
            ++*body->reads;
            if (next_ < body->chunks.size()) co_return body->chunks[next_++];
            if (body->fails) throw BodyFailed();
            co_return std::nullopt;
        }
    };

    Iterator makeAsyncIterator() const { return Iterator{this}; }
};

// Runs `body` to completion on a fresh io_context; the work never waits on I/O, so the run
// ends as soon as the coroutine does.
template <class Body>
auto run(Body body) {
    asio::io_context io;
    auto future = asio::co_spawn(io, std::move(body), asio::use_future);
    io.run_for(std::chrono::seconds(10));
    return future.get();
}

template <class Sequence>
asio::awaitable<std::vector<Event>> collect(Sequence& sequence) {
    auto iterator = sequence.makeAsyncIterator();
    std::vector<Event> out;
    while (auto event = co_await iterator.next()) out.push_back(std::move(*event));
    co_return out;
}

TEST(EventSequence, YieldsTheLastEventOfABodyWithoutAFinalBlankLine) {
    auto sequence = events(ScriptedBody{.chunks = {"data: a\n\nda", "ta: b"}});
    const auto got = run([&]() { return collect(sequence); });
    EXPECT_EQ(got, (std::vector<Event>{{.data = "a"}, {.data = "b"}}));
}

TEST(EventSequence, EmptyBodyYieldsNothingAndKeepsYieldingNothing) {
    ScriptedBody body;
    auto sequence = events(body);
    const auto got = run([&]() -> asio::awaitable<std::vector<std::optional<Event>>> {
        auto iterator = sequence.makeAsyncIterator();
        std::vector<std::optional<Event>> out;
        out.push_back(co_await iterator.next());
        out.push_back(co_await iterator.next());
        co_return out;
    });
    EXPECT_EQ(got, (std::vector<std::optional<Event>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(*body.reads, 1) << "an ended body is not read again";
}

TEST(EventSequence, ReturnsEveryEventOfAChunkBeforeReadingMore) {
    ScriptedBody body{.chunks = {"data: 1\n\ndata: 2\n\ndata: 3\n\n"}};
    auto sequence = events(body);
    const auto reads = run([&]() -> asio::awaitable<std::vector<int>> {
        auto iterator = sequence.makeAsyncIterator();
        std::vector<int> readsBeforeEach;
        while (co_await iterator.next()) readsBeforeEach.push_back(*body.reads);
        co_return readsBeforeEach;
    });
    EXPECT_EQ(reads, (std::vector<int>{1, 1, 1}));
}

TEST(EventSequence, BodyFailureComesAfterTheEventsBeforeItAndPassesUnchanged) {
    auto sequence = events(ScriptedBody{.chunks = {"data: a\n\ndata: b\n", "\ndata: half"}, .fails = true});
    const auto [got, failure] = run([&]() -> asio::awaitable<std::pair<std::vector<Event>, std::string>> {
        auto iterator = sequence.makeAsyncIterator();
        std::vector<Event> out;
        try {
            while (auto event = co_await iterator.next()) out.push_back(std::move(*event));
        } catch (const BodyFailed& failed) {
            co_return std::pair{out, std::string(failed.what())};
        }
        co_return std::pair{out, std::string("no failure")};
    });
    EXPECT_EQ(got, (std::vector<Event>{{.data = "a"}, {.data = "b"}}));
    EXPECT_EQ(failure, "connection reset");
}

TEST(EventSequence, EachIteratorHasItsOwnParser) {
    auto sequence = events(ScriptedBody{.chunks = {"id: 1\ndata: a\n\n", "data: b\n\n"}});
    const auto [first, second] = run([&]() -> asio::awaitable<std::pair<std::vector<Event>, std::vector<Event>>> {
        auto partial = sequence.makeAsyncIterator();
        // The first iterator stops with a block half read; the second must not see its state.
        co_await partial.next();
        auto firstEvents = co_await collect(sequence);
        auto secondEvents = co_await collect(sequence);
        co_return std::pair{firstEvents, secondEvents};
    });
    const std::vector<Event> want{{.id = "1", .data = "a"}, {.data = "b"}};
    EXPECT_EQ(first, want);
    EXPECT_EQ(second, want);
}

TEST(EventSequence, SizeRefusalTakesTheEventsPlaceAndTheSequenceGoesOn) {
    auto sequence = events(ScriptedBody{.chunks = {"data: a\n\ndata: far too long a line\n\ndata: c\n\n"}},
                           Parser::Limits{.maxLineBytes = 10});
    const auto got = run([&]() -> asio::awaitable<std::vector<std::string>> {
        auto iterator = sequence.makeAsyncIterator();
        std::vector<std::string> out;
        for (;;) {
            try {
                auto event = co_await iterator.next();
                if (!event) break;
                out.push_back(event->data);
            } catch (const SizeLimitError&) {
                out.push_back("refused");
            }
        }
        co_return out;
    });
    EXPECT_EQ(got, (std::vector<std::string>{"a", "refused", "c"}));
}

}  // namespace
}  // namespace eventsource
