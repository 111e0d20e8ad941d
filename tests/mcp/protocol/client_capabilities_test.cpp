#include "mcp/protocol/client_capabilities.hpp"

#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(ClientCapabilities, ReadsAndWrites) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {"{}", "{}"},
        {R"({"sampling":true})", R"({"sampling":{}})"},
        {R"({"sampling":{"tools":1}})", R"({"sampling":{"tools":{}}})"},
        {R"({"sampling":{"context":{},"tools":{}}})", R"({"sampling":{"tools":{},"context":{}}})"},
        {R"({"sampling":null})", "{}"},
        {R"({"sampling":{"tools":null}})", R"({"sampling":{}})"},
        {R"({"elicitation":{}})", R"({"elicitation":{"form":{}}})"},
        {R"({"elicitation":{"url":{}}})", R"({"elicitation":{"url":{}}})"},
        {R"({"elicitation":true})", R"({"elicitation":{"form":{}}})"},
        {R"({"elicitation":{"form":{},"url":{}}})", R"({"elicitation":{"form":{},"url":{}}})"},
        {R"({"roots":{}})", R"({"roots":{}})"},
        {R"({"roots":{"listChanged":false}})", R"({"roots":{"listChanged":false}})"},
        {R"({"roots":true})", "error: typeMismatch at roots: Expected an object but found a boolean"},
        {R"({"roots":{"listChanged":"yes"}})", "error: typeMismatch at roots.listChanged: Expected a boolean but found a string"},
        {R"({"experimental":{"a":"x"}})", R"({"experimental":{"a":"x"}})"},
        {R"({"experimental":{"a":{"enabled":true},"b":5}})", R"({"experimental":{"a":{"enabled":true},"b":5}})"},
        {R"({"experimental":[]})", "error: typeMismatch at experimental: Expected an object but found an array"},
        {R"({"roots":{},"experimental":{},"elicitation":{},"sampling":{},"x":1})",
         R"({"sampling":{},"elicitation":{"form":{}},"experimental":{},"roots":{}})"},
        {"5", "error: typeMismatch: Expected an object but found a number"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<ClientCapabilities>(c.in), c.out);
    }
}

TEST(ClientCapabilities, Equality) {
    const auto a = decodeJSON<ClientCapabilities>(R"({"experimental":{"x":1,"y":"2"}})");
    const auto b = decodeJSON<ClientCapabilities>(R"({"experimental":{"y":"2","x":1}})");
    EXPECT_EQ(a, b);
    EXPECT_NE(ClientCapabilities{.roots = ClientCapabilities::Roots{false}}, ClientCapabilities{.roots = ClientCapabilities::Roots{}});
    EXPECT_EQ(ClientCapabilities(), decodeJSON<ClientCapabilities>("{}"));
}

template <class T>
std::size_t hashOf(const T& value) {
    return std::hash<T>{}(value);
}

TEST(ClientCapabilities, HashesAgreeWithEquality) {
    using Sampling = ClientCapabilities::Sampling;
    using Elicitation = ClientCapabilities::Elicitation;
    const auto a = decodeJSON<ClientCapabilities>(R"({"experimental":{"x":1,"y":"2"}})");
    const auto b = decodeJSON<ClientCapabilities>(R"({"experimental":{"y":"2","x":1}})");
    EXPECT_EQ(hashOf(a), hashOf(b)) << "equal despite the order of their entries";
    EXPECT_NE(hashOf(a), hashOf(decodeJSON<ClientCapabilities>(R"({"experimental":{"x":1,"y":2}})")));
    EXPECT_NE(hashOf(ClientCapabilities{.roots = ClientCapabilities::Roots{false}}),
              hashOf(ClientCapabilities{.roots = ClientCapabilities::Roots{}}));
    EXPECT_NE(hashOf(ClientCapabilities{.sampling = Sampling{}}), hashOf(ClientCapabilities{}));
    // One flag each, but not the same one.
    EXPECT_NE(hashOf(Sampling{.tools = Sampling::Tools{}}), hashOf(Sampling{.context = Sampling::Context{}}));
    EXPECT_NE(hashOf(Elicitation{.form = Elicitation::Form{}}), hashOf(Elicitation{.url = Elicitation::URL{}}));
    EXPECT_NE(hashOf(ClientConfiguration::defaultConfiguration()), hashOf(ClientConfiguration::strictConfiguration()));
}

TEST(ClientConfiguration, ReadsAndWrites) {
    EXPECT_EQ(encodeJSON(ClientConfiguration::defaultConfiguration()), R"({"strict":false})");
    EXPECT_EQ(readAndWrite<ClientConfiguration>(R"({"strict":true})"), R"({"strict":true})");
    EXPECT_EQ(readAndWrite<ClientConfiguration>("{}"), R"(error: keyNotFound: No value associated with key "strict")");
    EXPECT_TRUE(ClientConfiguration::strictConfiguration().strict);
}

}  // namespace
}  // namespace mcp
