#include "mcp/http/client/awaited_responses.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace mcp {
namespace {

TEST(AwaitedResponses, AwaitsTheRequestsOfAMessageUntilTheirAnswersGoBy) {
    struct Case {
        std::string_view name;
        std::string_view posted;
        std::vector<std::string_view> seen;
        bool wantEmpty;
    };
    const Case kCases[] = {
        {"a result answers", R"({"jsonrpc":"2.0","id":1,"method":"ping"})", {R"({"jsonrpc":"2.0","id":1,"result":{}})"}, true},
        {"an error answers", R"({"id":"a","method":"x"})", {R"({"id":"a","error":{"code":-1,"message":"no"}})"}, true},
        {"nothing seen", R"({"id":1,"method":"ping"})", {}, false},
        {"another id", R"({"id":1,"method":"ping"})", {R"({"id":2,"result":{}})"}, false},
        {"the same number as text", R"({"id":1,"method":"ping"})", {R"({"id":"1","result":{}})"}, false},
        {"the server's own request with that id", R"({"id":1,"method":"tools/call"})",
         {R"({"id":1,"method":"elicitation/create","params":{}})"}, false},
        {"a notification", R"({"id":1,"method":"ping"})", {R"({"method":"notifications/progress"})"}, false},
        {"not JSON", R"({"id":1,"method":"ping"})", {R"({"id":1,"res)"}, false},
        {"a notification awaits nothing", R"({"method":"notifications/initialized"})", {}, true},
        {"a response awaits nothing", R"({"id":5,"result":{}})", {}, true},
        {"a null id awaits nothing", R"({"id":null,"method":"ping"})", {}, true},
        {"bytes that are not JSON await nothing", "empty", {}, true},
        {"a batch, both answered in one array", R"([{"id":1,"method":"a"},{"id":2,"method":"b"},{"method":"n"}])",
         {R"([{"id":2,"result":{}},{"id":1,"result":{}}])"}, true},
        {"a batch, answered one by one", R"([{"id":1,"method":"a"},{"id":2,"method":"b"}])",
         {R"({"id":1,"result":{}})", R"({"id":2,"result":{}})"}, true},
        {"a batch, half answered", R"([{"id":1,"method":"a"},{"id":2,"method":"b"}])", {R"({"id":1,"result":{}})"},
         false},
    };
    for (const auto& test : kCases) {
        auto awaited = AwaitedResponses::of(test.posted);
        for (const auto message : test.seen) awaited.strikeAnswered(message);
        EXPECT_EQ(awaited.empty(), test.wantEmpty) << test.name;
    }
}

}  // namespace
}  // namespace mcp
