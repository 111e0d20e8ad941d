#include "mcp/catalogue/elicitation.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;
using Parameters = CreateElicitation::Parameters;

constexpr std::string_view kSchema = R"({"properties":{"name":{"type":"string"}},"required":["age"],"type":"object"})";

TEST(ElicitationMessages, ParametersReadByTheirMode) {
    const std::string schema(kSchema);
    const struct {
        std::string name, in, out;
    } kCases[] = {
        {"form without mode", R"({"message":"Who?","requestedSchema":)" + schema + "}",
         R"({"message":"Who?","requestedSchema":)" + schema + "}"},
        {"form with mode", R"({"mode":"form","message":"Who?","requestedSchema":)" + schema + R"(,"url":"u","elicitationId":"e"})",
         R"({"message":"Who?","mode":"form","requestedSchema":)" + schema + "}"},
        {"form with null mode", R"({"mode":null,"message":"Who?","requestedSchema":)" + schema + "}",
         R"({"message":"Who?","requestedSchema":)" + schema + "}"},
        {"url", R"({"elicitationId":"e1","url":"https://example.com/x?y=1","mode":"url","message":"Sign in","requestedSchema":{}})",
         R"({"message":"Sign in","mode":"url","url":"https://example.com/x?y=1","elicitationId":"e1"})"},
        {"url without id", R"({"mode":"url","message":"m","url":"u","requestedSchema":)" + schema + "}",
         R"(error: keyNotFound: No value associated with key "elicitationId")"},
        {"mode in capitals", R"({"mode":"URL","message":"m","url":"u","elicitationId":"e"})",
         R"(error: dataCorrupted at mode: Unknown elicitation mode "URL")"},
        {"form without schema", R"({"message":"m"})", R"(error: keyNotFound: No value associated with key "requestedSchema")"},
        {"schema of another type", R"({"message":"m","requestedSchema":{"properties":{},"type":"array"}})",
         R"(error: dataCorrupted at requestedSchema.type: Unknown schema type "array")"},
        {"schema without type", R"({"message":"m","requestedSchema":{"properties":{}}})",
         R"(error: keyNotFound at requestedSchema: No value associated with key "type")"},
        {"schema with empty properties", R"({"message":"m","requestedSchema":{"type":"object","properties":{}}})",
         R"({"message":"m","requestedSchema":{"properties":{},"type":"object"}})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAndWrite<Parameters>(c.in), c.out);
    }
}

TEST(ElicitationMessages, AnExplicitFormModeIsKept) {
    const std::string schema(kSchema);
    const auto without = decodeJSON<Parameters>(R"({"message":"m","requestedSchema":)" + schema + "}");
    const auto with = decodeJSON<Parameters>(R"({"message":"m","mode":"form","requestedSchema":)" + schema + "}");
    EXPECT_NE(without, with);
    const Parameters url = Parameters::URLParameters{.message = "m", .url = "u", .elicitationID = "e"};
    EXPECT_EQ(encodeJSON(url), R"({"message":"m","mode":"url","url":"u","elicitationId":"e"})");
}

TEST(ElicitationMessages, ResultsAndCompletionReadAndWrite) {
    EXPECT_EQ(readAndWrite<CreateElicitation::Result>(R"({"action":"decline"})"), R"({"action":"decline"})");
    EXPECT_EQ(readAndWrite<CreateElicitation::Result>(R"({"content":{"a":{"b":[1,null]}},"action":"accept","_meta":{}})"),
              R"({"action":"accept","content":{"a":{"b":[1,null]}},"_meta":{}})");
    EXPECT_EQ(readAndWrite<CreateElicitation::Result>(R"({"action":"ACCEPT"})"),
              R"(error: dataCorrupted at action: Unknown elicitation action "ACCEPT")");
    EXPECT_EQ(readAndWrite<ElicitationCompleteNotification::Parameters>("{}"),
              R"(error: keyNotFound: No value associated with key "elicitationId")");
    EXPECT_EQ(decodeJSON<ElicitationCompleteNotification>("7"), ElicitationCompleteNotification{});
    EXPECT_EQ(readAndWrite<Message<ElicitationCompleteNotification>>(
                  R"({"jsonrpc":"2.0","method":"notifications/elicitation/complete"})"),
              "error: dataCorrupted: Missing required params field");
    EXPECT_EQ(readAndWrite<Request<CreateElicitation>>(
                  R"({"jsonrpc":"2.0","id":1,"method":"elicitation/create","params":{"mode":"URL"}})"),
              "error: dataCorrupted: Invalid params field");
}

}  // namespace
}  // namespace mcp
