#include "eventsource/parser.hpp"

#include "tests/eventsource/event_printer.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace eventsource {
namespace {

using namespace std::literals;

// What a parser gave for a stream: its events, with the text of each refusal in its place,
// and what it remembered at the end.
struct Outcome {
    std::vector<std::variant<Event, std::string>> entries;
    std::string lastEventID;
    std::int64_t reconnectionTime = 0;

    friend bool operator==(const Outcome&, const Outcome&) = default;
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
    *out << "lastEventID=\"" << outcome.lastEventID << "\" reconnectionTime=" << outcome.reconnectionTime
         << " entries:";
    for (const auto& entry : outcome.entries) {
        *out << "\n  ";
        if (const auto* event = std::get_if<Event>(&entry)) {
            PrintTo(*event, out);
        } else {
            *out << "refused: " << std::get<std::string>(entry);
        }
    }
}

// How the events are taken out: as owned values, or in place (moved from there, so that a
// slot reused for a later block must not show what an earlier one held).
enum class Taking { owned, inPlace };

void drain(Parser& parser, Outcome& outcome, Taking taking) {
    for (;;) {
        try {
            if (taking == Taking::owned) {
                auto event = parser.getNextEvent();
                if (!event) return;
                outcome.entries.emplace_back(std::move(*event));
            } else {
                auto* event = parser.takeNextEvent();
                if (!event) return;
                // The id and type are copied and the data moved: what a slot keeps is left.
                outcome.entries.emplace_back(Event{event->id, event->event, std::move(event->data), event->retry});
            }
        } catch (const SizeLimitError& refusal) {
            outcome.entries.emplace_back(refusal.what());
        }
    }
}

// Runs `feed` on a parser, taking events out after each call it makes to `consumed`, then
// finishes the body; then reads `nextBody`, when there is one, as the next body of the same
// stream (as an event source does after reconnecting).
Outcome parseWith(Parser::Limits limits, const std::function<void(Parser&, const std::function<void()>&)>& feed,
                  std::string_view nextBody = {}, Taking taking = Taking::owned) {
    Parser parser(limits);
    Outcome outcome;
    feed(parser, [&] { drain(parser, outcome, taking); });
    parser.finish();
    drain(parser, outcome, taking);
    if (!nextBody.empty()) {
        parser.consume(nextBody);
        parser.finish();
        drain(parser, outcome, taking);
    }
    outcome.lastEventID = parser.getLastEventID();
    outcome.reconnectionTime = parser.getReconnectionTime();
    return outcome;
}

Outcome parse(const std::vector<std::string_view>& chunks, Parser::Limits limits = {}, std::string_view nextBody = {},
              Taking taking = Taking::owned) {
    return parseWith(
        limits,
        [&](Parser& parser, const std::function<void()>& consumed) {
            for (const auto chunk : chunks) {
                parser.consume(chunk);
                consumed();
            }
        },
        nextBody, taking);
}

Outcome parseOneByteAtATime(std::string_view input, Parser::Limits limits = {}, std::string_view nextBody = {}) {
    return parseWith(
        limits,
        [&](Parser& parser, const std::function<void()>& consumed) {
            for (const char c : input) {
                parser.consume(static_cast<std::uint8_t>(c));
                consumed();
            }
        },
        nextBody);
}

// The same stream fed whole, split in two at every byte position and one byte at a time must
// give the same outcome: the parser keeps no state that depends on where chunks end.
void expectSameForEveryFeeding(std::string_view input, const Outcome& want, Parser::Limits limits = {},
                               std::string_view nextBody = {}) {
    EXPECT_EQ(parse({input}, limits, nextBody), want) << "fed whole";
    for (std::size_t split = 0; split <= input.size(); ++split) {
        EXPECT_EQ(parse({input.substr(0, split), input.substr(split)}, limits, nextBody), want) << "split at " << split;
    }
    EXPECT_EQ(parseOneByteAtATime(input, limits, nextBody), want) << "fed one byte at a time";
    EXPECT_EQ(parse({input}, limits, nextBody, Taking::inPlace), want) << "fed whole, taken in place";
    for (std::size_t split = 0; split <= input.size(); ++split) {
        EXPECT_EQ(parse({input.substr(0, split), input.substr(split)}, limits, nextBody, Taking::inPlace), want)
            << "split at " << split << ", taken in place";
    }
}

Event data(std::string value) { return Event{.data = std::move(value)}; }

constexpr std::int64_t kDefault = Parser::kDefaultReconnectionTime;

struct Fixture {
    std::string_view name;
    std::string_view input;
    std::vector<std::variant<Event, std::string>> events;
    std::string lastEventID;
    std::int64_t reconnectionTime = kDefault;
    // A second body the same parser reads after `input` has ended; none when empty.
    std::string_view nextBody = {};
};

const std::vector<Fixture>& fixtures() {
    static const std::vector<Fixture> kFixtures = {
        {"empty body", "", {}, ""},
        {"one data line", "data: a\n\n", {data("a")}, ""},
        {"no space after the colon", "data:a\n\n", {data("a")}, ""},
        {"only one leading space is removed", "data:  a\n\n", {data(" a")}, ""},
        {"colon inside the value", "data: a:b\n\n", {data("a:b")}, ""},
        {"data lines joined by line feeds", "data: a\ndata: b\n\n", {data("a\nb")}, ""},
        {"bare data line gives an empty event", "data\n\n", {data("")}, ""},
        {"empty data value then x", "data\ndata: x\n\n", {data("x")}, ""},
        {"x then empty data value", "data: x\ndata:\n\n", {data("x\n")}, ""},
        {"event type without data", "event: update\n\n", {Event{.event = "update"}}, ""},
        {"empty event type is present", "event:\n\n", {Event{.event = ""}}, ""},
        {"last event line wins", "event: a\nevent: b\ndata: x\n\n", {Event{.event = "b", .data = "x"}}, ""},
        {"id belongs to its own block only",
         "id: 7\n\ndata: x\n\n",
         {Event{.id = "7"}, data("x")},
         "7"},
        {"id with NUL queues nothing and keeps the last id",
         "id: 1\n\nid: a\0b\n\nid: a\0b\ndata: x\n\n"sv,
         {Event{.id = "1"}, data("x")},
         "1"},
        {"empty id clears the last id", "id: 5\n\nid\n\n", {Event{.id = "5"}, Event{.id = ""}}, ""},
        {"retry alone queues nothing", "retry: 5000\n\n", {}, "", 5000},
        {"retry travels with its event",
         "retry: 5000\ndata: x\n\ndata: y\n\n",
         {Event{.data = "x", .retry = 5000}, data("y")},
         "",
         5000},
        {"plus sign accepted", "retry: +5000\n\n", {}, "", 5000},
        {"rejected retry values change nothing",
         "retry: 0\nretry: -5\nretry: 5s\nretry:\nretry:  1500\nretry: 1.5\nretry: +\nretry: -\nretry: -0\n"
         "retry: +-5\nretry: 99999999999999999999\ndata: x\n\n",
         {data("x")},
         ""},
        {"tiny retry raised to the floor", "retry: 1\ndata: x\n\n", {Event{.data = "x", .retry = 100}}, "", 100},
        {"largest retry capped without overflow",
         "retry: 9223372036854775807\ndata: x\n\n",
         {Event{.data = "x", .retry = 60'000}},
         "",
         60'000},
        {"comment queues nothing", ": keep-alive\n\n", {}, ""},
        {"unknown field queues nothing", "foo: bar\nfoo\n\n", {}, ""},
        {"longer names that start with a field's name", "datadata: x\nidentity: 1\nevents\nretrying:5\n\n", {}, ""},
        {"field names are case-sensitive", "Data: x\nID: 3\n\n", {}, ""},
        {"CR LF line ends",
         "id: 1\r\nevent: e\r\ndata: a\r\ndata: b\r\n\r\n",
         {Event{.id = "1", .event = "e", .data = "a\nb"}},
         "1"},
        {"CR line ends", "id: 1\revent: e\rdata: a\rdata: b\r\r", {Event{.id = "1", .event = "e", .data = "a\nb"}}, "1"},
        {"line ends found past the first bytes of long lines",
         "data: 0123456789abcdefghijklmnopqrstuvwxyz\rdata: 0123456789abcdefghijklmnopqrstuvwxyz!\r\n"
         "id: 0123456789abcdefghijklmnopqrstuvwxyz\n\n",
         {Event{.id = "0123456789abcdefghijklmnopqrstuvwxyz",
                .data = "0123456789abcdefghijklmnopqrstuvwxyz\n0123456789abcdefghijklmnopqrstuvwxyz!"}},
         "0123456789abcdefghijklmnopqrstuvwxyz"},
        {"LF CR is two line ends", "data: a\n\rdata: b\n\n", {data("a"), data("b")}, ""},
        {"CR CR is two line ends", "data: a\r\rdata: b\r\r", {data("a"), data("b")}, ""},
        {"blank CR LF line after a CR LF line", "data: a\r\n\r\nid: 7\n\n", {data("a"), Event{.id = "7"}}, "7"},
        {"byte-order mark dropped from every line",
         "\xEF\xBB\xBF"
         "data: a\n\n\xEF\xBB\xBF"
         "data: b\n\n",
         {data("a"), data("b")},
         ""},
        {"line of only a byte-order mark ends the block",
         "data: a\n\xEF\xBB\xBF\ndata: b\n\n",
         {data("a"), data("b")},
         ""},
        {"ill-formed UTF-8 replaced", "data: \xFF\xE2\x82\n\n", {data("\xEF\xBF\xBD\xEF\xBF\xBD")}, ""},
        // Long lines are scanned many bytes at a time; a non-ASCII byte anywhere in them counts.
        {"ill-formed UTF-8 at the start of a long line",
         "data: \xFF" "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\n\n",
         {data("\xEF\xBF\xBD" "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz")},
         ""},
        {"ill-formed UTF-8 at the end of a long line",
         "data: 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\xFF\n\n",
         {data("0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\xEF\xBF\xBD")},
         ""},
        // Lines are found 64 bytes at a time: split at every position, this body puts each of
        // its line ends, each half of its CR LFs and its non-ASCII bytes on every side of those
        // 64-byte steps. The control bytes next to CR and LF are found with them and must stay.
        {"long CR LF lines with control bytes and non-ASCII bytes",
         "data: \x08\t\x0B\x0C\x0E\x0F 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\r\n"
         "data: 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\xFF\r\n"
         "id: 0123456789abcdefghijklmnopqrstuvwxyz0123456789\r\n\r\n"
         "data: \xC3\xA9\r\rdata: 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\n\n",
         {Event{.id = "0123456789abcdefghijklmnopqrstuvwxyz0123456789",
                .data = "\x08\t\x0B\x0C\x0E\x0F 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\n"
                        "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\xEF\xBF\xBD"},
          data("\xC3\xA9"), data("0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz")},
         "0123456789abcdefghijklmnopqrstuvwxyz0123456789"},
        {"well-formed UTF-8 kept", "data: caf\xC3\xA9 \xF0\x9F\x98\x80\n\n", {data("caf\xC3\xA9 \xF0\x9F\x98\x80")}, ""},
        {"unterminated last line finished at the end", "data: a", {data("a")}, ""},
        {"block without blank line finished at the end", "data: a\n", {data("a")}, ""},
        {"id without blank line finished at the end", "data: a\n\nid: 9\n", {data("a"), Event{.id = "9"}}, "9"},
        // The end of a body judges a block alike whichever line end came last.
        {"empty data line ended by CR, then the end", "data\r", {}, ""},
        {"empty data line ended by LF, then the end", "data\n", {}, ""},
        {"data line ended by CR, then the end", "data: a\r", {data("a")}, ""},
        {"unfinished block dropped at the end, not ended by the next body", "data", {}, "", kDefault, "\n"},
        {"CR-ended block dropped at the end, not ended by the next body", "data\r", {}, "", kDefault, "\n"},
        {"retry of an unfinished block stays out of the next body's event",
         "retry: 500",
         {data("x")},
         "",
         500,
         "data: x\n\n"},
        {"events come out in order",
         "data: 1\n\nevent: two\n\nid: 3\n\ndata: 4\n\n",
         {data("1"), Event{.event = "two"}, Event{.id = "3"}, data("4")},
         "3"},
    };
    return kFixtures;
}

TEST(Parser, FixtureStreamsGiveTheirEventsHoweverTheyAreSplit) {
    for (const auto& fixture : fixtures()) {
        SCOPED_TRACE(fixture.name);
        expectSameForEveryFeeding(fixture.input, Outcome{fixture.events, fixture.lastEventID, fixture.reconnectionTime},
                                  {}, fixture.nextBody);
    }
}

TEST(Parser, GetNextEventOnAnEmptyQueueGivesNothing) {
    Parser parser;
    EXPECT_FALSE(parser.getNextEvent());
    parser.consume("data: a\n\n"sv);
    EXPECT_TRUE(parser.hasQueuedEvent());
    EXPECT_EQ(parser.getNextEvent(), data("a"));
    EXPECT_FALSE(parser.getNextEvent());
    EXPECT_FALSE(parser.hasQueuedEvent());
}

TEST(Parser, KeepsIDAndRetryAcrossFinishForTheNextBody) {
    Parser parser;
    parser.consume("id: 4\nretry: 500\ndata: a"sv);
    parser.finish();
    EXPECT_EQ(parser.getNextEvent(), (Event{.id = "4", .data = "a", .retry = 500}));
    parser.consume("data: b\n\n"sv);
    EXPECT_EQ(parser.getNextEvent(), data("b"));
    EXPECT_EQ(parser.getLastEventID(), "4");
    EXPECT_EQ(parser.getReconnectionTime(), 500);
}

TEST(Parser, EventsTakenInPlaceLeaveNothingToTheBlocksAfterThem) {
    // Each chunk finishes one event, taken before the next chunk comes; the slots of earlier
    // events serve the later blocks, which must show none of their id, type, data or retry.
    const std::vector<std::string_view> chunks = {
        "id: 1\nevent: a\nretry: 500\ndata: x\n\n", "data: y\n\n", "data: z\n\n", "event: b\n\n", "data\n\n", "id\n\n",
        "data: w\n\n",
    };
    const Outcome want{{Event{.id = "1", .event = "a", .data = "x", .retry = 500}, data("y"), data("z"),
                        Event{.event = "b"}, data(""), Event{.id = ""}, data("w")},
                       "",
                       500};
    EXPECT_EQ(parse(chunks, {}, {}, Taking::inPlace), want) << "taken in place";
    EXPECT_EQ(parse(chunks), want) << "taken as owned values";
}

TEST(Parser, QueueLeftPartlyFullDoesNotGrowWithoutEnd) {
    // An owner that takes one event per chunk of two keeps a backlog; every event must still
    // come out in order.
    Parser parser;
    int next = 0;
    for (int i = 0; i < 500; ++i) {
        parser.consume("data: " + std::to_string(2 * i) + "\n\ndata: " + std::to_string(2 * i + 1) + "\n\n");
        EXPECT_EQ(parser.getNextEvent(), data(std::to_string(next++)));
    }
    while (auto event = parser.getNextEvent()) EXPECT_EQ(*event, data(std::to_string(next++)));
    EXPECT_EQ(next, 1000);
}

TEST(Parser, QueueLeftPartlyFullKeepsRefusalsAndDataInOrder) {
    // Each chunk finishes a refused event, two events and half of the next one; the owner takes
    // two entries per chunk, so the backlog grows and the parser compacts it while a block is open.
    Parser parser(Parser::Limits{.maxLineBytes = 64, .maxEventBytes = 16});
    std::vector<std::string> taken;
    const auto take = [&] {
        try {
            auto event = parser.getNextEvent();
            if (!event) return false;
            taken.push_back(event->data);
        } catch (const SizeLimitError&) {
            taken.emplace_back("refused");
        }
        return true;
    };
    std::vector<std::string> want;
    parser.consume("data: "sv);
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        parser.consume(n + "a\ndata: " + n + "b\n\ndata: 0123456789abcdefXYZ\n\ndata: " + n + "c\n\ndata: ");
        want.insert(want.end(), {n + "a\n" + n + "b", "refused", n + "c"});
        take();
        take();
    }
    parser.consume("end\n\n"sv);
    want.emplace_back("end");
    while (take()) {
    }
    EXPECT_EQ(taken, want);
}

TEST(Parser, OversizedLinesAndEventsAreRefusedAndTheStreamGoesOn) {
    const Parser::Limits limits{.maxLineBytes = 16, .maxEventBytes = 32};
    const std::string lineRefused = SizeLimitError(SizeLimitError::Kind::line, 16).what();
    const std::string eventRefused = SizeLimitError(SizeLimitError::Kind::event, 32).what();
    const struct {
        std::string_view name, input;
        std::vector<std::variant<Event, std::string>> entries;
        std::string lastEventID;
    } kCases[] = {
        {"line at the limit accepted", "data: 0123456789\n\n", {data("0123456789")}, ""},
        {"long line between events",
         "data: a\n\ndata: 0123456789abcdefXYZ\n\ndata: c\n\n",
         {data("a"), lineRefused, data("c")},
         ""},
        {"long line drops the rest of its block",
         "id: 1\ndata: 0123456789abcdefXYZ\ndata: b\n\ndata: c\n\n",
         {lineRefused, data("c")},
         "1"},
        {"long CR LF line", "data: 0123456789abcdefXYZ\r\n\r\ndata: c\r\n\r\n", {lineRefused, data("c")}, ""},
        {"long line without an end", "data: a\n\ndata: 0123456789abcdefXYZ", {data("a"), lineRefused}, ""},
        {"event data at the limit accepted",
         "data: 0123456789\ndata: 0123456789\ndata: 0123456789\n\n",
         {data("0123456789\n0123456789\n0123456789")},
         ""},
        {"event data past the limit",
         "data: 0123456789\ndata: 0123456789\ndata: 0123456789\ndata: x\ndata: y\n\ndata: ok\n\n",
         {eventRefused, data("ok")},
         ""},
        {"event data past the limit in an unfinished block",
         "data: 0123456789\ndata: 0123456789\ndata: 0123456789\ndata: x",
         {eventRefused},
         ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        expectSameForEveryFeeding(c.input, Outcome{c.entries, c.lastEventID, kDefault}, limits);
    }
}

TEST(Parser, RefusedBlockAtTheEndOfABodyLeavesTheNextBodyAlone) {
    Parser parser(Parser::Limits{.maxLineBytes = 16, .maxEventBytes = 8});
    parser.consume("data: 01234\ndata: 56789"sv);
    parser.finish();
    EXPECT_THROW(parser.getNextEvent(), SizeLimitError);
    parser.consume("data: b\n\n"sv);
    EXPECT_EQ(parser.getNextEvent(), data("b"));
}

}  // namespace
}  // namespace eventsource
