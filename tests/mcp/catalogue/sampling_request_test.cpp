#include "mcp/catalogue/sampling_request.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(SamplingRequest, ParametersReadAndWrite) {
    const struct {
        std::string_view name, in, out;
    } kCases[] = {
        {"minimal", R"({"maxTokens":100,"messages":[]})", R"({"messages":[],"maxTokens":100})"},
        {"no limits checked", R"({"messages":[],"maxTokens":-5,"temperature":7})", R"({"messages":[],"temperature":7.0,"maxTokens":-5})"},
        {"everything",
         R"({"metadata":{"m":[1]},"toolChoice":{"mode":"required"},"tools":[{"name":"t","inputSchema":{"type":"object"}}],"_meta":{},"stopSequences":["\n"],"maxTokens":1,"temperature":0.5,"includeContext":"thisServer","systemPrompt":"s","modelPreferences":{"hints":[{"name":"claude"},{}],"costPriority":0,"speedPriority":1,"intelligencePriority":0.5},"messages":[{"role":"user","content":{"type":"text","text":"Hi"}}]})",
         R"({"messages":[{"role":"user","content":{"type":"text","text":"Hi"}}],"modelPreferences":{"hints":[{"name":"claude"},{}],"costPriority":0.0,"speedPriority":1.0,"intelligencePriority":0.5},"systemPrompt":"s","includeContext":"thisServer","temperature":0.5,"maxTokens":1,"stopSequences":["\n"],"_meta":{},"tools":[{"name":"t","description":null,"inputSchema":{"type":"object"}}],"toolChoice":{"mode":"required"},"metadata":{"m":[1]}})"},
        {"no maxTokens", R"({"messages":[]})", R"(error: keyNotFound: No value associated with key "maxTokens")"},
        {"fractional maxTokens", R"({"messages":[],"maxTokens":1.5})",
         "error: dataCorrupted at maxTokens: Number 1.5 is not a whole number in the 64-bit range"},
        {"costPriority 2", R"({"messages":[],"maxTokens":1,"modelPreferences":{"costPriority":2}})",
         "error: dataCorrupted at modelPreferences.costPriority: Value 2.0 is not in range 0...1"},
        {"speedPriority -0.1", R"({"messages":[],"maxTokens":1,"modelPreferences":{"speedPriority":-0.1}})",
         "error: dataCorrupted at modelPreferences.speedPriority: Value -0.1 is not in range 0...1"},
        {"includeContext capitalised", R"({"messages":[],"maxTokens":1,"includeContext":"ThisServer"})",
         R"(error: dataCorrupted at includeContext: Unknown context inclusion "ThisServer")"},
        {"auto tool choice", R"({"messages":[],"maxTokens":1,"toolChoice":{"mode":"auto"}})",
         R"({"messages":[],"maxTokens":1,"toolChoice":{}})"},
        {"tool choice capitalised", R"({"messages":[],"maxTokens":1,"toolChoice":{"mode":"Auto"}})",
         R"(error: dataCorrupted at toolChoice.mode: Unknown tool choice mode "Auto")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAndWrite<CreateSamplingMessage::Parameters>(c.in), c.out);
    }
}

TEST(SamplingRequest, ToolChoiceDefaultsToAutomatic) {
    using ToolChoice = CreateSamplingMessage::ToolChoice;
    EXPECT_EQ(encodeJSON(ToolChoice{}), "{}");
    EXPECT_EQ(encodeJSON(ToolChoice{.mode = ToolChoice::Mode::automatic}), "{}");
    EXPECT_EQ(encodeJSON(ToolChoice{.mode = ToolChoice::Mode::none}), R"({"mode":"none"})");
    EXPECT_EQ(decodeJSON<ToolChoice>("{}").mode, ToolChoice::Mode::automatic);
    EXPECT_EQ(decodeJSON<ToolChoice>(R"({"mode":null})").mode, ToolChoice::Mode::automatic);
}

TEST(SamplingRequest, ResultsReadAndWrite) {
    const struct {
        std::string_view name, in, out;
    } kCases[] = {
        {"known stop reason", R"({"role":"assistant","model":"m","stopReason":"endTurn","content":{"type":"text","text":"a"}})",
         R"({"model":"m","stopReason":"endTurn","role":"assistant","content":{"type":"text","text":"a"}})"},
        {"other stop reason", R"({"model":"m","stopReason":"refusal","role":"assistant","content":[{"type":"text","text":"a"}]})",
         R"({"model":"m","stopReason":"refusal","role":"assistant","content":{"type":"text","text":"a"}})"},
        {"no stop reason", R"({"model":"m","role":"user","content":[],"_meta":{}})", R"({"model":"m","role":"user","content":[],"_meta":{}})"},
        {"stop reason not a string", R"({"model":"m","stopReason":1,"role":"user","content":[]})",
         "error: typeMismatch at stopReason: Expected a string but found a number"},
        {"no model", R"({"role":"user","content":[]})", R"(error: keyNotFound: No value associated with key "model")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAndWrite<CreateSamplingMessage::Result>(c.in), c.out);
    }
    EXPECT_EQ(Sampling::StopReason::endTurn, Sampling::StopReason(std::string("endTurn")));
}

TEST(SamplingRequest, ARequestNeedsParams) {
    EXPECT_EQ(CreateSamplingMessage::name, "sampling/createMessage");
    EXPECT_EQ(readAndWrite<Request<CreateSamplingMessage>>(R"({"jsonrpc":"2.0","id":"a","method":"sampling/createMessage"})"),
              "error: dataCorrupted: Missing required params field");
}

}  // namespace
}  // namespace mcp
