#include "mcp/catalogue/resource.hpp"

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

}  // namespace
}  // namespace mcp
