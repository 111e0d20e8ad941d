#include "mcp/catalogue/tool.hpp"

#include "mcp/json/json.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(Tool, ReadsAndWritesMembersInTheirOrder) {
    const struct {
        std::string_view name, in, out;
    } kCases[] = {
        {"without description", R"({"name":"t","inputSchema":{"type":"object"}})",
         R"({"name":"t","description":null,"inputSchema":{"type":"object"}})"},
        {"description null", R"({"name":"t","description":null,"inputSchema":{}})",
         R"({"name":"t","description":null,"inputSchema":{}})"},
        {"every member",
         R"({"_meta":{"m":1},"icons":[{"src":"i.png"}],"annotations":{"readOnlyHint":true},"outputSchema":{"type":"object"},)"
         R"("inputSchema":{"type":"object"},"description":"d","title":"T","name":"t"})",
         R"({"name":"t","title":"T","description":"d","inputSchema":{"type":"object"},"outputSchema":{"type":"object"},)"
         R"("annotations":{"readOnlyHint":true},"icons":[{"src":"i.png"}],"_meta":{"m":1}})"},
        {"a false hint is written", R"({"name":"t","inputSchema":{},"annotations":{"readOnlyHint":false}})",
         R"({"name":"t","description":null,"inputSchema":{},"annotations":{"readOnlyHint":false}})"},
        {"empty annotations are left out", R"({"name":"t","inputSchema":{},"annotations":{}})",
         R"({"name":"t","description":null,"inputSchema":{}})"},
        {"null annotations", R"({"name":"t","inputSchema":{},"annotations":null,"title":null})",
         R"({"name":"t","description":null,"inputSchema":{}})"},
        {"any schema value", R"({"name":"","inputSchema":true})", R"({"name":"","description":null,"inputSchema":true})"},
        {"unknown members", R"({"name":"t","inputSchema":{},"extra":[1]})", R"({"name":"t","description":null,"inputSchema":{}})"},
        {"no name", R"({"inputSchema":{}})", R"(error: keyNotFound: No value associated with key "name")"},
        {"no input schema", R"({"name":"t"})", R"(error: keyNotFound: No value associated with key "inputSchema")"},
        {"hint of the wrong kind", R"({"name":"t","inputSchema":{},"annotations":{"readOnlyHint":"yes"}})",
         "error: typeMismatch at annotations.readOnlyHint: Expected a boolean but found a string"},
        {"annotations of the wrong kind", R"({"name":"t","inputSchema":{},"annotations":5})",
         "error: typeMismatch at annotations: Expected an object but found a number"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAndWrite<Tool>(c.in), c.out);
    }
}

TEST(ToolAnnotations, WritesHintsInTheirOrder) {
    const Tool::Annotations annotations{
        .title = "T", .destructiveHint = false, .idempotentHint = true, .openWorldHint = false, .readOnlyHint = true};
    EXPECT_EQ(encodeJSON(annotations),
              R"({"title":"T","destructiveHint":false,"idempotentHint":true,"openWorldHint":false,"readOnlyHint":true})");
    EXPECT_EQ(encodeJSON(Tool::Annotations{}), "{}");
}

TEST(ToolAnnotations, OnlyAnnotationsWithoutAnyFieldAreEmpty) {
    EXPECT_TRUE(Tool::Annotations{}.isEmpty());
    EXPECT_FALSE(Tool::Annotations{.readOnlyHint = false}.isEmpty());
    EXPECT_FALSE(Tool::Annotations{.title = ""}.isEmpty());
}

TEST(Tool, EqualityIgnoresTheKeyOrderOfObjects) {
    const auto first = decodeJSON<Tool>(R"({"name":"t","inputSchema":{"a":1,"b":{"c":2,"d":3}},"_meta":{"x":1,"y":2}})");
    const auto second = decodeJSON<Tool>(R"({"name":"t","inputSchema":{"b":{"d":3,"c":2},"a":1},"_meta":{"y":2,"x":1}})");
    EXPECT_EQ(first, second);
    auto third = second;
    third.annotations.readOnlyHint = false;
    EXPECT_NE(first, third);
}

}  // namespace
}  // namespace mcp
