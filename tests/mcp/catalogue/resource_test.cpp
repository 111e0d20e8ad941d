#include "mcp/catalogue/resource.hpp"

#include "mcp/json/json.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(ResourceContent, ReadsAndWritesInFieldOrder) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"uri":"file:///a.txt"})", R"({"uri":"file:///a.txt"})"},
        {R"({"_meta":{"k":1},"blob":"AAE=","text":"A","mimeType":"text/plain","uri":"u"})",
         R"({"uri":"u","mimeType":"text/plain","text":"A","blob":"AAE=","_meta":{"k":1}})"},
        {R"({"uri":"u","mimeType":null,"text":null,"blob":null,"_meta":null,"other":5})", R"({"uri":"u"})"},
        {R"({"text":"A"})", R"(error: keyNotFound: No value associated with key "uri")"},
        {R"({"uri":5})", "error: typeMismatch at uri: Expected a string but found a number"},
        {R"({"uri":"u","_meta":[]})", "error: typeMismatch at _meta: Expected an object but found an array"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Resource::Content>(c.in), c.out);
    }
}

TEST(ResourceContent, KeepsATextThatLooksLikeADataURL) {
    EXPECT_EQ(readAndWrite<Resource::Content>(R"({"uri":"data:,Hello%2C%20World","text":"data:,x"})"),
              R"({"uri":"data:,Hello%2C%20World","text":"data:,x"})");
}

TEST(ResourceAnnotations, ReadsAndWritesInFieldOrder) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {"{}", "{}"},
        {R"({"lastModified":"2025-01-12T15:00:58Z","priority":0.5,"audience":["user","assistant"]})",
         R"({"audience":["user","assistant"],"priority":0.5,"lastModified":"2025-01-12T15:00:58Z"})"},
        {R"({"audience":[],"priority":2})", R"({"audience":[],"priority":2.0})"},
        {R"({"audience":null,"priority":null,"lastModified":null})", "{}"},
        {R"({"audience":["bot"]})", R"(error: dataCorrupted at audience[0]: Unknown audience "bot": expected "user" or "assistant")"},
        {R"({"audience":["User"]})", R"(error: dataCorrupted at audience[0]: Unknown audience "User": expected "user" or "assistant")"},
        {R"({"audience":"user"})", "error: typeMismatch at audience: Expected an array but found a string"},
        {R"({"priority":"high"})", "error: typeMismatch at priority: Expected a number but found a string"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Resource::Annotations>(c.in), c.out);
    }
}

TEST(ResourceAnnotations, EqualityCoversEveryField) {
    using Audience = Resource::Annotations::Audience;
    const Resource::Annotations base{.audience = std::vector{Audience::user}, .priority = 0.5, .lastModified = "t"};
    auto other = base;
    EXPECT_EQ(base, other);
    other.audience = std::vector{Audience::assistant};
    EXPECT_NE(base, other);
    other = base;
    other.priority.reset();
    EXPECT_NE(base, other);
}

TEST(ResourceContent, FactoriesSetExactlyOneBody) {
    const struct {
        std::string_view name;
        Resource::Content content;
        std::string_view json;
    } kCases[] = {
        {"text", Resource::Content::fromText("Hi", "file:///a.txt", "text/plain"),
         R"({"uri":"file:///a.txt","mimeType":"text/plain","text":"Hi"})"},
        {"binary", Resource::Content::binary(std::string("\x00\x01\xff", 3), "file:///a.bin"),
         R"({"uri":"file:///a.bin","blob":"AAH/"})"},
        {"empty binary", Resource::Content::binary("", "u", "application/octet-stream", Metadata({{"k", 1}})),
         R"({"uri":"u","mimeType":"application/octet-stream","blob":"","_meta":{"k":1}})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodeJSON(c.content), c.json);
    }
}

TEST(ResourceAnnotations, ZeroPrioritiesOfEitherSignAreEqualAndHashAlike) {
    const Resource::Annotations positive{.priority = 0.0};
    const Resource::Annotations negative{.priority = -0.0};
    EXPECT_EQ(positive, negative);
    EXPECT_EQ(std::hash<Resource::Annotations>{}(positive), std::hash<Resource::Annotations>{}(negative));
    EXPECT_NE((Resource::Annotations{.audience = std::vector<Resource::Annotations::Audience>{}}), Resource::Annotations{});
}

TEST(ResourceDescription, ReadsAndWritesWithURISecond) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"uri":"file:///a","name":"a"})", R"({"name":"a","uri":"file:///a"})"},
        {R"({"title":"A","uri":"u","name":"a","size":0,"extra":true})", R"({"name":"a","uri":"u","title":"A","size":0})"},
        {R"({"_meta":{},"icons":[],"annotations":{},"size":7.0,"mimeType":"m","description":"d","title":"t","uri":"u","name":"n"})",
         R"({"name":"n","uri":"u","title":"t","description":"d","mimeType":"m","size":7,"annotations":{},"icons":[],"_meta":{}})"},
        {R"({"name":"a","uri":"u","size":null,"title":null})", R"({"name":"a","uri":"u"})"},
        {R"({"name":"a"})", R"(error: keyNotFound: No value associated with key "uri")"},
        {R"({"uri":"u"})", R"(error: keyNotFound: No value associated with key "name")"},
        {R"({"name":"a","uri":"u","size":1.5})",
         "error: dataCorrupted at size: Number 1.5 is not a whole number in the 64-bit range"},
        {R"({"name":"a","uri":"u","size":18446744073709551615})",
         "error: dataCorrupted at size: Number 1.8446744073709552e+19 is not a whole number in the 64-bit range"},
        {R"({"name":"a","uri":"u","size":"7"})", "error: typeMismatch at size: Expected an integer but found a string"},
        {R"({"name":"a","uri":"u","annotations":{"audience":["user","system"]}})",
         R"(error: dataCorrupted at annotations.audience[1]: Unknown audience "system": expected "user" or "assistant")"},
        {R"({"name":"a","uri":"u","icons":[{"mimeType":"image/png"}]})",
         R"(error: keyNotFound at icons[0]: No value associated with key "src")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Resource>(c.in), c.out);
    }
}

TEST(ResourceTemplate, ReadsAndWritesWithoutASize) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"name":"files","uriTemplate":"file:///{path}","size":5})", R"({"uriTemplate":"file:///{path}","name":"files"})"},
        {R"({"uriTemplate":"t","name":"n","title":"T","description":"d","mimeType":"m","annotations":{"priority":1},"icons":[],"_meta":{"a":null}})",
         R"({"uriTemplate":"t","name":"n","title":"T","description":"d","mimeType":"m","annotations":{"priority":1.0},"icons":[],"_meta":{"a":null}})"},
        {R"({"name":"n","uri":"u"})", R"(error: keyNotFound: No value associated with key "uriTemplate")"},
        {R"({"uriTemplate":"t"})", R"(error: keyNotFound: No value associated with key "name")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Resource::Template>(c.in), c.out);
    }
}

TEST(ResourceDescription, EqualityAndHashCoverEveryMember) {
    const Resource base{.name = "a", .uri = "u", .icons = std::vector<Icon>{}};
    auto withMeta = base;
    withMeta._meta = Metadata({{"k", "v"}});
    auto withoutIcons = base;
    withoutIcons.icons.reset();
    EXPECT_NE(base, withMeta);
    EXPECT_NE(base, withoutIcons);
    const std::hash<Resource> hash;
    EXPECT_NE(hash(base), hash(withMeta));
    EXPECT_NE(hash(base), hash(withoutIcons));
}

}  // namespace
}  // namespace mcp
