#include "mcp/http/client/awaited_responses.hpp"

#include "mcp/json/json.hpp"
#include "mcp/transport/outgoing_message.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace mcp {
namespace {

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// What a transport awaits for `posted`, sent as text alone.
AwaitedResponses awaitedFor(std::string_view posted) {
    return AwaitedResponses(OutgoingMessage::outlineOf(posted).requestIDs);
}

void strike(AwaitedResponses& awaited, std::string message) {
    awaited.strikeAnswered(AwaitedResponses::read(std::move(message)).shape);
}

TEST(AwaitedResponses, AwaitsTheRequestsOfAMessageUntilAnswersTheClientCanReadGoBy) {
    struct Case {
        std::string_view name;
        std::string_view posted;
        std::vector<std::string> seen;
        bool wantEmpty;
    };
    const Case kCases[] = {
        {"a result answers", R"({"jsonrpc":"2.0","id":1,"method":"ping"})", {R"({"jsonrpc":"2.0","id":1,"result":{}})"}, true},
        {"an error answers", R"({"id":"a","method":"x"})",
         {R"({"jsonrpc":"2.0","id":"a","error":{"code":-1,"message":"no"}})"}, true},
        {"nothing seen", R"({"id":1,"method":"ping"})", {}, false},
        {"another id", R"({"id":1,"method":"ping"})", {R"({"jsonrpc":"2.0","id":2,"result":{}})"}, false},
        {"the same number as text", R"({"id":1,"method":"ping"})", {R"({"jsonrpc":"2.0","id":"1","result":{}})"}, false},
        {"the server's own request with that id", R"({"id":1,"method":"tools/call"})",
         {R"({"jsonrpc":"2.0","id":1,"method":"elicitation/create","params":{}})"}, false},
        {"a notification", R"({"id":1,"method":"ping"})", {R"({"jsonrpc":"2.0","method":"notifications/progress"})"},
         false},
        {"not JSON", R"({"id":1,"method":"ping"})", {R"({"id":1,"res)"}, false},
        {"no JSON-RPC version", R"({"id":1,"method":"ping"})", {R"({"id":1,"result":{}})"}, false},
        {"invalid UTF-8", R"({"id":1,"method":"ping"})", {"{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{\"a\":\"\xff\"}}"},
         false},
        {"a raw NUL", R"({"id":1,"method":"ping"})",
         {std::string("{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{\"a\":\"\0\"}}", 43)}, false},
        {"nesting deeper than the client reads", R"({"id":1,"method":"ping"})",
         {R"({"jsonrpc":"2.0","id":1,"result":{"a":)" + nested(600) + "}}"}, false},
        {"nesting the client still reads", R"({"id":1,"method":"ping"})",
         {R"({"jsonrpc":"2.0","id":1,"result":{"a":)" + nested(100) + "}}"}, true},
        {"a notification awaits nothing", R"({"method":"notifications/initialized"})", {}, true},
        {"a response awaits nothing", R"({"id":5,"result":{}})", {}, true},
        {"a null id awaits nothing", R"({"id":null,"method":"ping"})", {}, true},
        {"bytes that are not JSON await nothing", "empty", {}, true},
        {"a batch, both answered in one array", R"([{"id":1,"method":"a"},{"id":2,"method":"b"},{"method":"n"}])",
         {R"([{"jsonrpc":"2.0","id":2,"result":{}},{"jsonrpc":"2.0","id":1,"result":{}}])"}, true},
        {"a batch, answered one by one", R"([{"id":1,"method":"a"},{"id":2,"method":"b"}])",
         {R"({"jsonrpc":"2.0","id":1,"result":{}})", R"({"jsonrpc":"2.0","id":2,"result":{}})"}, true},
        {"a batch, half answered", R"([{"id":1,"method":"a"},{"id":2,"method":"b"}])",
         {R"({"jsonrpc":"2.0","id":1,"result":{}})"}, false},
        {"a batch answer the client drops whole for one bad element", R"([{"id":1,"method":"a"}])",
         {R"([{"jsonrpc":"2.0","id":1,"result":{}},{"jsonrpc":"2.0","method":"n"}])"}, false},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        auto awaited = awaitedFor(test.posted);
        for (const auto& message : test.seen) strike(awaited, message);
        EXPECT_EQ(awaited.empty(), test.wantEmpty);
    }
}

TEST(AwaitedResponses, TheFailureNamesTheRequestsStillAwaitedAndWhatWasDropped) {
    AwaitedResponses awaited({ID(1), ID("b")});
    EXPECT_EQ(awaited.unanswered("it ended").detail(), "No response to requests 1, b: it ended");
    strike(awaited, R"({"jsonrpc":"2.0","id":1,"result":{}})");
    strike(awaited, "{\"jsonrpc\":\"2.0\",\"id\":\"b\",\"result\":\"\xc0\"}");
    EXPECT_EQ(awaited.unanswered("it ended").detail(),
              "No response to request b: it ended (a message that could not be read was dropped)");
}

TEST(AwaitedResponses, AMessageIsReadOnceAndHandedOnAsTheValueReadWhenTheClientKnowsItsShape) {
    const struct {
        std::string_view name;
        std::string message;
        bool wantValue;
    } kCases[] = {
        {"a response", R"({ "jsonrpc": "2.0", "id": 1, "result": {} })", true},
        {"a batch of responses", R"([{"jsonrpc":"2.0","id":1,"result":{}}])", true},
        {"a request of the server", R"({"jsonrpc":"2.0","id":1,"method":"roots/list"})", true},
        {"a notification", R"({"jsonrpc":"2.0","method":"notifications/progress","params":{}})", true},
        {"no known shape", R"({ "jsonrpc": "2.0" })", false},
        {"not JSON", R"({"id":1,"res)", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto before = jsonReadCount();
        auto reading = AwaitedResponses::read(c.message);
        EXPECT_EQ(jsonReadCount() - before, 1u);
        EXPECT_EQ(reading.shape.has_value(), c.wantValue);
        EXPECT_EQ(reading.message.holdsText(), !c.wantValue);
        if (!c.wantValue) {
            EXPECT_EQ(reading.message.text(), c.message) << "kept as it came, for the client's log";
        }
    }
}

}  // namespace
}  // namespace mcp
