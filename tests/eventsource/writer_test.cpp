#include "eventsource/writer.hpp"

#include "eventsource/parser.hpp"
#include "tests/eventsource/event_printer.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace eventsource {
namespace {

std::vector<Event> parsedEvents(std::string_view text, bool oneByteAtATime) {
    Parser parser;
    if (oneByteAtATime) {
        for (const char c : text) parser.consume(static_cast<std::uint8_t>(c));
    } else {
        parser.consume(text);
    }
    std::vector<Event> events;
    while (auto event = parser.getNextEvent()) events.push_back(std::move(*event));
    return events;
}

// Each event's text, and the event a reader makes of that text: the same event, except that any
// line break in the data comes back as "\n" and breaks before the first data are lost.
TEST(Writer, WritesEventsThatParseBack) {
    const struct {
        const char* name;
        Event event;
        std::string_view text;
        std::optional<Event> parsed;  // when it differs from `event`
    } kCases[] = {
        {"data only", {std::nullopt, std::nullopt, "x", std::nullopt}, "data: x\n\n", {}},
        {"all fields", {"5", "message", "x", 3000}, "id: 5\nevent: message\nretry: 3000\ndata: x\n\n", {}},
        {"empty id", {"", std::nullopt, "x", std::nullopt}, "id: \ndata: x\n\n", {}},
        {"empty event name", {std::nullopt, "", "x", std::nullopt}, "event: \ndata: x\n\n", {}},
        {"event name with spaces", {std::nullopt, "a b", "x", std::nullopt}, "event: a b\ndata: x\n\n", {}},
        {"empty data", {std::nullopt, std::nullopt, "", std::nullopt}, "data: \n\n", {}},
        {"priming event", {"7", std::nullopt, "", 500}, "id: 7\nretry: 500\ndata: \n\n", {}},
        {"data with a leading space and a colon", {std::nullopt, std::nullopt, " a: b", std::nullopt},
         "data:  a: b\n\n", {}},
        {"line feeds", {std::nullopt, std::nullopt, "a\nb", std::nullopt}, "data: a\ndata: b\n\n", {}},
        {"empty lines inside the data", {std::nullopt, std::nullopt, "a\n\nb\n", std::nullopt},
         "data: a\ndata: \ndata: b\ndata: \n\n", {}},
        // A reader skips an empty data line while the event's data is still empty, so line breaks
        // at the very start of the data don't come back.
        {"line breaks before the data", {std::nullopt, std::nullopt, "\n\na", std::nullopt},
         "data: \ndata: \ndata: a\n\n", Event{.data = "a"}},
        {"CR LF and CR", {std::nullopt, std::nullopt, "a\r\nb\rc", std::nullopt}, "data: a\ndata: b\ndata: c\n\n",
         Event{.data = "a\nb\nc"}},
        {"CR then LF apart", {std::nullopt, std::nullopt, "a\r\rb\n\r", std::nullopt},
         "data: a\ndata: \ndata: b\ndata: \ndata: \n\n", Event{.data = "a\n\nb\n\n"}},
        {"injection", {std::nullopt, std::nullopt, "x\n\nevent: forged", std::nullopt},
         "data: x\ndata: \ndata: event: forged\n\n", {}},
        {"UTF-8", {"\xC3\xA9", "caf\xC3\xA9", "\xF0\x9F\x98\x80", std::nullopt},
         "id: \xC3\xA9\nevent: caf\xC3\xA9\ndata: \xF0\x9F\x98\x80\n\n", {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string text = encodeSSEEvent(c.event);
        EXPECT_EQ(text, c.text);
        const std::vector<Event> want{c.parsed.value_or(c.event)};
        EXPECT_EQ(parsedEvents(text, false), want);
        EXPECT_EQ(parsedEvents(text, true), want);
    }
}

TEST(Writer, RefusesIDsAndTypesThatWouldEndTheirField) {
    for (const std::string& bad : {std::string("1\n\nevent: injected\ndata: x"), std::string("1\r2"),
                                  std::string("1\0" "2", 3)}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        EXPECT_FALSE(isValidSSEField(bad));
        EXPECT_THROW(encodeSSEEvent({bad, std::nullopt, "x", std::nullopt}), std::invalid_argument);
        EXPECT_THROW(encodeSSEEvent({std::nullopt, bad, "x", std::nullopt}), std::invalid_argument);
    }
    EXPECT_TRUE(isValidSSEField("_GET_stream_7 \t\xC3\xA9"));
}

}  // namespace
}  // namespace eventsource
