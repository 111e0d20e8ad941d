#include "mcp/catalogue/tool_content.hpp"

#include "mcp/json/json.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(ToolContent, ReadsAndWritesEveryCase) {
    const struct {
        std::string_view name, in, out;
    } kCases[] = {
        {"text", R"({"text":"Done.","type":"text"})", R"({"type":"text","text":"Done."})"},
        {"text with all members", R"({"_meta":{"k":"v"},"annotations":{"priority":1},"text":"T","type":"text"})",
         R"({"type":"text","text":"T","annotations":{"priority":1.0},"_meta":{"k":"v"}})"},
        {"image", R"({"type":"image","mimeType":"image/png","data":"iVBORw0K"})",
         R"({"type":"image","data":"iVBORw0K","mimeType":"image/png"})"},
        {"image data is not examined", R"({"type":"image","data":"not base64!","mimeType":"x"})",
         R"({"type":"image","data":"not base64!","mimeType":"x"})"},
        {"audio", R"({"type":"audio","data":"UklGR","mimeType":"audio/wav","annotations":{"audience":["user"]},"_meta":{}})",
         R"({"type":"audio","data":"UklGR","mimeType":"audio/wav","annotations":{"audience":["user"]},"_meta":{}})"},
        {"resource", R"({"type":"resource","resource":{"text":"A","uri":"file:///a.txt"},"annotations":{"lastModified":"t"}})",
         R"({"type":"resource","resource":{"uri":"file:///a.txt","text":"A"},"annotations":{"lastModified":"t"}})"},
        {"resource link",
         R"({"annotations":{"audience":["assistant"]},"mimeType":"text/plain","description":"D","title":"T","name":"a.txt","uri":"file:///a.txt","type":"resource_link"})",
         R"({"type":"resource_link","uri":"file:///a.txt","name":"a.txt","title":"T","description":"D","mimeType":"text/plain","annotations":{"audience":["assistant"]}})"},
        {"resource link drops _meta", R"({"type":"resource_link","uri":"u","name":"n","_meta":{"a":1}})",
         R"({"type":"resource_link","uri":"u","name":"n"})"},
        {"null optionals", R"({"type":"text","text":"x","annotations":null,"_meta":null,"extra":1})", R"({"type":"text","text":"x"})"},
        {"unknown type", R"({"type":"video","data":"x"})", "error: dataCorrupted at type: Unknown tool content type"},
        {"type is case-sensitive", R"({"type":"Text","text":"x"})", "error: dataCorrupted at type: Unknown tool content type"},
        {"no type", R"({"text":"x"})", R"(error: keyNotFound: No value associated with key "type")"},
        {"type not a string", R"({"type":1,"text":"x"})", "error: typeMismatch at type: Expected a string but found a number"},
        {"text without text", R"({"type":"text"})", R"(error: keyNotFound: No value associated with key "text")"},
        {"image without MIME type", R"({"type":"image","data":"x"})", R"(error: keyNotFound: No value associated with key "mimeType")"},
        {"audio without data", R"({"type":"audio","mimeType":"audio/wav"})", R"(error: keyNotFound: No value associated with key "data")"},
        {"resource without resource", R"({"type":"resource"})", R"(error: keyNotFound: No value associated with key "resource")"},
        {"embedded resource without uri", R"({"type":"resource","resource":{"text":"A"}})",
         R"(error: keyNotFound at resource: No value associated with key "uri")"},
        {"link without name", R"({"type":"resource_link","uri":"u"})", R"(error: keyNotFound: No value associated with key "name")"},
        {"bad audience", R"({"type":"text","text":"x","annotations":{"audience":["everyone"]}})",
         R"(error: dataCorrupted at annotations.audience[0]: Unknown audience "everyone": expected "user" or "assistant")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAndWrite<Tool::Content>(c.in), c.out);
    }
}

TEST(ToolContent, FactoriesLeaveAnnotationsOut) {
    const Metadata meta(Value::Object{{"k", 1}});
    EXPECT_EQ(Tool::Content::text("Hi"), Tool::Content(Tool::Content::Text{.text = "Hi"}));
    EXPECT_EQ(Tool::Content::text("Hi", meta), Tool::Content(Tool::Content::Text{.text = "Hi", ._meta = meta}));
    EXPECT_EQ(Tool::Content::image("AA", "image/png"),
              Tool::Content(Tool::Content::Image{.data = "AA", .mimeType = "image/png"}));
    EXPECT_EQ(Tool::Content::audio("AA", "audio/wav", meta),
              Tool::Content(Tool::Content::Audio{.data = "AA", .mimeType = "audio/wav", ._meta = meta}));
}

TEST(ToolContent, CasesWithTheSameValuesDiffer) {
    EXPECT_NE(Tool::Content::image("AA", "x"), Tool::Content::audio("AA", "x"));
    EXPECT_NE(Tool::Content::text("a"), Tool::Content::text("a", Metadata()));
    ASSERT_NE(Tool::Content::image("AA", "x").as<Tool::Content::Image>(), nullptr);
    EXPECT_EQ(Tool::Content::image("AA", "x").as<Tool::Content::Audio>(), nullptr);
}

}  // namespace
}  // namespace mcp
