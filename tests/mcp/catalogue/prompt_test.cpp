#include "mcp/catalogue/prompt.hpp"

#include "mcp/json/json.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;
using Content = Prompt::Message::Content;

TEST(PromptDescription, ReadsAndWritesInFieldOrder) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"name":"p"})", R"({"name":"p"})"},
        {R"({"_meta":{"m":1},"icons":[{"src":"i"}],"arguments":[],"description":"d","title":"t","name":"p","x":0})",
         R"({"name":"p","title":"t","description":"d","arguments":[],"icons":[{"src":"i"}],"_meta":{"m":1}})"},
        {R"({"name":"p","arguments":[{"required":false,"description":"d","title":"T","name":"a"},{"name":"b","required":null}]})",
         R"({"name":"p","arguments":[{"name":"a","title":"T","description":"d","required":false},{"name":"b"}]})"},
        {R"({"name":"p","arguments":null})", R"({"name":"p"})"},
        {R"({"title":"t"})", R"(error: keyNotFound: No value associated with key "name")"},
        {R"({"name":null})", "error: valueNotFound at name: Expected a string but found null"},
        {R"({"name":"p","arguments":[{"name":"a","required":"yes"}]})",
         "error: typeMismatch at arguments[0].required: Expected a boolean but found a string"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Prompt>(c.in), c.out);
    }
}

TEST(PromptMessage, ContentCasesReadAndWrite) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"role":"user","content":{"text":"Hi","type":"text"}})", R"({"role":"user","content":{"type":"text","text":"Hi"}})"},
        {R"({"role":"assistant","content":{"type":"image","mimeType":"image/png","data":"x","annotations":{},"_meta":{}}})",
         R"({"role":"assistant","content":{"type":"image","data":"x","mimeType":"image/png"}})"},
        {R"({"role":"user","content":{"type":"audio","data":"not base64!","mimeType":"audio/wav"}})",
         R"({"role":"user","content":{"type":"audio","data":"not base64!","mimeType":"audio/wav"}})"},
        {R"({"role":"user","content":{"type":"resource","resource":{"uri":"u","text":"t"}}})",
         R"({"role":"user","content":{"type":"resource","resource":{"uri":"u","text":"t"}}})"},
        {R"({"role":"user","content":{"type":"resource","_meta":{"a":1},"annotations":{"priority":0.5},"resource":{"uri":"u"}}})",
         R"({"role":"user","content":{"type":"resource","resource":{"uri":"u"},"annotations":{"priority":0.5},"_meta":{"a":1}}})"},
        {R"({"role":"user","content":{"type":"resource_link","name":"n","uri":"u","_meta":{},"size":3,"mimeType":"m","description":"d","title":"t","annotations":{}}})",
         R"({"role":"user","content":{"type":"resource_link","uri":"u","name":"n","title":"t","description":"d","mimeType":"m","annotations":{}}})"},
        {R"({"role":"user","content":{"type":"text"}})",
         R"(error: keyNotFound at content: No value associated with key "text")"},
        {R"({"role":"user","content":{"type":"Text","text":"Hi"}})", "error: dataCorrupted at content.type: Unknown content type"},
        {R"({"role":"user","content":{"type":"resource","resource":{}}})",
         R"(error: keyNotFound at content.resource: No value associated with key "uri")"},
        {R"({"role":"user","content":{"type":"image","data":"x"}})",
         R"(error: keyNotFound at content: No value associated with key "mimeType")"},
        {R"({"role":"system","content":{"type":"text","text":"Hi"}})",
         R"(error: dataCorrupted at role: Unknown role "system": expected "user" or "assistant")"},
        {R"({"content":{"type":"text","text":"Hi"}})", R"(error: keyNotFound: No value associated with key "role")"},
        {R"({"role":"user","content":{"text":"Hi"}})", R"(error: keyNotFound at content: No value associated with key "type")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Prompt::Message>(c.in), c.out);
    }
}

TEST(PromptMessage, TextFromAStringIsTheTextCase) {
    const std::string name = "Ada";
    EXPECT_EQ(Content("Hello"), Content(Content::Text{"Hello"}));
    EXPECT_EQ(Content("Hello " + name), Content(Content::Text{"Hello Ada"}));
    EXPECT_EQ(Prompt::Message::user("Hi"), (Prompt::Message{Prompt::Message::Role::user, Content::Text{"Hi"}}));
    EXPECT_EQ(encodeJSON(Prompt::Message::assistant("Hi")), R"({"role":"assistant","content":{"type":"text","text":"Hi"}})");
    EXPECT_NE(Content(Content::Image{"x", "m"}), Content(Content::Audio{"x", "m"}));
}

TEST(PromptMessage, RolesMatchTheirTextExactly) {
    EXPECT_EQ(messageRoleFromRawValue("assistant"), Prompt::Message::Role::assistant);
    EXPECT_EQ(messageRoleFromRawValue("Assistant"), std::nullopt);
    EXPECT_EQ(rawValue(Prompt::Message::Role::user), "user");
}

TEST(PromptReference, ReadsAnyTypeTextButNeedsOne) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"name":"p","type":"ref/prompt"})", R"({"type":"ref/prompt","name":"p"})"},
        {R"({"type":"ref/resource","name":"p","title":"T"})", R"({"type":"ref/prompt","name":"p","title":"T"})"},
        {R"({"name":"p"})", R"(error: keyNotFound: No value associated with key "type")"},
        {R"({"type":1,"name":"p"})", "error: typeMismatch at type: Expected a string but found a number"},
        {R"({"type":"ref/prompt"})", R"(error: keyNotFound: No value associated with key "name")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Prompt::Reference>(c.in), c.out);
    }
}

TEST(PromptDescription, ArgumentOrderCountsInEqualityAndHash) {
    const Prompt::Argument a{.name = "a"}, b{.name = "b", .required = false};
    const Prompt first{.name = "p", .arguments = std::vector{a, b}};
    const Prompt swapped{.name = "p", .arguments = std::vector{b, a}};
    EXPECT_NE(first, swapped);
    EXPECT_NE((Prompt::Argument{.name = "a", .required = false}), Prompt::Argument{.name = "a"});
    EXPECT_NE(std::hash<Prompt>{}(first), std::hash<Prompt>{}(swapped));
}

}  // namespace
}  // namespace mcp
