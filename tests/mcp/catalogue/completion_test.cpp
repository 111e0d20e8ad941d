#include "mcp/catalogue/completion.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(CompletionReferences, ReadByTheirType) {
    const struct {
        std::string_view name, in, out;
        std::string (*roundTrip)(std::string_view);
    } kCases[] = {
        {"prompt", R"({"name":"p","type":"ref/prompt"})", R"({"type":"ref/prompt","name":"p"})",
         readAndWrite<CompletionReference>},
        {"resource", R"({"uri":"file:///{x}","type":"ref/resource","name":"ignored"})",
         R"({"type":"ref/resource","uri":"file:///{x}"})", readAndWrite<CompletionReference>},
        {"resource without uri", R"({"type":"ref/resource"})",
         R"(error: keyNotFound: No value associated with key "uri")", readAndWrite<CompletionReference>},
        {"no type", R"({"name":"p"})", R"(error: keyNotFound: No value associated with key "type")",
         readAndWrite<CompletionReference>},
        {"other type", R"({"type":"ref/Prompt","name":"p"})", "error: dataCorrupted at type: Unknown reference type: ref/Prompt",
         readAndWrite<CompletionReference>},
        {"resource reference alone", R"({"type":"ref/resource","uri":"u"})", R"({"type":"ref/resource","uri":"u"})",
         readAndWrite<ResourceReference>},
        {"resource reference of a prompt", R"({"type":"ref/prompt","uri":"u"})",
         "error: dataCorrupted at type: Expected ref/resource type", readAndWrite<ResourceReference>},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.roundTrip(c.in), c.out);
    }
}

TEST(CompletionReferences, CasesNeverCompareEqual) {
    const CompletionReference prompt(Prompt::Reference{.name = "u"});
    const CompletionReference resource(ResourceReference{.uri = "u"});
    EXPECT_NE(prompt, resource);
    EXPECT_EQ(resource, decodeJSON<CompletionReference>(encodeJSON(resource)));
    EXPECT_NE(std::hash<CompletionReference>{}(prompt), std::hash<CompletionReference>{}(resource));
}

TEST(CompletionMessages, ParametersAndResultsReadAndWrite) {
    const struct {
        std::string_view name, in, out;
        std::string (*roundTrip)(std::string_view);
    } kCases[] = {
        {"without context", R"({"argument":{"value":"","name":"lang"},"ref":{"type":"ref/prompt","name":"p"}})",
         R"({"ref":{"type":"ref/prompt","name":"p"},"argument":{"name":"lang","value":""}})",
         readAndWrite<Complete::Parameters>},
        {"with context", R"({"ref":{"type":"ref/resource","uri":"u"},"argument":{"name":"a","value":"py"},"context":{"arguments":{}}})",
         R"({"ref":{"type":"ref/resource","uri":"u"},"argument":{"name":"a","value":"py"},"context":{"arguments":{}}})",
         readAndWrite<Complete::Parameters>},
        {"empty context", R"({"ref":{"type":"ref/resource","uri":"u"},"argument":{"name":"a","value":"py"},"context":{}})",
         R"(error: keyNotFound at context: No value associated with key "arguments")", readAndWrite<Complete::Parameters>},
        {"argument without value", R"({"ref":{"type":"ref/resource","uri":"u"},"argument":{"name":"a"}})",
         R"(error: keyNotFound at argument: No value associated with key "value")", readAndWrite<Complete::Parameters>},
        {"unknown reference", R"({"ref":{"type":"ref/tool"},"argument":{"name":"a","value":""}})",
         "error: dataCorrupted at ref.type: Unknown reference type: ref/tool", readAndWrite<Complete::Parameters>},
        {"only values", R"({"completion":{"values":[]}})", R"({"completion":{"values":[]}})", readAndWrite<Complete::Result>},
        {"everything", R"({"_meta":{},"completion":{"hasMore":false,"total":10,"values":["a","b"]}})",
         R"({"completion":{"values":["a","b"],"total":10,"hasMore":false},"_meta":{}})", readAndWrite<Complete::Result>},
        {"no values", R"({"completion":{"total":1}})",
         R"(error: keyNotFound at completion: No value associated with key "values")", readAndWrite<Complete::Result>},
        {"fractional total", R"({"completion":{"values":[],"total":0.5}})",
         "error: dataCorrupted at completion.total: Number 0.5 is not a whole number in the 64-bit range",
         readAndWrite<Complete::Result>},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.roundTrip(c.in), c.out);
    }
}

TEST(CompletionMessages, KeepsEveryValueAndTellsFalseFromAbsent) {
    Complete::Result::Completion many;
    for (int i = 0; i < 150; ++i) many.values.push_back(std::to_string(i));
    const auto back = decodeJSON<Complete::Result::Completion>(encodeJSON(many));
    EXPECT_EQ(back, many);
    EXPECT_EQ(back.values.back(), "149");
    EXPECT_NE((Complete::Result::Completion{.hasMore = false}), Complete::Result::Completion{});
}

TEST(CompletionMessages, ARequestNeedsParams) {
    EXPECT_EQ(Complete::name, "completion/complete");
    EXPECT_EQ(readAndWrite<Request<Complete>>(R"({"jsonrpc":"2.0","id":1,"method":"completion/complete"})"),
              "error: dataCorrupted: Missing required params field");
    EXPECT_EQ(readAndWrite<Request<Complete>>(
                  R"({"jsonrpc":"2.0","id":1,"method":"completion/complete","params":{"ref":{"type":"x"},"argument":{"name":"a","value":""}}})"),
              "error: dataCorrupted: Invalid params field");
}

}  // namespace
}  // namespace mcp
