#include "mcp/protocol/implementation.hpp"

#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace mcp {
namespace {

TEST(Implementation, ReadsAndWrites) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"name":"a","version":"1"})", R"({"name":"a","version":"1"})"},
        {R"({"name":"a","version":"1","title":null})", R"({"name":"a","version":"1"})"},
        {R"({"icons":[{"src":"i"}],"websiteUrl":"https://x","description":"d","version":"1","title":"A","name":"a"})",
         R"({"name":"a","title":"A","version":"1","description":"d","websiteUrl":"https://x","icons":[{"src":"i"}]})"},
        {R"({"name":"a","version":"1","extra":5})", R"({"name":"a","version":"1"})"},
        {R"({"name":"a"})", R"(error: keyNotFound: No value associated with key "version")"},
        {R"({})", R"(error: keyNotFound: No value associated with key "name")"},
        {R"({"name":"a","version":null})", "error: valueNotFound at version: Expected a string but found null"},
        {R"({"name":"a","version":"1","title":5})", "error: typeMismatch at title: Expected a string but found a number"},
        {R"({"name":"a","version":"1","icons":"i"})", "error: typeMismatch at icons: Expected an array but found a string"},
        {R"({"name":"a","version":"1","icons":[{}]})", R"(error: keyNotFound at icons[0]: No value associated with key "src")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(testing::readAndWrite<Implementation>(c.in), c.out);
    }
}

TEST(Implementation, HashesAgreeWithEquality) {
    const std::hash<Implementation> hash;
    const auto read = decodeJSON<Implementation>(R"({"version":"1","name":"a","icons":[{"src":"i"}]})");
    const Implementation built{.name = "a", .version = "1", .icons = std::vector<Icon>{{.src = "i"}}};
    EXPECT_EQ(read, built);
    EXPECT_EQ(hash(read), hash(built));
    EXPECT_NE(hash(built), hash(Implementation{.name = "a", .version = "1"}));
    EXPECT_NE(hash(Implementation{.name = "a", .version = "1", .icons = std::vector<Icon>{}}),
              hash(Implementation{.name = "a", .version = "1"}));
}

}  // namespace
}  // namespace mcp
