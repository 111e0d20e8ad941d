#include "mcp/catalogue/prompt_methods.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(PromptMethods, ValuesReadAndWrite) {
    const struct {
        std::string_view name, in, out;
        std::string (*roundTrip)(std::string_view);
    } kCases[] = {
        {"list without prompts", R"({"prompts":[]})", R"({"prompts":[]})", readAndWrite<ListPrompts::Result>},
        {"list with cursor", R"({"nextCursor":"n","prompts":[{"name":"p"}],"_meta":{}})",
         R"({"prompts":[{"name":"p"}],"nextCursor":"n","_meta":{}})", readAndWrite<ListPrompts::Result>},
        {"list without prompts key", R"({"nextCursor":"n"})",
         R"(error: keyNotFound: No value associated with key "prompts")", readAndWrite<ListPrompts::Result>},
        {"list with null prompts", R"({"prompts":null})",
         "error: valueNotFound at prompts: Expected an array but found null", readAndWrite<ListPrompts::Result>},
        {"get parameters", R"({"arguments":{"b":"2","a":"1"},"name":"p"})", R"({"name":"p","arguments":{"a":"1","b":"2"}})",
         readAndWrite<GetPrompt::Parameters>},
        {"get parameters, number argument", R"({"name":"p","arguments":{"a":1}})",
         "error: typeMismatch at arguments.a: Expected a string but found a number", readAndWrite<GetPrompt::Parameters>},
        {"get result", R"({"messages":[]})", R"({"messages":[]})", readAndWrite<GetPrompt::Result>},
        {"get result in full",
         R"({"_meta":{"k":true},"messages":[{"role":"user","content":{"type":"text","text":"Hi"}}],"description":"d"})",
         R"({"description":"d","messages":[{"role":"user","content":{"type":"text","text":"Hi"}}],"_meta":{"k":true}})",
         readAndWrite<GetPrompt::Result>},
        {"get result without messages", R"({"description":"d"})",
         R"(error: keyNotFound: No value associated with key "messages")", readAndWrite<GetPrompt::Result>},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.roundTrip(c.in), c.out);
    }
}

TEST(PromptMethods, ArgumentMapsCompareAndHashWhateverTheirOrder) {
    const auto first = decodeJSON<GetPrompt::Parameters>(R"({"name":"p","arguments":{"a":"1","b":"2"}})");
    const auto second = decodeJSON<GetPrompt::Parameters>(R"({"name":"p","arguments":{"b":"2","a":"1"}})");
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::hash<GetPrompt::Parameters>{}(first), std::hash<GetPrompt::Parameters>{}(second));
    EXPECT_NE(first, (GetPrompt::Parameters{.name = "p"}));
}

TEST(PromptMethods, EnvelopesApplyTheParameterRules) {
    const struct {
        std::string_view name, json, want;
        std::string (*roundTrip)(std::string_view);
    } kCases[] = {
        {"list without params", R"({"jsonrpc":"2.0","id":1,"method":"prompts/list"})",
         R"({"jsonrpc":"2.0","id":1,"method":"prompts/list","params":{}})", readAndWrite<Request<ListPrompts>>},
        {"list with empty params", R"({"jsonrpc":"2.0","id":1,"method":"prompts/list","params":{}})",
         R"({"jsonrpc":"2.0","id":1,"method":"prompts/list","params":{}})", readAndWrite<Request<ListPrompts>>},
        {"get without params", R"({"jsonrpc":"2.0","id":1,"method":"prompts/get"})",
         "error: dataCorrupted: Missing required params field", readAndWrite<Request<GetPrompt>>},
        {"get with null params", R"({"jsonrpc":"2.0","id":1,"method":"prompts/get","params":null})",
         "error: dataCorrupted: Missing required params field", readAndWrite<Request<GetPrompt>>},
        {"get with a number argument",
         R"({"jsonrpc":"2.0","id":1,"method":"prompts/get","params":{"name":"p","arguments":{"a":1}}})",
         "error: dataCorrupted: Invalid params field", readAndWrite<Request<GetPrompt>>},
        {"list changed", R"({"jsonrpc":"2.0","method":"notifications/prompts/list_changed"})",
         R"({"jsonrpc":"2.0","method":"notifications/prompts/list_changed"})",
         readAndWrite<Message<PromptListChangedNotification>>},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.roundTrip(c.json), c.want);
    }
    EXPECT_EQ(decodeJSON<PromptListChangedNotification>("null"), PromptListChangedNotification{});
}

}  // namespace
}  // namespace mcp
