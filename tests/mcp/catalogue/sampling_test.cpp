#include "mcp/catalogue/sampling.hpp"

#include "mcp/json/json.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;
using Content = Sampling::Message::Content;
using Block = Content::ContentBlock;

TEST(SamplingMessage, ContentReadsAsOneBlockOrAList) {
    const struct {
        std::string_view name, in, out;
    } kCases[] = {
        {"object", R"({"role":"user","content":{"text":"Hi","type":"text"}})", R"({"role":"user","content":{"type":"text","text":"Hi"}})"},
        {"one-element array", R"({"role":"user","content":[{"type":"text","text":"Hi"}]})",
         R"({"role":"user","content":{"type":"text","text":"Hi"}})"},
        {"empty array", R"({"role":"assistant","content":[],"_meta":{"k":1}})", R"({"role":"assistant","content":[],"_meta":{"k":1}})"},
        {"two blocks", R"({"role":"user","content":[{"type":"text","text":"a"},{"type":"audio","data":"d","mimeType":"audio/wav"}]})",
         R"({"role":"user","content":[{"type":"text","text":"a"},{"type":"audio","data":"d","mimeType":"audio/wav"}]})"},
        {"an unknown block in a list", R"({"role":"user","content":[{"type":"text","text":"a"},{"type":"nope"}]})",
         "error: typeMismatch at content: Expected an object but found an array"},
        {"an unknown block alone", R"({"role":"user","content":{"type":"nope"}})",
         "error: dataCorrupted at content.type: Unknown sampling message content block type"},
        {"toolUse spelling", R"({"role":"user","content":{"type":"toolUse","id":"1","name":"n","input":{}}})",
         "error: dataCorrupted at content.type: Unknown sampling message content block type"},
        {"a resource block", R"({"role":"user","content":{"type":"resource","resource":{"uri":"u"}}})",
         "error: dataCorrupted at content.type: Unknown sampling message content block type"},
        {"media extras dropped", R"({"role":"user","content":{"type":"image","data":"x","mimeType":"image/png","annotations":{},"_meta":{}}})",
         R"({"role":"user","content":{"type":"image","data":"x","mimeType":"image/png"}})"},
        {"bad role", R"({"role":"system","content":{"type":"text","text":"a"}})",
         R"(error: dataCorrupted at role: Unknown role "system": expected "user" or "assistant")"},
        {"no content", R"({"role":"user"})", R"(error: keyNotFound: No value associated with key "content")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAndWrite<Sampling::Message>(c.in), c.out);
    }
}

TEST(SamplingMessage, ToolBlocksAreFlattenedBehindTheirType) {
    const struct {
        std::string_view name, in, out;
    } kCases[] = {
        {"tool use", R"({"input":{},"name":"look","id":"t1","type":"tool_use","toolUseId":"x"})",
         R"({"type":"tool_use","id":"t1","name":"look","input":{}})"},
        {"tool use without input", R"({"type":"tool_use","id":"t1","name":"look"})",
         R"(error: keyNotFound: No value associated with key "input")"},
        {"tool result", R"({"type":"tool_result","toolUseId":"t1","content":[],"isError":false})",
         R"({"type":"tool_result","toolUseId":"t1","content":[],"isError":false})"},
        {"tool result in full",
         R"({"type":"tool_result","_meta":{},"structuredContent":{"n":1},"toolUseId":"t1","content":[{"type":"text","text":"ok","_meta":{}},{"type":"resource","resource":{"uri":"u"},"annotations":{"priority":1}},{"type":"resource_link","uri":"u","name":"n","_meta":{}}]})",
         R"({"type":"tool_result","toolUseId":"t1","content":[{"type":"text","text":"ok"},{"type":"resource","resource":{"uri":"u"},"annotations":{"priority":1.0}},{"type":"resource_link","uri":"u","name":"n"}],"structuredContent":{"n":1},"_meta":{}})"},
        {"tool result without content", R"({"type":"tool_result","toolUseId":"t1"})",
         R"(error: keyNotFound: No value associated with key "content")"},
        {"unknown tool result item", R"({"type":"tool_result","toolUseId":"t1","content":[{"type":"tool_use"}]})",
         "error: dataCorrupted at content[0].type: Unknown tool result content block type"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAndWrite<Block>(c.in), c.out);
    }
}

TEST(SamplingMessage, ToolContentStandsAloneWithoutType) {
    const Sampling::ToolUseContent use{.id = "t1", .name = "look", .input = {{"x", 1}}};
    EXPECT_EQ(encodeJSON(use), R"({"id":"t1","name":"look","input":{"x":1}})");
    const Sampling::ToolResultContent result{.toolUseID = "t1", .content = {Sampling::ToolResultContent::ContentBlock::Text{"ok"}}};
    EXPECT_EQ(encodeJSON(result), R"({"toolUseId":"t1","content":[{"type":"text","text":"ok"}]})");
    EXPECT_EQ(decodeJSON<Sampling::ToolResultContent>(encodeJSON(result)), result);
}

TEST(SamplingMessage, SingleAndMultipleContentsStayApart) {
    const Content single = "Hi";
    const Content multiple = Content::multiple({Block::Text{"Hi"}});
    EXPECT_EQ(single, Content::text("Hi"));
    EXPECT_NE(single, multiple);
    EXPECT_NE(std::hash<Sampling::Message>{}(Sampling::Message::user(single)),
              std::hash<Sampling::Message>{}(Sampling::Message::user(multiple)));
    EXPECT_TRUE(single.isSingle());
    EXPECT_EQ(single.asArray().size(), 1u);
    EXPECT_FALSE(Content::multiple({}).isSingle());
    EXPECT_TRUE(Content::multiple({}).asArray().empty());
    EXPECT_EQ(Content::image("x", "image/png"), Content(Block::Image{"x", "image/png"}));
}

}  // namespace
}  // namespace mcp
