#include "mcp/protocol/server_capabilities.hpp"

#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(ServerCapabilities, ReadsAndWrites) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {"{}", "{}"},
        {R"({"tools":{}})", R"({"tools":{}})"},
        {R"({"tools":{"listChanged":false}})", R"({"tools":{"listChanged":false}})"},
        {R"({"tools":null})", "{}"},
        {R"({"logging":5})", R"({"logging":{}})"},
        {R"({"completions":"yes"})", R"({"completions":{}})"},
        {R"({"resources":{"subscribe":true}})", R"({"resources":{"subscribe":true}})"},
        {R"({"resources":{"listChanged":true,"subscribe":false}})", R"({"resources":{"subscribe":false,"listChanged":true}})"},
        {R"({"tools":{},"resources":{},"prompts":{},"logging":{},"completions":{},"experimental":{}})",
         R"({"completions":{},"logging":{},"prompts":{},"resources":{},"tools":{}})"},
        {R"({"prompts":5})", "error: typeMismatch at prompts: Expected an object but found a number"},
        {R"({"tools":{"listChanged":"yes"}})", "error: typeMismatch at tools.listChanged: Expected a boolean but found a string"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<ServerCapabilities>(c.in), c.out);
    }
}

TEST(ServerCapabilities, PresentFalseDiffersFromAbsent) {
    const ServerCapabilities toolsOnly{.tools = ServerCapabilities::Tools{}};
    const ServerCapabilities toolsNotChanging{.tools = ServerCapabilities::Tools{false}};
    EXPECT_NE(toolsOnly, toolsNotChanging);
    EXPECT_EQ(encodeJSON(toolsOnly), R"({"tools":{}})");
}

TEST(ServerConfiguration, ReadsAndWrites) {
    EXPECT_FALSE(ServerConfiguration::defaultConfiguration().strict);
    EXPECT_EQ(encodeJSON(ServerConfiguration::strictConfiguration()), R"({"strict":true})");
    EXPECT_EQ(readAndWrite<ServerConfiguration>("{}"), R"(error: keyNotFound: No value associated with key "strict")");
}

}  // namespace
}  // namespace mcp
